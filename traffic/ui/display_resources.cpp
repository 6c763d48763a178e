#include "traffic/ui/display_resources.h"

#include "traffic/display_geometry.h"

#include <QFontMetrics>
#include <QPainter>

namespace kestrane {

namespace {

QFont makeDisplayFont()
{
    QFont font(QString::fromLatin1(kDisplayFontFamily));
    font.setPixelSize(kDisplayFontPixelSize);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

int leadIndex(std::uint8_t lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }

} // namespace

TableTextMeasurer::TableTextMeasurer(const QFont& font, const Cp932Text& text) : singles_(256), pairs_(60 * 256)
{
    const QFontMetrics metrics(font);
    for (int b = 0; b < 256; ++b)
        singles_[static_cast<std::size_t>(b)] = metrics.horizontalAdvance(text.single(static_cast<std::uint8_t>(b)).toString());
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isShiftJisLead(static_cast<std::uint8_t>(lead)))
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            const QString s = text.pair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)).toString();
            pairs_[static_cast<std::size_t>(leadIndex(static_cast<std::uint8_t>(lead)) * 256 + trail)] =
                metrics.horizontalAdvance(s);
        }
    }
}

int TableTextMeasurer::textWidth(const std::uint8_t* bytes, int count) const
{
    int width = 0;
    int i = 0;
    while (i < count) {
        if (isShiftJisLead(bytes[i])) {
            if (i + 1 < count)
                width += pairs_[static_cast<std::size_t>(leadIndex(bytes[i]) * 256 + bytes[i + 1])];
            i += 2;
        } else {
            width += singles_[bytes[i]];
            ++i;
        }
    }
    return width;
}

DisplayResources::DisplayResources() : font_(makeDisplayFont()), measurer_(font_, text_)
{
    ascent_ = QFontMetrics(font_).ascent();
}

const std::vector<int>& DisplayResources::bitmapIds()
{
    static const std::vector<int> ids = [] {
        std::vector<int> v;
        for (int id = 1; id <= 33; ++id)
            v.push_back(id);
        for (int id = 100; id <= 132; ++id)
            v.push_back(id);
        for (int id = 50; id <= 65; ++id)
            v.push_back(id);
        for (int id = 150; id <= 165; ++id)
            v.push_back(id);
        v.push_back(42);
        v.push_back(43);
        return v;
    }();
    return ids;
}

void DisplayResources::loadBitmaps()
{
    for (int id : bitmapIds())
        bitmaps_[id] = QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(id));
}

const QPixmap& DisplayResources::bitmap(int id)
{
    if (bitmaps_.empty())
        loadBitmaps();
    const auto it = bitmaps_.find(id);
    return it != bitmaps_.end() ? it->second : none_;
}

const QPixmap& DisplayResources::singleCharacter(std::uint8_t byte, Ink ink)
{
    const std::size_t slot = byte + (ink == Ink::Red ? 256u : 0u);
    if (!charactersMade_[slot]) {
        const QString text = text_.single(byte).toString();
        const QFontMetrics metrics(font_);
        const int width = std::max({1, metrics.horizontalAdvance(text), metrics.boundingRect(text).right() + 1});
        QPixmap pixmap(width, std::max(1, metrics.height()));
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setFont(font_);
        p.setPen(ink == Ink::Black ? QColor(0, 0, 0) : QColor(255, 0, 0));
        p.drawText(0, ascent_, text);
        p.end();
        characters_[slot] = pixmap;
        charactersMade_.set(slot);
    }
    return characters_[slot];
}

} // namespace kestrane
