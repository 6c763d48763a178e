// Dialog 724 "チェックサム設定": what OK stores, and the dialog driven through its controls.
#include "sending/checksum_settings.h"
#include "sending/ui/checksum_settings_dialog.h"
#include "sending/send_buffer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QLineEdit>
#include <QTimer>
#include <QtTest/QTest>

#include <memory>

namespace kestrane {
namespace {

// ---- what OK computes, without widgets ----

TEST(ChecksumDialogChoice, MethodOnlyFromAnExactEntry)
{
    struct Case {
        const char* text;
        std::int32_t expected;  // method after OK, starting from 1
    };
    const Case cases[] = {
        {"Byte単位でXOR", 0},
        {"Byte単位で加算", 1},
        {"CRC16", 2},
        {"crc16", 1},           // case matters
        {"CRC16 ", 1},          // so does length
        {"CRC1", 1},
        {"Byte単位で", 1},
        {"", 1},
        {"Byte単位でxor", 1},
    };
    for (const Case& c : cases) {
        SettingsRecord settings;
        settings.checksumMethod = 1;
        applyChecksumDialog(settings, {c.text, false, false});
        EXPECT_EQ(settings.checksumMethod, c.expected) << c.text;
    }
}

TEST(ChecksumDialogChoice, OutputFormFromTheCheckedButton)
{
    SettingsRecord settings;
    settings.checksumOutputForm = 7;  // an odd stored value survives when nothing is checked
    applyChecksumDialog(settings, {"", false, false});
    EXPECT_EQ(settings.checksumOutputForm, 7);
    applyChecksumDialog(settings, {"", false, true});
    EXPECT_EQ(settings.checksumOutputForm, kChecksumTwoDigits);
    applyChecksumDialog(settings, {"", true, false});
    EXPECT_EQ(settings.checksumOutputForm, kChecksumOneByte);
}

TEST(ChecksumDialogChoice, TouchesNothingElse)
{
    SettingsRecord settings;
    settings.checksumLowerCase = 1;
    settings.sendChecksumOn = 1;
    SettingsRecord expected = settings;
    expected.checksumMethod = kChecksumCrc16;
    expected.checksumOutputForm = kChecksumTwoDigits;
    applyChecksumDialog(settings, {"CRC16", false, true});
    EXPECT_EQ(settings, expected);
}

// ---- the dialog ----

class ChecksumDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "checksum_settings_dialog_test";
            static char* argv[] = {name, nullptr};
            app_ = std::make_unique<QApplication>(argc, argv);
        }
    }
    static void TearDownTestSuite() { app_.reset(); }

    template <typename T>
    static T* control(const QWidget& dialog, const char* id)
    {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(id));
        EXPECT_NE(widget, nullptr) << "control " << id;
        return widget;
    }

    static void pressOk(const QWidget& dialog)
    {
        if (auto* ok = control<QPushButton>(dialog, "201"))
            ok->click();
    }

    inline static std::unique_ptr<QApplication> app_;
};

TEST_F(ChecksumDialogTest, OpeningShowsTheSettings)
{
    SettingsRecord settings;
    settings.checksumMethod = kChecksumSum;
    settings.checksumOutputForm = kChecksumTwoDigits;
    TDialog24 dialog(settings);

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("チェックサム設定"));
    EXPECT_EQ(control<QGroupBox>(dialog, "366")->title(), QStringLiteral("出力の文字形式"));
    EXPECT_EQ(control<QGroupBox>(dialog, "365")->title(), QStringLiteral("計算方法"));
    EXPECT_EQ(control<QRadioButton>(dialog, "501")->text(), QStringLiteral("HEXで１文字"));
    EXPECT_EQ(control<QRadioButton>(dialog, "502")->text(), QStringLiteral("ASCで２文字"));
    EXPECT_EQ(control<QPushButton>(dialog, "201")->text(), QStringLiteral("OK"));

    auto* combo = control<QComboBox>(dialog, "253");
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Byte単位でXOR"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Byte単位で加算"));
    EXPECT_EQ(combo->itemText(2), QStringLiteral("CRC16"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Byte単位で加算"));

    EXPECT_FALSE(control<QRadioButton>(dialog, "501")->isChecked());
    EXPECT_TRUE(control<QRadioButton>(dialog, "502")->isChecked());
}

TEST_F(ChecksumDialogTest, OpeningWithOneByteFormAndCrc)
{
    SettingsRecord settings;
    settings.checksumMethod = kChecksumCrc16;
    settings.checksumOutputForm = kChecksumOneByte;
    TDialog24 dialog(settings);
    EXPECT_EQ(control<QComboBox>(dialog, "253")->currentText(), QStringLiteral("CRC16"));
    EXPECT_TRUE(control<QRadioButton>(dialog, "501")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(dialog, "502")->isChecked());
}

TEST_F(ChecksumDialogTest, UnknownStoredValuesSurviveOk)
{
    SettingsRecord settings;
    settings.checksumMethod = 5;
    settings.checksumOutputForm = 3;
    TDialog24 dialog(settings);
    EXPECT_TRUE(control<QComboBox>(dialog, "253")->currentText().isEmpty());
    EXPECT_FALSE(control<QRadioButton>(dialog, "501")->isChecked());
    EXPECT_FALSE(control<QRadioButton>(dialog, "502")->isChecked());
    pressOk(dialog);
    EXPECT_EQ(settings.checksumMethod, 5);
    EXPECT_EQ(settings.checksumOutputForm, 3);
}

TEST_F(ChecksumDialogTest, EditedTextMatchingNoEntryKeepsTheMethod)
{
    SettingsRecord settings;
    settings.checksumMethod = kChecksumSum;
    TDialog24 dialog(settings);
    auto* combo = control<QComboBox>(dialog, "253");
    ASSERT_NE(combo, nullptr);
    combo->setEditText(QStringLiteral("CRC-16"));
    pressOk(dialog);
    EXPECT_EQ(settings.checksumMethod, kChecksumSum);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(ChecksumDialogTest, TypedCrc16SetsMethod2)
{
    SettingsRecord settings;
    TDialog24 dialog(settings);
    control<QComboBox>(dialog, "253")->setEditText(QStringLiteral("CRC16"));
    pressOk(dialog);
    EXPECT_EQ(settings.checksumMethod, kChecksumCrc16);
}

TEST_F(ChecksumDialogTest, EnterInTheComboActsAsOk)
{
    SettingsRecord settings;
    settings.checksumMethod = kChecksumSum;
    TDialog24 dialog(settings);
    dialog.show();
    auto* combo = control<QComboBox>(dialog, "253");
    ASSERT_NE(combo, nullptr);
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("CRC-16"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(settings.checksumMethod, kChecksumSum);
    EXPECT_EQ(combo->count(), 3);  // the typed text did not become an entry
}

TEST_F(ChecksumDialogTest, PickedEntrySetsItsMethod)
{
    SettingsRecord settings;
    settings.checksumMethod = kChecksumCrc16;
    TDialog24 dialog(settings);
    control<QComboBox>(dialog, "253")->setCurrentIndex(0);
    pressOk(dialog);
    EXPECT_EQ(settings.checksumMethod, kChecksumXor);
}

TEST_F(ChecksumDialogTest, RadioButtonsSetTheOutputForm)
{
    SettingsRecord settings;
    {
        TDialog24 dialog(settings);
        control<QRadioButton>(dialog, "502")->setChecked(true);
        EXPECT_FALSE(control<QRadioButton>(dialog, "501")->isChecked());
        pressOk(dialog);
        EXPECT_EQ(settings.checksumOutputForm, kChecksumTwoDigits);
    }
    {
        TDialog24 dialog(settings);
        control<QRadioButton>(dialog, "501")->setChecked(true);
        pressOk(dialog);
        EXPECT_EQ(settings.checksumOutputForm, kChecksumOneByte);
    }
}

TEST_F(ChecksumDialogTest, ClosingByTheFrameKeepsTheOldValues)
{
    SettingsRecord settings;
    settings.checksumMethod = kChecksumXor;
    settings.checksumOutputForm = kChecksumOneByte;
    const SettingsRecord before = settings;
    TDialog24 dialog(settings);
    dialog.show();
    control<QComboBox>(dialog, "253")->setCurrentIndex(2);
    control<QRadioButton>(dialog, "502")->setChecked(true);
    dialog.close();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(settings, before);
}

TEST_F(ChecksumDialogTest, RunsModallyUntilOk)
{
    SettingsRecord settings;
    settings.checksumMethod = kChecksumXor;
    bool sawModal = false;
    bool closedByOk = false;
    QTimer::singleShot(0, [&sawModal, &closedByOk] {
        TDialog24* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<TDialog24*>(w); d != nullptr && d->isVisible())
                dialog = d;
        if (dialog == nullptr)
            return;
        sawModal = QApplication::activeModalWidget() == dialog;
        dialog->findChild<QComboBox*>(QStringLiteral("253"))->setCurrentIndex(kChecksumSum);
        dialog->findChild<QPushButton*>(QStringLiteral("201"))->click();
        closedByOk = !dialog->isVisible();
        dialog->reject();  // never leave the test waiting in exec()
    });
    runChecksumSettingsDialog(settings, nullptr);
    EXPECT_TRUE(sawModal);
    EXPECT_TRUE(closedByOk);
    EXPECT_EQ(settings.checksumMethod, kChecksumSum);
}

} // namespace
} // namespace kestrane
