#include "headless/text_grid.h"

#include "text/cp932.h"
#include "traffic/display_geometry.h"

#include <QString>

#include <algorithm>

namespace kestrane::headless {

namespace {

// The red sets (controls from 100, hex digits from 150) lie above every black one.
bool isRedGlyph(int id) { return id >= glyph::kRedControl; }

// A control byte as its picture (U+2400 + byte); a space stays a space, so text reads as text.
std::string controlText(int byte)
{
    if (byte == ' ')
        return " ";
    return QString(QChar(static_cast<char16_t>(0x2400 + std::clamp(byte, 0, 31)))).toStdString();
}

bool isWide(char16_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3)
           || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60)
           || (c >= 0xFFE0 && c <= 0xFFE6) || c == 0x3000;
}

} // namespace

void TextGrid::draw(const DrawOp& op)
{
    const int line = op.y / display::kLineHeight;
    if (line < 0 || line >= static_cast<int>(lines_.size()))
        return;
    const bool upper = op.y % display::kLineHeight < display::kSeparatorY;
    const bool red = op.type == DrawOp::Type::Text ? op.ink == Ink::Red : isRedGlyph(op.glyph);
    const int row = (upper ? 0 : 1) + (red ? 2 : 0);  // the tag's digit
    const int cell = (op.x - display::kFirstCellX) / display::kCellWidth;
    if (cell < 0 || cell >= width_)
        return;
    std::vector<Cell>& cells = lines_[static_cast<std::size_t>(line)].rows[static_cast<std::size_t>(row)];
    if (cells.empty())
        cells.resize(static_cast<std::size_t>(width_));
    Cell& c = cells[static_cast<std::size_t>(cell)];
    if (op.type == DrawOp::Type::Text)
        textCell(c, op.text, op.length);
    else if (hex_)
        c.text += "0123456789ABCDEF"[(op.glyph - (red ? glyph::kRedHex : glyph::kBlackHex)) & 15];
    else
        c.text = controlText(op.glyph - (red ? glyph::kRedControl : glyph::kBlackControl));
}

std::string TextGrid::rowText(std::size_t line, int row) const
{
    const std::vector<Cell>& cells = lines_[line].rows[static_cast<std::size_t>(row)];
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Cell& c = cells[i];
        text += c.text.empty() ? std::string(hex_ ? 2 : 1, ' ') : c.text;
        if (hex_)
            text += ' ';
        if (c.wide)
            ++i;  // the trail byte's cell lies under the character
    }
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

void TextGrid::textCell(Cell& c, const std::uint8_t* bytes, int length) const
{
    static const Cp932Text cp932;  // tables built once, only read afterwards
    QString text = (length == 2 ? cp932.pair(bytes[0], bytes[1]) : cp932.single(bytes[0])).toString();
    if (length == 1 && bytes[0] == 0x7F)
        text = QString(QChar(static_cast<char16_t>(0x2421)));  // DEL's picture
    for (QChar& ch : text)
        if (ch.category() == QChar::Other_Control || ch.isNull())
            ch = QChar::ReplacementCharacter;
    if (text.isEmpty())
        text = QChar(QChar::ReplacementCharacter);
    c.text = text.toStdString();
    c.wide = length == 2;
    // A pair covers two cells: a single character a terminal shows narrow gets a space beside it.
    if (c.wide && text.size() == 1 && !isWide(text.at(0).unicode()))
        c.text += ' ';
}

} // namespace kestrane::headless
