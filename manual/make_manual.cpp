// make_manual: lays out one of the manuals as a PDF, at build time, offscreen.
//
//   make_manual quellorn|kestrane ja|en <text folder> <output.pdf>
//
// In English the windows are pictured with the English translation installed, and each page's
// text is read from en/ below the text folder at the Japanese text's path.
// Every row of the manual's table becomes exactly one A4 page: the heading, the pictures of the
// windows it names, and its Markdown text. Text that does not fit is set smaller; text that does
// not fit even then stops the build with the page named, so a help button's page number can
// never drift onto another page.
#include "manual/dialog_pictures.h"
#include "manual/manual_pages.h"
#include "widgets/language.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSet>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

using namespace kestrane::manual;

namespace {

constexpr int kDpi = 300;
constexpr double kBodyPoints = 10.5;
constexpr double kSmallestBodyPoints = 7.0;
// The Japanese manuals' font; the English ones use its proportional sibling of the same package.
const QString kFontFamily = QStringLiteral("IPAGothic");
const QString kEnglishFontFamily = QStringLiteral("IPAPGothic");

int mm(double millimetres)
{
    return static_cast<int>(millimetres / 25.4 * kDpi + 0.5);
}

void fail(const QString& text)
{
    std::fprintf(stderr, "make_manual: %s\n", qPrintable(text));
}

std::optional<QString> readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return QString::fromUtf8(f.readAll());
}

QFont font(const QString& family, double points, bool bold = false)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// The contents as a two-column table of page numbers and titles.
QString contentsHtml(const ManualBook& book)
{
    std::vector<const ManualPage*> rows;
    for (const ManualPage& p : book.pages)
        if (p.source != QStringLiteral("@cover") && p.source != QStringLiteral("@contents"))
            rows.push_back(&p);
    const std::size_t half = (rows.size() + 1) / 2;
    QString html = QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"3\">");
    for (std::size_t i = 0; i < half; ++i) {
        html += QStringLiteral("<tr>");
        for (const std::size_t k : {i, i + half}) {
            if (k < rows.size())
                html += QStringLiteral("<td width=\"8%\" align=\"right\">%1</td><td width=\"42%\">%2</td>")
                            .arg(rows[k]->page)
                            .arg(rows[k]->title.toHtmlEscaped());
            else
                html += QStringLiteral("<td></td><td></td>");
        }
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

// Tables with ruled cells, a shaded heading row and some room around the text; code blocks shaded.
void styleDocument(QTextDocument& doc, double points)
{
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table)
            continue;
        QTextTableFormat format = table->format();
        format.setBorder(mm(0.2));
        format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        format.setBorderBrush(QColor(0x90, 0x90, 0x90));
        format.setBorderCollapse(true);
        format.setCellPadding(mm(0.5));
        format.setCellSpacing(0);
        table->setFormat(format);
        for (int column = 0; column < table->columns(); ++column) {
            QTextTableCell cell = table->cellAt(0, column);
            QTextCharFormat cf = cell.format();
            cf.setBackground(QColor(0xe8, 0xec, 0xf4));
            cell.setFormat(cf);
        }
    }
    // Code in the text's own size (the fixed font would come in the system's size).
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().hasProperty(QTextFormat::BlockCodeFence)) {
            QTextCursor cursor(block);
            QTextBlockFormat bf = block.blockFormat();
            bf.setBackground(QColor(0xf2, 0xf2, 0xf2));
            cursor.setBlockFormat(bf);
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || !fragment.charFormat().fontFixedPitch())
                continue;
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            QTextCharFormat cf;
            cf.setFontPointSize(points * 0.95);
            cursor.mergeCharFormat(cf);
        }
    }
}

class PageWriter {
public:
    PageWriter(QPdfWriter& writer, const ManualBook& book, QString family)
        : writer_(writer), book_(book), family_(std::move(family)), painter_(&writer)
    {
        width_ = writer.width();
        height_ = writer.height();
    }

    [[nodiscard]] bool ok() const { return painter_.isActive(); }
    void end() { painter_.end(); }

    // Lays out one page; false (with the reason printed) when its text does not fit.
    bool write(const ManualPage& page, const QString& body, bool bodyIsHtml, QStringList& missingPictures)
    {
        if (page.page > 1)
            writer_.newPage();
        const int left = mm(20), right = width_ - mm(20), top = mm(18), bottom = height_ - mm(18);
        const int contentWidth = right - left;

        // Header and footer.
        painter_.setPen(QColor(0x60, 0x60, 0x60));
        // In the fixed font in both languages: a proportional one's narrow blanks get lost when
        // the page number "- N -" is read back from the PDF.
        painter_.setFont(font(kFontFamily, 8));
        if (page.source != QStringLiteral("@cover")) {
            painter_.drawText(QRect(left, top, contentWidth, mm(5)), Qt::AlignLeft | Qt::AlignVCenter, book_.title);
            painter_.drawLine(left, top + mm(6), right, top + mm(6));
        }
        painter_.drawText(QRect(left, bottom - mm(5), contentWidth, mm(5)), Qt::AlignCenter, QStringLiteral("- %1 -").arg(page.page));
        int y = top + mm(10);

        if (page.source == QStringLiteral("@cover")) {
            painter_.setPen(Qt::black);
            painter_.setFont(font(family_, 30, true));
            painter_.drawText(QRect(left, mm(80), contentWidth, mm(20)), Qt::AlignCenter, book_.title);
            painter_.setFont(font(family_, 14));
            painter_.drawText(QRect(left, mm(105), contentWidth, mm(12)), Qt::AlignCenter, page.title);
            y = mm(130);
        } else {
            painter_.setPen(Qt::black);
            painter_.setFont(font(family_, 18, true));
            const QRect titleBox = painter_.boundingRect(QRect(left, y, contentWidth, mm(40)), Qt::TextWordWrap, page.title);
            painter_.drawText(titleBox, Qt::TextWordWrap, page.title);
            y = titleBox.bottom() + mm(2);
            if (!page.subtitle.isEmpty()) {
                painter_.setPen(QColor(0x40, 0x40, 0x40));
                painter_.setFont(font(family_, 9.5));
                const QRect sub = painter_.boundingRect(QRect(left, y, contentWidth, mm(20)), Qt::TextWordWrap, page.subtitle);
                painter_.drawText(sub, Qt::TextWordWrap, page.subtitle);
                y = sub.bottom() + mm(1);
            }
            painter_.setPen(QColor(0x1f, 0x3f, 0x8f));
            painter_.drawLine(left, y + mm(1), right, y + mm(1));
            y += mm(4);
        }

        // Pictures, side by side when they fit, at their screen size (96 dots per inch) or smaller.
        std::vector<QImage> images;
        for (const QString& id : page.pictures) {
            const QImage img = windowPicture(id);
            if (img.isNull())
                missingPictures << QStringLiteral("%1 (page %2)").arg(id).arg(page.page);
            else
                images.push_back(img);
        }
        // The pictures take at most this share of the room left; a long text makes them smaller
        // before it is set smaller than 8.5 points.
        const int room = bottom - y;
        const double scale = static_cast<double>(kDpi) / 96.0;
        const int gap = mm(5);
        double total = 0, tallest = 0;
        for (const QImage& img : images) {
            total += img.width() * scale;
            tallest = std::max(tallest, img.height() * scale);
        }
        total += gap * static_cast<double>(images.size() > 0 ? images.size() - 1 : 0);

        struct Try {
            double pictureShare;
            double smallestPoints;
        };
        const Try tries[] = {{0.48, 8.5}, {0.36, 8.5}, {0.28, kSmallestBodyPoints}};
        for (const Try& attempt : tries) {
            const double fit = images.empty() ? 0 : std::min({1.0, contentWidth / total, room * attempt.pictureShare / tallest});
            const int textTop = images.empty() ? y : y + static_cast<int>(tallest * fit) + mm(5);
            const int available = bottom - mm(8) - textTop;
            std::unique_ptr<QTextDocument> doc;
            double points = kBodyPoints;
            for (; !body.isEmpty() && points >= attempt.smallestPoints - 0.01; points -= 0.5) {
                doc = std::make_unique<QTextDocument>();
                doc->documentLayout()->setPaintDevice(&writer_);
                doc->setDefaultFont(font(family_, points));
                doc->setDocumentMargin(0);
                if (bodyIsHtml)
                    doc->setHtml(body);
                else
                    doc->setMarkdown(body);
                if (!bodyIsHtml)
                    styleDocument(*doc, points);
                doc->setTextWidth(contentWidth);
                if (doc->size().height() <= available)
                    break;
                doc.reset();
            }
            if (!body.isEmpty() && !doc)
                continue;

            double x = left + (contentWidth - total * fit) / 2;
            for (const QImage& img : images) {
                const QRectF target(x, y, img.width() * scale * fit, img.height() * scale * fit);
                painter_.drawImage(target, img);
                x += target.width() + gap * fit;
            }
            if (doc) {
                painter_.save();
                painter_.translate(left, textTop);
                doc->drawContents(&painter_, QRectF(0, 0, contentWidth, available));
                painter_.restore();
                if (points < kBodyPoints)
                    std::printf("make_manual: page %d set at %.1f points\n", page.page, points);
            }
            return true;
        }
        fail(QStringLiteral("the text of page %1 (%2) does not fit on one page").arg(page.page).arg(page.source));
        return false;
    }

private:
    QPdfWriter& writer_;
    const ManualBook& book_;
    QString family_;
    QPainter painter_;
    int width_ = 0;
    int height_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    // Always offscreen: the manual is made at build time, with or without a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::temp().filePath(QStringLiteral("kestrane-manual-runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }
    QApplication app(argc, argv);
    const auto language = argc == 5 ? kestrane::i18n::languageNamed(argv[2]) : std::nullopt;
    if (!language) {
        fail(QStringLiteral("usage: make_manual quellorn|kestrane ja|en <text folder> <output.pdf>"));
        return 2;
    }
    const QString which = QString::fromLocal8Bit(argv[1]);
    const QDir textDir(QString::fromLocal8Bit(argv[3]));
    const QString output = QString::fromLocal8Bit(argv[4]);
    const ManualBook book = which == QStringLiteral("quellorn") ? quellornManual(*language) : kestraneManual(*language);
    const bool english = *language == kestrane::i18n::Language::English;
    if (english && !kestrane::installLanguage(app, *language)) {
        fail(QStringLiteral("the English translation did not load"));
        return 1;
    }

    // The table must name every page once, in order, each with its text.
    for (std::size_t i = 0; i < book.pages.size(); ++i) {
        const ManualPage& p = book.pages[i];
        if (p.page != static_cast<int>(i) + 1) {
            fail(QStringLiteral("%1: row %2 is page %3; pages must run 1, 2, 3 ... without gaps").arg(book.fileName).arg(i + 1).arg(p.page));
            return 1;
        }
        if (p.title.isEmpty()) {
            fail(QStringLiteral("%1: page %2 has no title").arg(book.fileName).arg(p.page));
            return 1;
        }
        // An English text not yet written is told on its page (below); a Japanese one must exist.
        if (!english && !p.source.startsWith(QLatin1Char('@')) && !QFileInfo::exists(textDir.filePath(p.source))) {
            fail(QStringLiteral("page %1: no text %2").arg(p.page).arg(textDir.filePath(p.source)));
            return 1;
        }
    }

    const QString partial = output + QStringLiteral(".part");
    QStringList missingPictures;
    QStringList untranslated;
    {
        QPdfWriter writer(partial);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(kDpi);
        writer.setTitle(book.title);
        writer.setCreator(QStringLiteral("Kestrane make_manual"));
        PageWriter pages(writer, book, english ? kEnglishFontFamily : kFontFamily);
        if (!pages.ok()) {
            fail(QStringLiteral("cannot write %1").arg(partial));
            return 1;
        }
        for (const ManualPage& p : book.pages) {
            QString body;
            bool html = false;
            if (p.source == QStringLiteral("@contents")) {
                body = contentsHtml(book);
                html = true;
            } else if (!p.source.startsWith(QLatin1Char('@'))) {
                const std::optional<QString> text = readText(textDir.filePath(p.source));
                if (english && !text) {
                    untranslated << QString::number(p.page);
                    body = QStringLiteral("*The text of this page is not translated into English yet. Page %1 of the "
                                          "Japanese manual holds it.*")
                               .arg(p.page);
                } else {
                    body = text.value_or(QString());
                }
            }
            if (!pages.write(p, body, html, missingPictures)) {
                pages.end();
                QFile::remove(partial);
                return 1;
            }
        }
        pages.end();
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        fail(QStringLiteral("cannot write %1").arg(output));
        return 1;
    }
    std::printf("make_manual: %s, %zu pages\n", qPrintable(QFileInfo(output).fileName()), book.pages.size());
    if (!untranslated.isEmpty())
        std::printf("make_manual: no English text yet for pages %s\n", qPrintable(untranslated.join(QStringLiteral(", "))));
    if (!missingPictures.isEmpty())
        std::printf("make_manual: no picture yet for %s\n", qPrintable(missingPictures.join(QStringLiteral(", "))));
    return 0;
}
