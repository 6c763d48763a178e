// With English chosen, the windows show no Japanese: every dialog (built as the manuals picture
// it), the companions, and the main window's menus, status text and device field. Traffic bytes
// shown as data (the enumeration's text, the character table's cells) are not window texts.
#include "app/app_core.h"
#include "app/startup_sequence.h"
#include "app/ui/draw_app.h"
#include "app/ui/main_window.h"
#include "manual/dialog_pictures.h"
#include "records/settings_records.h"
#include "sending/ui/checksum_settings_dialog.h"
#include "support/temp_dir.h"
#include "widgets/language.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace kestrane {
namespace {

// Kana (hiragana, katakana), kanji, full-width forms and half-width katakana, the CJK marks.
bool hasJapanese(const QString& text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u <= 0x30ff) || (u >= 0x3400 && u <= 0x9fff) || (u >= 0xff00 && u <= 0xffef))
            return true;
    }
    return false;
}

// Every text a user reads in `w` and its children: titles, labels, buttons, group titles,
// list entries, placeholders, tool tips, menus.
QStringList visibleTexts(QWidget& w)
{
    QStringList texts{w.windowTitle(), w.toolTip()};
    for (QLabel* l : w.findChildren<QLabel*>())
        texts << l->text() << l->toolTip();
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>())
        texts << b->text() << b->toolTip();
    for (QGroupBox* g : w.findChildren<QGroupBox*>())
        texts << g->title();
    for (QComboBox* c : w.findChildren<QComboBox*>())
        for (int i = 0; i < c->count(); ++i)
            texts << c->itemText(i);
    for (QLineEdit* e : w.findChildren<QLineEdit*>())
        texts << e->placeholderText();
    for (QTabWidget* t : w.findChildren<QTabWidget*>())
        for (int i = 0; i < t->count(); ++i)
            texts << t->tabText(i);
    for (QAction* a : w.findChildren<QAction*>())
        texts << a->text();
    return texts;
}

// Our own entry, in both languages whatever the language: "Language / 言語" with "日本語".
bool bothLanguages(const QString& text)
{
    return text == QStringLiteral("Language / 言語") || text == QStringLiteral("日本語");
}

void expectNoJapanese(const QString& where, QWidget& w)
{
    for (const QString& t : visibleTexts(w))
        EXPECT_FALSE(hasJapanese(t) && !bothLanguages(t)) << where.toStdString() << ": " << t.toStdString();
}

struct RecordingView : StartupView {
    QStringList texts;
    void setGauge(int) override {}
    void setText(const QString& text) override { texts << text; }
    void pause(int) override {}
};

class English : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(installLanguage(*QCoreApplication::instance(), i18n::Language::English)); }
};

TEST_F(English, EveryDialogAndCompanionShowsNoJapanese)
{
    int seen = 0;
    for (const QString& id : manual::picturedWindows()) {
        if (id == QStringLiteral("main"))
            continue;
        EXPECT_TRUE(manual::withWindow(id, [&](QWidget& w) {
            ++seen;
            expectNoJapanese(id, w);
        })) << id.toStdString();
    }
    EXPECT_GE(seen, 25);  // every dialog of dialog_id:: and the three companions
}

// The checksum method is chosen by its shown name; in English the record still gets the method
// (what the settings file stores never depends on the language).
TEST_F(English, TheChecksumMethodChosenByItsEnglishNameIsStored)
{
    SettingsRecord record;
    record.checksumMethod = 0;
    TDialog24 dialog(record);
    auto* method = dialog.findChild<QComboBox*>(QStringLiteral("253"));
    ASSERT_NE(method, nullptr);
    ASSERT_EQ(method->count(), 3);
    EXPECT_EQ(method->itemText(1).toStdString(), "Sum of bytes");
    method->setCurrentIndex(1);
    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("201"));
    ASSERT_NE(ok, nullptr);
    ok->click();
    EXPECT_EQ(record.checksumMethod, 1);
}

TEST_F(English, TheSplashSaysEachStepInEnglish)
{
    test::TempDir dir;  // no settings files, COM1 does not open: every message of a first start
    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    RecordingView view;
    runStartupSteps(core, view, {});
    ASSERT_FALSE(view.texts.isEmpty());
    EXPECT_EQ(view.texts[1].toStdString(), "Quellorn.dat is missing.");
    for (const QString& t : view.texts)
        EXPECT_FALSE(hasJapanese(t)) << t.toStdString();
}

TEST_F(English, TheMainWindowsMenusStatusAndDeviceFieldShowNoJapanese)
{
    test::TempDir dir;
    AppCore core(dir.path(), [](int, OpenError&) { return std::unique_ptr<SerialPort>(); });
    TDrawApp app(core);
    app.initMainWindow(false);
    MainFrame* frame = app.frame();
    frame->show();
    frame->client()->setUp();
    QApplication::processEvents();
    QStringList menus;
    for (QAction* top : frame->menuBar()->actions())
        menus << top->text();
    EXPECT_EQ(menus.join(QLatin1Char('|')).toStdString(), "&File|&View|&Send|Se&ttings|Fast/Slow|&Help|Exit");
    expectNoJapanese(QStringLiteral("main"), *frame);
    for (QMenu* menu : frame->findChildren<QMenu*>())
        expectNoJapanese(menu->title(), *menu);
    frame->close();
}

} // namespace
} // namespace kestrane
