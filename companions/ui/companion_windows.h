// The windows of the three companion programs: checksum calculator (tolvek), character code
// table (glimra) and number converter (dornex). Thin: the arithmetic is in checksum_calc,
// code_table and number_convert.
#pragma once

#include "companions/number_convert.h"
#include "text/cp932.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTableWidget;

namespace kestrane {

class TolvekWindow : public QWidget {
    Q_OBJECT
public:
    explicit TolvekWindow(QWidget* parent = nullptr);

    // The typed text (as a user types it) and the results as shown.
    void setInput(const QString& text);
    void setAscForm(bool asc);
    [[nodiscard]] QString shown(const char* field) const;

private:
    void recompute();

    QLineEdit* input_ = nullptr;
    QRadioButton* hexForm_ = nullptr;
    QRadioButton* ascForm_ = nullptr;
    QRadioButton* oneByte_ = nullptr;
    QRadioButton* twoDigits_ = nullptr;
    QCheckBox* lowerCase_ = nullptr;
    QPlainTextEdit* data_ = nullptr;
    QLabel* count_ = nullptr;
    QLineEdit* xor_ = nullptr;
    QLineEdit* sum_ = nullptr;
    QLineEdit* crc_ = nullptr;
};

class GlimraWindow : public QWidget {
    Q_OBJECT
public:
    explicit GlimraWindow(QWidget* parent = nullptr);

    // Shows the page of a lead byte (0: the single-byte page).
    void showPage(std::uint8_t lead);
    [[nodiscard]] std::uint8_t page() const { return page_; }
    // A click on the cell of trail byte / byte `index`: copies its hex code (or opens a lead
    // byte's page); returns what was copied.
    QString clickCell(int index);

private:
    Cp932Text cp932_;
    std::uint8_t page_ = 0;
    QComboBox* pages_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
};

class DornexWindow : public QWidget {
    Q_OBJECT
public:
    explicit DornexWindow(QWidget* parent = nullptr);

    // Types `text` into the field of `radix`, as a user would.
    void type(Radix radix, const QString& text);
    void setType(IntegerType type);
    [[nodiscard]] QString shown(Radix radix) const;
    [[nodiscard]] QString status() const;

private:
    void convertFrom(Radix radix);
    QLineEdit* field(Radix radix) const;

    IntegerType type_{16, false};
    Radix lastEdited_ = Radix::Decimal;
    bool updating_ = false;
    std::array<QLineEdit*, 4> fields_{};
    std::array<QRadioButton*, 3> widths_{};
    QCheckBox* signed_ = nullptr;
    QLabel* status_ = nullptr;
};

} // namespace kestrane
