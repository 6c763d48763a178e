// The display's drawing resources: the display font, the bitmap table (control glyphs, hex
// digits, end marker, blank tile), the code page 932 decoding and the text measurer the fast
// display uses on the feeding threads. Built on the GUI thread.
#pragma once

#include "traffic/draw_ops.h"
#include "traffic/text_measure.h"
#include "text/cp932.h"

#include <QFont>
#include <QGlyphRun>
#include <QPixmap>
#include <QRawFont>

class QPainter;

#include <array>
#include <bitset>
#include <map>
#include <memory>
#include <vector>

namespace kestrane {

// The display font: "MS UI Gothic" is not on Linux; IPAGothic (fonts-ipafont-gothic) has the
// same small Gothic look with half-width characters exactly half a full-width one.
inline constexpr const char* kDisplayFontFamily = "IPAGothic";
inline constexpr int kDisplayFontPixelSize = 10;

// Text widths from tables measured once with the display font: thread-safe reads only.
class TableTextMeasurer final : public TextMeasurer {
public:
    TableTextMeasurer(const QFont& font, const Cp932Text& text);
    [[nodiscard]] int textWidth(const std::uint8_t* bytes, int count) const override;

private:
    std::vector<int> singles_;  // 256
    std::vector<int> pairs_;    // 60 lead bytes x 256 trail bytes
};

// The display font's glyphs of every code page 932 unit, so that text is drawn as glyph runs
// at positions from the width table: no text layout (shaping) per repaint. A unit the display
// font lacks is laid out once with font fallback and its glyphs kept. GUI thread only.
class GlyphTable {
public:
    GlyphTable(const QFont& font, const Cp932Text& text, const TextMeasurer& measurer);

    // Draws `count` bytes of text with the left end of its baseline at `origin`, in the
    // painter's pen colour.
    void draw(QPainter& painter, QPointF origin, const std::uint8_t* bytes, int count);

private:
    struct Unit {
        std::array<quint32, 2> glyphs{};
        std::array<qreal, 2> offsets{};  // of each glyph within the unit
        std::uint8_t count = 0;
        bool made = false;
        // Glyphs from other fonts, positioned from the unit's baseline origin; when set the
        // unit is drawn from these alone.
        std::shared_ptr<const QList<QGlyphRun>> fallback;
    };
    Unit makeUnit(QStringView text) const;
    const Unit& unit(const std::uint8_t* bytes, bool isPair);

    QFont font_;
    QRawFont raw_;
    const Cp932Text& text_;
    const TextMeasurer& measurer_;
    std::array<Unit, 256> singles_{};
    std::vector<Unit> pairs_;  // 60 lead bytes x 256 trail bytes, made on first use
    QGlyphRun run_;
    QList<quint32> glyphs_;
    QList<QPointF> positions_;
};

class DisplayResources {
public:
    DisplayResources();
    DisplayResources(const DisplayResources&) = delete;
    DisplayResources& operator=(const DisplayResources&) = delete;

    // The bitmap table (start-up step 9). Until then bitmaps are loaded on first use.
    void loadBitmaps();
    [[nodiscard]] bool bitmapsLoaded() const { return !bitmaps_.empty(); }

    [[nodiscard]] const QFont& font() const { return font_; }
    [[nodiscard]] int ascent() const { return ascent_; }
    [[nodiscard]] const Cp932Text& text() const { return text_; }
    [[nodiscard]] const TextMeasurer& measurer() const { return measurer_; }
    [[nodiscard]] GlyphTable& glyphs() { return glyphs_; }
    // The bitmap of a resource id as stored (a null pixmap for an unknown id).
    [[nodiscard]] const QPixmap& bitmap(int id);

    // The device pixels per display unit the pictures below are made for: the display's
    // magnification times the screen's device pixel ratio. A change drops the pictures made so
    // far; they are made again, sharp, at the new scale.
    void setDeviceScale(qreal scale);
    [[nodiscard]] qreal deviceScale() const { return deviceScale_; }
    // The bitmap of a resource id at the device scale, its pixels repeated (never blurred), with
    // that device pixel ratio, so it covers its own size in display units.
    [[nodiscard]] const QPixmap& scaledBitmap(int id);
    // A single-byte character in `ink`, drawn once with its text top at the pixmap's top: a
    // repaint copies these instead of laying out thousands of one-character texts.
    [[nodiscard]] const QPixmap& singleCharacter(std::uint8_t byte, Ink ink);

    // A short text in black drawn once (the row labels), its text top at the pixmap's top.
    [[nodiscard]] const QPixmap& label(const char* latin1);

    // Every id of the table, in its order.
    static const std::vector<int>& bitmapIds();

private:
    QFont font_;
    int ascent_ = 0;
    Cp932Text text_;
    TableTextMeasurer measurer_;
    GlyphTable glyphs_;
    std::map<QByteArray, QPixmap> labels_;
    std::map<int, QPixmap> bitmaps_;
    qreal deviceScale_ = 1.0;
    std::map<int, QPixmap> scaledBitmaps_;
    QPixmap none_;
    std::array<QPixmap, 512> characters_;  // black 0..255, red 256..511
    std::bitset<512> charactersMade_;
};

} // namespace kestrane
