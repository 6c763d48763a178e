#include "sending/ui/send_preview_view.h"

#include "text/cp932.h"
#include "notation/shift_jis.h"

#include <QCoreApplication>
#include <QFontMetrics>

namespace kestrane {

namespace {

constexpr const char* kFrameColour = "#0050c8";
constexpr const char* kMisreadColour = "#d00000";
constexpr const char* kIgnoredColour = "#909090";

// The text as it was read, unit by unit, each unit marked by the worst use of its bytes.
QString readingHtml(const QByteArray& text, const FramePreview& preview)
{
    QString html;
    qsizetype i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        const qsizetype length = isShiftJisLead(byte) && i + 1 < text.size() ? 2 : 1;
        CharUse use = CharUse::Sent;
        for (qsizetype k = i; k < i + length && k < static_cast<qsizetype>(preview.uses.size()); ++k) {
            const CharUse u = preview.uses[static_cast<std::size_t>(k)];
            if (u == CharUse::ReadAsZero || (u == CharUse::Ignored && use != CharUse::ReadAsZero) ||
                (u == CharUse::Quote && use == CharUse::Sent))
                use = u;
        }
        QString unit = fromCp932(text.mid(i, length)).toHtmlEscaped();
        if (unit == QStringLiteral(" "))
            unit = QStringLiteral("·");  // a space that matters must be seen
        switch (use) {
        case CharUse::ReadAsZero:
            html += QStringLiteral("<u style=\"color:%1\">%2</u>").arg(QLatin1String(kMisreadColour), unit);
            break;
        case CharUse::Ignored:
            html += QStringLiteral("<s style=\"color:%1\">%2</s>").arg(QLatin1String(kIgnoredColour), unit);
            break;
        default:
            html += unit;
        }
        i += length;
    }
    return html;
}

QString bytesHtml(const FramePreview& preview)
{
    QString html;
    for (std::size_t i = 0; i < preview.bytes.size(); ++i) {
        if (i > 0)
            html += QLatin1Char(' ');
        const QString hex = QStringLiteral("%1").arg(preview.bytes[i], 2, 16, QLatin1Char('0')).toUpper();
        if (preview.misread[i])
            html += QStringLiteral("<b style=\"color:%1\">%2</b>").arg(QLatin1String(kMisreadColour), hex);
        else if (preview.parts[i] != FramePart::Data)
            html += QStringLiteral("<span style=\"color:%1\">%2</span>").arg(QLatin1String(kFrameColour), hex);
        else
            html += hex;
    }
    return html;
}

} // namespace

QString previewHex(const FramePreview& preview)
{
    QString hex;
    for (std::size_t i = 0; i < preview.bytes.size(); ++i)
        hex += (i > 0 ? QStringLiteral(" ") : QString()) +
               QStringLiteral("%1").arg(preview.bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    return hex;
}

SendPreviewView::SendPreviewView(QWidget* parent) : QTextBrowser(parent)
{
    setObjectName(QStringLiteral("preview"));
    setFocusPolicy(Qt::NoFocus);  // read only, and out of the way of Tab
    setOpenLinks(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setToolTip(QCoreApplication::translate("SendPreviewView", "送信されるバイト（16進）。青: ｽﾀｰﾄ・ｽﾄｯﾌﾟ・ﾁｪｯｸｻﾑ・ｴﾝﾄﾞ文字、"
                              "赤: 16進数字2桁でない組から読んだバイト、下線の赤: 00 と読まれる文字、"
                              "灰色の取り消し線: 送られない文字"));
    const int lines = 4;
    setFixedHeight(QFontMetrics(font()).lineSpacing() * lines + 2 * frameWidth() + 8);
}

QSize SendPreviewView::sizeHint() const { return {QTextBrowser::sizeHint().width(), height()}; }

void SendPreviewView::showFrames(const QByteArray& text, const FrameOptions& options, const std::vector<Row>& rows)
{
    const std::string_view view(text.constData(), static_cast<std::size_t>(text.size()));
    QString html;
    for (const Row& row : rows) {
        const FramePreview preview = previewFrame(view, row.form, options);
        html += QCoreApplication::translate("SendPreviewView", "<div><b>%1</b>: %2 （%3バイト）</div>")
                    .arg(row.label.toHtmlEscaped(), bytesHtml(preview))
                    .arg(preview.bytes.size());
        if (row.form == TextForm::HexNotation && preview.hasMisread())
            html += QCoreApplication::translate("SendPreviewView", "<div>　16進で読むと: %1</div>").arg(readingHtml(text, preview));
    }
    setHtml(html);
}

void SendPreviewView::showNothing(const QString& why)
{
    setHtml(QStringLiteral("<div style=\"color:%1\">%2</div>").arg(QLatin1String(kIgnoredColour), why.toHtmlEscaped()));
}

} // namespace kestrane
