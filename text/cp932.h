// Code page 932 (Shift-JIS) for Qt: whole-text conversions, and the display's unit decoder, on
// the program's one table of the code page (platform/code_page.h). Every unit is framed here (a
// lead byte 81-9F or E0-FC with the byte after it, otherwise one byte) and decoded on its own, so
// a broken pair never swallows the bytes after it. The tables are built once on construction
// and only read afterwards, so any thread may decode.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace kestrane {

// Whole texts to and from code page 932 bytes (the program's texts in fixed byte layouts).
QByteArray toCp932(const QString& text);
QString fromCp932(const QByteArray& bytes);
// The code page 932 bytes of `text`, cut before the first character that would not fit whole
// in `maxBytes` (typed input that goes on the line).
QByteArray toCp932Within(const QString& text, int maxBytes);

class Cp932Text {
public:
    Cp932Text();

    // False when the C library has no code page 932 (the tables then hold Latin-1).
    [[nodiscard]] bool valid() const { return valid_; }

    // The text of `count` bytes. A lead byte at the very end (its trail byte not there) stands
    // alone, shown as a byte that cannot be shown.
    [[nodiscard]] QString decode(const std::uint8_t* bytes, int count) const;
    void append(QString& out, const std::uint8_t* bytes, int count) const;

    // One unit: a single byte (a lead byte alone shows as one that cannot be shown), or a lead
    // byte with the byte after it.
    [[nodiscard]] QStringView single(std::uint8_t byte) const;
    [[nodiscard]] QStringView pair(std::uint8_t lead, std::uint8_t trail) const;

private:
    struct Unit {
        std::array<char16_t, 2> chars{};
        std::uint8_t length = 0;
    };

    bool valid_ = false;
    std::array<Unit, 256> singles_{};
    std::vector<Unit> pairs_;  // 60 lead bytes x 256 trail bytes
};

} // namespace kestrane
