#include "traffic/ui/display_resources.h"

#include "traffic/display_geometry.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

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

// `text` in `ink` on a transparent image as wide as it draws, its baseline at `ascent`, made
// with `scale` device pixels per display unit.
QPixmap textPixmap(const QFont& font, int ascent, const QString& text, const QColor& ink, qreal scale)
{
    const QFontMetrics metrics(font);
    const int width = std::max({1, metrics.horizontalAdvance(text), metrics.boundingRect(text).right() + 1});
    QPixmap pixmap(static_cast<int>(std::ceil(width * scale)), static_cast<int>(std::ceil(std::max(1, metrics.height()) * scale)));
    pixmap.setDevicePixelRatio(scale);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(0, ascent, text);
    p.end();
    return pixmap;
}

} // namespace

TableTextMeasurer::TableTextMeasurer(const QFont& font, const Cp932Text& text)
    : singles_(256), pairs_(kShiftJisLeadCount * 256)
{
    const QFontMetrics metrics(font);
    for (int b = 0; b < 256; ++b)
        singles_[static_cast<std::size_t>(b)] = metrics.horizontalAdvance(text.single(static_cast<std::uint8_t>(b)).toString());
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isShiftJisLead(static_cast<std::uint8_t>(lead)))
            continue;
        for (int trail = 0; trail < 256; ++trail) {
            const QString s = text.pair(static_cast<std::uint8_t>(lead), static_cast<std::uint8_t>(trail)).toString();
            pairs_[static_cast<std::size_t>(shiftJisLeadIndex(static_cast<std::uint8_t>(lead)) * 256 + trail)] =
                metrics.horizontalAdvance(s);
        }
    }
}

int TableTextMeasurer::textWidth(const std::uint8_t* bytes, int count) const
{
    int width = 0;
    int i = 0;
    while (i < count) {
        if (isShiftJisLead(bytes[i]) && i + 1 < count) {
            width += pairs_[static_cast<std::size_t>(shiftJisLeadIndex(bytes[i]) * 256 + bytes[i + 1])];
            i += 2;
        } else {
            width += singles_[bytes[i]];
            ++i;
        }
    }
    return width;
}

GlyphTable::GlyphTable(const QFont& font, const Cp932Text& text, const TextMeasurer& measurer)
    : font_(font), raw_(QRawFont::fromFont(font)), text_(text), measurer_(measurer), pairs_(kShiftJisLeadCount * 256)
{
}

GlyphTable::Unit GlyphTable::makeUnit(QStringView text) const
{
    Unit unit;
    unit.made = true;
    if (text.isEmpty())
        return unit;
    const QList<quint32> glyphs = raw_.isValid() ? raw_.glyphIndexesForString(text.toString()) : QList<quint32>{};
    const bool inFont = !glyphs.isEmpty() && glyphs.size() <= 2 &&
                        std::none_of(glyphs.begin(), glyphs.end(), [](quint32 g) { return g == 0; });
    if (inFont) {
        unit.count = static_cast<std::uint8_t>(glyphs.size());
        const QList<QPointF> advances = raw_.advancesForGlyphIndexes(glyphs);
        qreal x = 0;
        for (qsizetype i = 0; i < glyphs.size(); ++i) {
            unit.glyphs[static_cast<std::size_t>(i)] = glyphs[i];
            unit.offsets[static_cast<std::size_t>(i)] = x;
            x += advances.value(i).x();
        }
        return unit;
    }
    // Not in the display font: what the text layout draws, with its font fallback.
    QTextLayout layout(text.toString(), font_);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setPosition(QPointF(0, 0));
    layout.endLayout();
    auto runs = std::make_shared<QList<QGlyphRun>>(layout.glyphRuns());
    for (QGlyphRun& run : *runs) {
        QList<QPointF> positions = run.positions();
        for (QPointF& p : positions)
            p.ry() -= line.ascent();
        run.setPositions(positions);
    }
    unit.fallback = std::move(runs);
    return unit;
}

const GlyphTable::Unit& GlyphTable::unit(const std::uint8_t* bytes, bool isPair)
{
    Unit& u = isPair ? pairs_[static_cast<std::size_t>(shiftJisLeadIndex(bytes[0]) * 256 + bytes[1])] : singles_[bytes[0]];
    if (!u.made)
        u = makeUnit(isPair ? text_.pair(bytes[0], bytes[1]) : text_.single(bytes[0]));
    return u;
}

void GlyphTable::draw(QPainter& painter, QPointF origin, const std::uint8_t* bytes, int count)
{
    glyphs_.clear();
    positions_.clear();
    int x = 0;
    int i = 0;
    while (i < count) {
        // A lead byte without its trail byte stands alone.
        const bool isPair = isShiftJisLead(bytes[i]) && i + 1 < count;
        const int length = isPair ? 2 : 1;
        const Unit& u = unit(bytes + i, isPair);
        if (u.fallback) {
            for (const QGlyphRun& run : *u.fallback)
                painter.drawGlyphRun(origin + QPointF(x, 0), run);
        }
        for (std::size_t g = 0; g < u.count; ++g) {
            glyphs_.append(u.glyphs[g]);
            positions_.append(QPointF(x + u.offsets[g], 0));
        }
        // Positions from the same table the fast display advances its cursor by.
        x += measurer_.textWidth(bytes + i, length);
        i += length;
    }
    if (glyphs_.isEmpty())
        return;
    run_.setRawFont(raw_);
    run_.setGlyphIndexes(glyphs_);
    run_.setPositions(positions_);
    painter.drawGlyphRun(origin, run_);
}

DisplayResources::DisplayResources() : font_(makeDisplayFont()), measurer_(font_, text_), glyphs_(font_, text_, measurer_)
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

void DisplayResources::setDeviceScale(qreal scale)
{
    if (!(scale > 0) || std::abs(scale - deviceScale_) < 1e-6)
        return;
    deviceScale_ = scale;
    scaledBitmaps_.clear();
    labels_.clear();
    charactersMade_.reset();
}

const QPixmap& DisplayResources::scaledBitmap(int id)
{
    if (std::abs(deviceScale_ - 1.0) < 1e-6)
        return bitmap(id);
    auto it = scaledBitmaps_.find(id);
    if (it == scaledBitmaps_.end()) {
        const QPixmap& source = bitmap(id);
        QPixmap scaled;
        if (!source.isNull()) {
            // Each pixel of the glyph becomes a block of device pixels: as sharp as the original.
            const QImage image = source.toImage().scaled(static_cast<int>(std::lround(source.width() * deviceScale_)),
                                                         static_cast<int>(std::lround(source.height() * deviceScale_)),
                                                         Qt::IgnoreAspectRatio, Qt::FastTransformation);
            scaled = QPixmap::fromImage(image);
            scaled.setDevicePixelRatio(deviceScale_);
        }
        it = scaledBitmaps_.emplace(id, scaled).first;
    }
    return it->second;
}

const QPixmap& DisplayResources::singleCharacter(std::uint8_t byte, Ink ink)
{
    const std::size_t slot = byte + (ink == Ink::Red ? 256u : 0u);
    if (!charactersMade_[slot]) {
        characters_[slot] = textPixmap(font_, ascent_, text_.single(byte).toString(),
                                       ink == Ink::Black ? QColor(0, 0, 0) : QColor(255, 0, 0), deviceScale_);
        charactersMade_.set(slot);
    }
    return characters_[slot];
}

const QPixmap& DisplayResources::label(const char* latin1)
{
    const QByteArray key(latin1);
    auto it = labels_.find(key);
    if (it == labels_.end()) {
        it = labels_.emplace(key, textPixmap(font_, ascent_, QString::fromLatin1(key), QColor(0, 0, 0), deviceScale_)).first;
    }
    return it->second;
}

} // namespace kestrane
