#include "companions/ui/companion_windows.h"

#include "companions/checksum_calc.h"
#include "companions/code_table.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kestrane {

namespace {

QString hexText(std::span<const std::uint8_t> bytes)
{
    return QString::fromStdString(hexBytes(bytes));
}

QLineEdit* readOnlyField(QWidget* parent, const char* name)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(true);
    return e;
}

} // namespace

// ---- tolvek: checksum calculator ----------------------------------------------------------

TolvekWindow::TolvekWindow(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QCoreApplication::translate("CompanionWindows", "チェックサム計算 - tolvek"));
    auto* layout = new QVBoxLayout(this);

    auto* inputBox = new QGroupBox(QCoreApplication::translate("CompanionWindows", "送信する文字"), this);
    auto* inputLayout = new QVBoxLayout(inputBox);
    input_ = new QLineEdit(inputBox);
    input_->setObjectName(QStringLiteral("input"));
    input_->setPlaceholderText(QCoreApplication::translate("CompanionWindows", "例: 0D0A  \"AB\"03"));
    inputLayout->addWidget(input_);
    auto* forms = new QHBoxLayout;
    hexForm_ = new QRadioButton(QCoreApplication::translate("CompanionWindows", "16進表記 (送信)"), inputBox);
    ascForm_ = new QRadioButton(QCoreApplication::translate("CompanionWindows", "文字のまま (ASC送信)"), inputBox);
    hexForm_->setChecked(true);
    forms->addWidget(hexForm_);
    forms->addWidget(ascForm_);
    forms->addStretch();
    inputLayout->addLayout(forms);
    layout->addWidget(inputBox);

    auto* dataBox = new QGroupBox(QCoreApplication::translate("CompanionWindows", "データ"), this);
    auto* dataLayout = new QVBoxLayout(dataBox);
    data_ = new QPlainTextEdit(dataBox);
    data_->setObjectName(QStringLiteral("data"));
    data_->setReadOnly(true);
    data_->setMaximumHeight(60);
    count_ = new QLabel(dataBox);
    count_->setObjectName(QStringLiteral("count"));
    dataLayout->addWidget(data_);
    dataLayout->addWidget(count_);
    layout->addWidget(dataBox);

    auto* resultBox = new QGroupBox(QCoreApplication::translate("CompanionWindows", "チェックサム (HEX ／ 送信されるバイト)"), this);
    auto* results = new QFormLayout(resultBox);
    xor_ = readOnlyField(resultBox, "xor");
    sum_ = readOnlyField(resultBox, "sum");
    crc_ = readOnlyField(resultBox, "crc");
    results->addRow(QCoreApplication::translate("CompanionWindows", "Byte単位でXOR"), xor_);
    results->addRow(QCoreApplication::translate("CompanionWindows", "Byte単位で加算"), sum_);
    results->addRow(QStringLiteral("CRC16"), crc_);
    auto* outputForm = new QHBoxLayout;
    oneByte_ = new QRadioButton(QCoreApplication::translate("CompanionWindows", "HEXで１文字"), resultBox);
    twoDigits_ = new QRadioButton(QCoreApplication::translate("CompanionWindows", "ASCで２文字"), resultBox);
    lowerCase_ = new QCheckBox(QCoreApplication::translate("CompanionWindows", "小文字"), resultBox);
    oneByte_->setChecked(true);
    outputForm->addWidget(oneByte_);
    outputForm->addWidget(twoDigits_);
    outputForm->addWidget(lowerCase_);
    outputForm->addStretch();
    results->addRow(QCoreApplication::translate("CompanionWindows", "出力の文字形式"), outputForm);
    layout->addWidget(resultBox);

    connect(input_, &QLineEdit::textChanged, this, &TolvekWindow::recompute);
    for (QAbstractButton* b : {static_cast<QAbstractButton*>(hexForm_), static_cast<QAbstractButton*>(ascForm_),
                               static_cast<QAbstractButton*>(oneByte_), static_cast<QAbstractButton*>(twoDigits_),
                               static_cast<QAbstractButton*>(lowerCase_)})
        connect(b, &QAbstractButton::toggled, this, &TolvekWindow::recompute);
    resize(520, 380);
    recompute();
}

void TolvekWindow::setInput(const QString& text)
{
    input_->setText(text);
}

void TolvekWindow::setAscForm(bool asc)
{
    (asc ? ascForm_ : hexForm_)->setChecked(true);
}

QString TolvekWindow::shown(const char* field) const
{
    const QString name = QString::fromLatin1(field);
    if (auto* e = findChild<QLineEdit*>(name))
        return e->text();
    if (auto* t = findChild<QPlainTextEdit*>(name))
        return t->toPlainText();
    if (auto* l = findChild<QLabel*>(name))
        return l->text();
    return {};
}

void TolvekWindow::recompute()
{
    // The send dialogs hand their input line over as code page 932 bytes.
    const QByteArray bytes = toCp932(input_->text());
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    const TextForm form = ascForm_->isChecked() ? TextForm::Asc : TextForm::HexNotation;
    const ChecksumResult r = computeChecksums(text, form);

    data_->setPlainText(hexText(r.data));
    QString count = QCoreApplication::translate("CompanionWindows", "%1 バイト").arg(r.data.size());
    if (r.cut)
        count += QCoreApplication::translate("CompanionWindows", "（511文字を超えた分は送信されません）");
    count_->setText(count);

    const std::int32_t outputForm = twoDigits_->isChecked() ? kChecksumTwoDigits : kChecksumOneByte;
    const bool lower = lowerCase_->isChecked();
    const auto row = [&](std::int32_t method, const QString& value) {
        if (text.empty())
            return QString();
        return QCoreApplication::translate("CompanionWindows", "%1   ／ 送信: %2").arg(value, hexText(checksumField(text, form, method, outputForm, lower)));
    };
    const auto hex2 = [](unsigned v, int digits) { return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')).toUpper(); };
    xor_->setText(row(kChecksumXor, hex2(r.byteXor, 2)));
    sum_->setText(row(kChecksumSum, hex2(r.byteSum, 2)));
    crc_->setText(row(kChecksumCrc16, hex2(r.crc16, 4)));
}

// ---- glimra: character code table ---------------------------------------------------------

GlimraWindow::GlimraWindow(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QCoreApplication::translate("CompanionWindows", "文字コード表 - glimra"));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QCoreApplication::translate("CompanionWindows", "表示するコード"), this));
    pages_ = new QComboBox(this);
    pages_->setObjectName(QStringLiteral("pages"));
    for (const std::uint8_t lead : codeTablePages())
        pages_->addItem(codeTablePageName(lead), lead);
    top->addWidget(pages_, 1);
    layout->addLayout(top);

    table_ = new QTableWidget(16, 16, this);
    table_->setObjectName(QStringLiteral("table"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    QStringList digits;
    for (int i = 0; i < 16; ++i)
        digits << QString::number(i, 16).toUpper();
    table_->setHorizontalHeaderLabels(digits);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    layout->addWidget(table_, 1);

    status_ = new QLabel(QCoreApplication::translate("CompanionWindows", "文字をクリックすると、その16進コードをコピーします。"), this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);

    connect(pages_, &QComboBox::currentIndexChanged, this, [this](int index) {
        showPage(static_cast<std::uint8_t>(pages_->itemData(index).toUInt()));
    });
    connect(table_, &QTableWidget::cellClicked, this, [this](int row, int column) { clickCell(row * 16 + column); });
    resize(640, 560);
    showPage(0);
}

void GlimraWindow::showPage(std::uint8_t lead)
{
    page_ = lead;
    const int index = pages_->findData(lead);
    if (index >= 0 && index != pages_->currentIndex()) {
        pages_->setCurrentIndex(index);  // comes back here through the signal
        return;
    }
    QStringList rows;
    for (int i = 0; i < 16; ++i)
        rows << (lead == 0 ? QString() : QString::number(lead, 16).toUpper()) + QString::number(i, 16).toUpper()
                    + QLatin1Char('x');
    table_->setVerticalHeaderLabels(rows);
    const auto cells = codeTablePage(lead, cp932_);
    for (int i = 0; i < 256; ++i) {
        const CodeCell& cell = cells[static_cast<std::size_t>(i)];
        auto* item = new QTableWidgetItem(cell.text);
        item->setTextAlignment(Qt::AlignCenter);
        if (cell.kind == CellKind::Unused) {
            item->setFlags(Qt::NoItemFlags);
        } else {
            item->setToolTip(QStringLiteral("%1  %2").arg(cellHex(cell), cell.text));
            if (cell.kind != CellKind::Character)
                item->setForeground(QColor(Qt::darkBlue));
        }
        table_->setItem(i / 16, i % 16, item);
    }
}

QString GlimraWindow::clickCell(int index)
{
    if (index < 0 || index > 255)
        return {};
    const CodeCell cell = codeTablePage(page_, cp932_)[static_cast<std::size_t>(index)];
    if (cell.kind == CellKind::Unused)
        return {};
    if (cell.kind == CellKind::LeadByte) {
        showPage(static_cast<std::uint8_t>(cell.code));
        status_->setText(QCoreApplication::translate("CompanionWindows", "%1 で始まる2バイト文字を表示しています。").arg(cellHex(cell)));
        return {};
    }
    const QString hex = cellHex(cell);
    QApplication::clipboard()->setText(hex);
    status_->setText(QCoreApplication::translate("CompanionWindows", "%1（%2）をコピーしました。").arg(hex, cell.text));
    return hex;
}

// ---- dornex: number converter -------------------------------------------------------------

namespace {

constexpr std::array<Radix, 4> kRadixes{Radix::Decimal, Radix::Hex, Radix::Binary, Radix::Octal};

int radixIndex(Radix r)
{
    for (std::size_t i = 0; i < kRadixes.size(); ++i)
        if (kRadixes[i] == r)
            return static_cast<int>(i);
    return 0;
}

} // namespace

DornexWindow::DornexWindow(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QCoreApplication::translate("CompanionWindows", "数値変換 - dornex"));
    auto* layout = new QVBoxLayout(this);

    auto* typeBox = new QGroupBox(QCoreApplication::translate("CompanionWindows", "型"), this);
    auto* typeLayout = new QHBoxLayout(typeBox);
    auto* widthGroup = new QButtonGroup(this);
    const std::array<int, 3> bits{8, 16, 32};
    for (std::size_t i = 0; i < bits.size(); ++i) {
        widths_[i] = new QRadioButton(QCoreApplication::translate("CompanionWindows", "%1ビット").arg(bits[i]), typeBox);
        widths_[i]->setObjectName(QStringLiteral("bits%1").arg(bits[i]));
        widthGroup->addButton(widths_[i], bits[i]);
        typeLayout->addWidget(widths_[i]);
    }
    widths_[1]->setChecked(true);
    signed_ = new QCheckBox(QCoreApplication::translate("CompanionWindows", "符号付き"), typeBox);
    signed_->setObjectName(QStringLiteral("signed"));
    typeLayout->addWidget(signed_);
    typeLayout->addStretch();
    layout->addWidget(typeBox);

    auto* valueBox = new QGroupBox(QCoreApplication::translate("CompanionWindows", "値"), this);
    auto* form = new QFormLayout(valueBox);
    const std::array<const char*, 4> labels{QT_TRANSLATE_NOOP("Kestrane", "10進"), QT_TRANSLATE_NOOP("Kestrane", "16進"), QT_TRANSLATE_NOOP("Kestrane", "2進"), QT_TRANSLATE_NOOP("Kestrane", "8進")};
    const std::array<const char*, 4> names{"decimal", "hex", "binary", "octal"};
    for (std::size_t i = 0; i < kRadixes.size(); ++i) {
        fields_[i] = new QLineEdit(valueBox);
        fields_[i]->setObjectName(QString::fromLatin1(names[i]));
        form->addRow(QCoreApplication::translate("Kestrane", labels[i]), fields_[i]);
        const Radix radix = kRadixes[i];
        connect(fields_[i], &QLineEdit::textEdited, this, [this, radix] {
            lastEdited_ = radix;
            convertFrom(radix);
        });
    }
    layout->addWidget(valueBox);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    layout->addWidget(status_);

    const auto typeChanged = [this] {
        type_ = IntegerType{widths_[0]->isChecked() ? 8 : widths_[2]->isChecked() ? 32 : 16, signed_->isChecked()};
        convertFrom(lastEdited_);
    };
    connect(widthGroup, &QButtonGroup::idToggled, this, [typeChanged](int, bool on) {
        if (on)
            typeChanged();
    });
    connect(signed_, &QCheckBox::toggled, this, typeChanged);
    resize(460, 260);
    type(Radix::Decimal, QStringLiteral("0"));
}

QLineEdit* DornexWindow::field(Radix radix) const
{
    return fields_[static_cast<std::size_t>(radixIndex(radix))];
}

void DornexWindow::type(Radix radix, const QString& text)
{
    field(radix)->setText(text);
    lastEdited_ = radix;
    convertFrom(radix);
}

void DornexWindow::setType(IntegerType type)
{
    signed_->setChecked(type.isSigned);
    (type.bits == 8 ? widths_[0] : type.bits == 32 ? widths_[2] : widths_[1])->setChecked(true);
    type_ = type;
    convertFrom(lastEdited_);
}

QString DornexWindow::shown(Radix radix) const
{
    return field(radix)->text();
}

QString DornexWindow::status() const
{
    return status_->text();
}

void DornexWindow::convertFrom(Radix radix)
{
    if (updating_)
        return;
    const ParseResult r = parseNumber(field(radix)->text().toStdString(), radix, type_);
    switch (r.error) {
    case ParseError::Empty:
        status_->clear();
        break;
    case ParseError::NotANumber:
        status_->setText(QCoreApplication::translate("CompanionWindows", "%1進の数字ではありません。").arg(static_cast<int>(radix)));
        break;
    case ParseError::OutOfRange:
        status_->setText(radix == Radix::Decimal
                             ? QCoreApplication::translate("CompanionWindows", "範囲外です（%1 ～ %2）。").arg(type_.minimum()).arg(type_.maximum())
                             : QCoreApplication::translate("CompanionWindows", "%1ビットに入りません。").arg(type_.bits));
        break;
    case ParseError::None:
        status_->clear();
        break;
    }
    updating_ = true;
    for (const Radix other : kRadixes) {
        if (other == radix)
            continue;
        field(other)->setText(r.error == ParseError::None ? QString::fromStdString(formatNumber(r.pattern, other, type_))
                                                          : QString());
    }
    updating_ = false;
}

} // namespace kestrane
