// The send dialogs driven through their controls (offscreen), with a recording transmit and
// scripted message boxes: 708, 701, 712, dialog 20 and the time-out question.
#include "sending/character_send.h"
#include "sending/send_buffer.h"
#include "sending/ui/character_send_dialog.h"
#include "sending/ui/control_character_dialog.h"
#include "sending/ui/fixed_string_dialog.h"
#include "sending/ui/send_preview_view.h"
#include "sending/ui/transmit_retry.h"
#include "support/controls.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace kestrane {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::child;

struct Message {
    std::string text;
    QMessageBox::StandardButtons buttons;
};

struct Sent {
    int channel;
    Bytes frame;
    bool operator==(const Sent&) const = default;
};

// The records the dialogs work on, a transmit that records and answers from a script, and
// message boxes that record and answer from a script.
class SendDialogs : public ::testing::Test {
protected:
    SendDialogServices services()
    {
        SendDialogServices s;
        s.settings = &settings;
        s.sendState = state.get();
        s.transmit = [this](int ch, std::span<const std::uint8_t> f) {
            sent.push_back({ch, Bytes(f.begin(), f.end())});
            if (onTransmit)
                onTransmit();
            if (results.empty())
                return TransmitResult::Transmitted;
            const int r = results.front();
            results.pop_front();
            return static_cast<TransmitResult>(r);
        };
        s.message = [this](const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon) {
            messages.push_back({text.toStdString(), buttons});
            if (answers.empty())
                return QMessageBox::Ok;
            const auto a = answers.front();
            answers.pop_front();
            return a;
        };
        s.manualAtPage = [this](int page) { pages.push_back(page); };
        s.startCharacterTable = [this] { return toolsPresent; };
        s.editFixedStrings = [this] { return toolsPresent; };
        s.startDirectory = dir.path();
        return s;
    }

    void click(QWidget* dialog, const char* id) { QTest::mouseClick(child<QPushButton>(dialog, id), Qt::LeftButton); }
    void type(CharacterSendDialog* d, const QString& text)
    {
        d->inputLine()->clear();
        QTest::keyClicks(d->inputLine(), text);
    }
    static QStringList items(QListWidget* list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    void TearDown() override
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QDialog*>(w))
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    test::TempDir dir;
    SettingsRecord settings;
    std::unique_ptr<SendState> state = std::make_unique<SendState>();
    SendDialogMemory memory;
    std::vector<Sent> sent;
    std::deque<int> results;
    std::function<void()> onTransmit;
    std::vector<Message> messages;
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<int> pages;
    bool toolsPresent = true;
};

// ---- the time-out question ----

TEST_F(SendDialogs, RetryAnswersEachResult)
{
    struct Case {
        std::vector<int> results;
        std::vector<QMessageBox::StandardButton> answers;
        int transmits;
        std::vector<std::string> texts;
        int last;
    };
    const std::string q = "送信時間切れです。もう一度送信しますか？";
    const Case cases[] = {
        {{0}, {}, 1, {}, 0},
        {{1}, {}, 1, {"送信出来ませんでした。"}, 1},
        {{3}, {}, 1, {"その他のエラー。"}, 3},
        {{-1}, {}, 1, {"その他のエラー。"}, -1},
        {{2}, {QMessageBox::No}, 1, {q}, 2},
        {{2, 0}, {QMessageBox::Yes}, 2, {q}, 0},
        {{2, 2, 1}, {QMessageBox::Yes, QMessageBox::Yes}, 3, {q, q, "送信出来ませんでした。"}, 1},
    };
    for (const Case& c : cases) {
        sent.clear();
        messages.clear();
        results.assign(c.results.begin(), c.results.end());
        answers.assign(c.answers.begin(), c.answers.end());
        const Bytes frame{0x02, 0x41, 0x03};
        EXPECT_EQ(static_cast<int>(transmitWithRetry(services().transmit, 2, frame, services().message)), c.last);
        ASSERT_EQ(static_cast<int>(sent.size()), c.transmits);
        for (const Sent& s : sent)
            EXPECT_EQ(s, (Sent{2, frame}));
        std::vector<std::string> texts;
        for (const Message& m : messages)
            texts.push_back(m.text);
        EXPECT_EQ(texts, c.texts);
        for (const Message& m : messages) {
            if (m.text == q) {
                EXPECT_EQ(m.buttons, QMessageBox::Yes | QMessageBox::No);
            }
        }
    }
}

TEST_F(SendDialogs, YesSendsTheFrameAsItWasEvenIfTheSendBufferChangedMeanwhile)
{
    state->sendBuffer.assign(Bytes{1, 2, 3});
    results = {2, 0};
    answers = {QMessageBox::Yes};
    // While the question is open a transfer tick refills the shared buffer.
    onTransmit = [this] { state->sendBuffer.assign(Bytes{9, 9}); };
    transmitWithRetry(services().transmit, 1, state->sendBuffer.frame(), services().message);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].frame, (Bytes{1, 2, 3}));
}

// ---- the preview of what a send puts on the line ----

// The preview's line for one button ("送信: 00 00 （2バイト）"), as the user reads it.
std::string previewLine(SendPreviewView* preview, const QString& label)
{
    for (const QString& line : preview->toPlainText().split(QLatin1Char('\n')))
        if (line.startsWith(label + QStringLiteral(": ")))
            return line.toStdString();
    return {};
}

std::string hexLine(const char* label, const Bytes& bytes)
{
    std::string out = std::string(label) + ":";
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        out += std::string(" ") + two;
    }
    return out + " （" + std::to_string(bytes.size()) + "バイト）";
}

// The pixels of the marking red in a widget.
int redPixels(QWidget* w)
{
    const QImage img = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            n += c.red() > 170 && c.green() < 90 && c.blue() < 90 ? 1 : 0;
        }
    return n;
}

TEST_F(SendDialogs, TheTypedLinesPreviewIsExactlyWhatEachButtonSends)
{
    auto* d = new TRsinputsend1(memory.typed, services());
    d->show();
    SendPreviewView* preview = d->preview();
    type(d, "hello");
    EXPECT_EQ(previewLine(preview, "送信"), hexLine("送信", {0x00, 0x00}));
    EXPECT_EQ(previewLine(preview, "ASC送信"), hexLine("ASC送信", {'h', 'e', 'l', 'l', 'o'}));
    EXPECT_NE(preview->toPlainText().indexOf(QStringLiteral("16進で読むと: hello")), -1);
    EXPECT_GT(redPixels(preview), 20);  // the misread bytes and characters are marked

    // The decoration as it is chosen, before anything is sent; then each button sends it.
    for (const char* check : {"301", "302", "303", "304"})
        child<QCheckBox>(d, check)->setChecked(true);
    child<QLineEdit>(d, "402")->setText("02");
    child<QLineEdit>(d, "403")->setText("03");
    child<QLineEdit>(d, "404")->setText("0D");
    type(d, "\"AB\"");
    EXPECT_EQ(redPixels(preview), 0);
    for (const auto& [button, label] : {std::pair{"201", "送信"}, std::pair{"216", "ASC送信"}}) {
        const std::string shown = previewLine(preview, QString::fromUtf8(label));
        click(d, button);
        EXPECT_EQ(shown, hexLine(label, sent.back().frame));
    }
    EXPECT_EQ(sent[0].frame, (Bytes{0x02, 0x41, 0x42, 0x03, 0x03, 0x0D}));

    // A checksum method changed elsewhere shows once the dialog is active again.
    settings.checksumMethod = kChecksumSum;
    QEvent activation(QEvent::ActivationChange);
    QApplication::sendEvent(d, &activation);
    const std::string shown = previewLine(preview, "送信");
    click(d, "201");
    EXPECT_EQ(sent.back().frame[4], 0x83);
    EXPECT_EQ(shown, hexLine("送信", sent.back().frame));
}

// The frame's characters changed after the line was typed: each change shows at once, in both
// dialogs that decorate, and is what the button then sends.
TEST_F(SendDialogs, ThePreviewFollowsEachFrameCharacterChangedAfterTheLine)
{
    const auto check = [this](CharacterSendDialog* d) {
        d->show();
        for (const char* on : {"301", "302", "304"})  // start, stop, end; no checksum
            child<QCheckBox>(d, on)->setChecked(true);
        child<QLineEdit>(d, "402")->setText("01");
        child<QLineEdit>(d, "403")->setText("01");
        child<QLineEdit>(d, "404")->setText("01");
        type(d, "41");
        EXPECT_EQ(previewLine(d->preview(), "送信"), hexLine("送信", {0x01, 0x41, 0x01, 0x01})) << d->objectName().toStdString();
        child<QLineEdit>(d, "402")->setText("02");
        EXPECT_EQ(previewLine(d->preview(), "送信"), hexLine("送信", {0x02, 0x41, 0x01, 0x01})) << "start";
        child<QLineEdit>(d, "403")->setText("03");
        EXPECT_EQ(previewLine(d->preview(), "送信"), hexLine("送信", {0x02, 0x41, 0x03, 0x01})) << "stop";
        child<QLineEdit>(d, "404")->setText("0D");
        const std::string shown = previewLine(d->preview(), "送信");
        EXPECT_EQ(shown, hexLine("送信", {0x02, 0x41, 0x03, 0x0D})) << "end";
        click(d, "201");
        EXPECT_EQ(shown, hexLine("送信", sent.back().frame));
        d->close();
    };
    check(new TRsinputsend1(memory.typed, services()));
    check(new TRsinputsend(memory.longString, services()));
    EXPECT_EQ(sent.size(), 2u);
}

TEST_F(SendDialogs, TheFixedStringPreviewShowsTheSelectedLine)
{
    test::writeFileBytes(dir / "mdata.txt", {'0', 'D', '0', 'A', '\r', '\n', 'O', 'K', '\r', '\n'});
    auto* d = new TRsinputsend2(services());
    d->show();
    EXPECT_TRUE(previewLine(d->preview(), "送信").empty());  // nothing selected, nothing to send
    d->list()->setCurrentRow(0);
    EXPECT_EQ(previewLine(d->preview(), "送信"), hexLine("送信", {0x0D, 0x0A}));
    EXPECT_EQ(previewLine(d->preview(), "ASCで送信"), hexLine("ASCで送信", {'0', 'D', '0', 'A'}));
    d->list()->setCurrentRow(1);
    EXPECT_EQ(previewLine(d->preview(), "送信"), hexLine("送信", {0x00}));
    click(d, "205");
    EXPECT_EQ(sent.back().frame, (Bytes{0x00}));
}

// ---- dialog 708 ----

TEST_F(SendDialogs, TheHistoryListFollowsEverySendAndAPickOnlyFillsTheLine)
{
    settings.sendEndCharOn = 1;
    setFixedText(settings.sendEndCharHex, "0D");
    auto* d = new TRsinputsend1(memory.typed, services());
    d->show();
    EXPECT_EQ(d->objectName(), "708");
    EXPECT_EQ(child<QLineEdit>(d, "404")->text(), "0D");
    EXPECT_TRUE(child<QCheckBox>(d, "304")->isChecked());

    type(d, "\"AB\"");
    click(d, "201");
    type(d, "\"AB\"");
    click(d, "216");  // ASC: the quotes are data; the same text keeps one entry
    type(d, "0D0A");
    results = {1};  // fails, yet joins the history
    QTest::keyClick(d->inputLine(), Qt::Key_Return);  // Enter sends in hex notation
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], (Sent{1, {0x41, 0x42, 0x0D}}));
    EXPECT_EQ(sent[1].frame, (Bytes{'"', 'A', 'B', '"', 0x0D}));
    EXPECT_EQ(sent[2].frame, (Bytes{0x0D, 0x0A, 0x0D}));
    EXPECT_EQ(items(d->historyList()), (QStringList{"0D0A", "\"AB\""}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "送信出来ませんでした。");

    d->historyList()->setCurrentRow(1);
    EXPECT_EQ(d->inputLine()->text(), "\"AB\"");
    EXPECT_EQ(sent.size(), 3u);

    // No to the time-out question leaves the dialog open and the settings updated.
    child<QCheckBox>(d, "301")->setChecked(true);
    results = {2};
    answers = {QMessageBox::No};
    click(d, "201");
    EXPECT_EQ(sent.size(), 4u);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(settings.sendStartCharOn, 1);

    // The history belongs to the kind: a second 708 shows it, a 701 does not.
    auto* again = new TRsinputsend1(memory.typed, services());
    EXPECT_EQ(items(again->historyList()), (QStringList{"0D0A", "\"AB\""}));
    auto* other = new TRsinputsend(memory.longString, services());
    EXPECT_EQ(other->historyList()->count(), 0);
    again->close();
    other->close();
}

// A list that gets focus makes its first row current without selecting it: no choice, no pick.
TEST_F(SendDialogs, FocusAloneNeverPicksAnEntry)
{
    const auto focusByTab = [](QWidget* d, QWidget* from, QWidget* to) {
        QApplication::setActiveWindow(d);
        EXPECT_TRUE(QTest::qWaitForWindowActive(d));
        from->setFocus();
        for (int i = 0; i < 10 && QApplication::focusWidget() != to; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), to);
    };
    auto* typed = new TRsinputsend1(memory.typed, services());
    typed->show();
    type(typed, "41");
    click(typed, "201");
    type(typed, "4243");
    focusByTab(typed, typed->inputLine(), typed->historyList());
    QTest::keyClick(typed->historyList(), Qt::Key_Return);  // the default button sends the line
    EXPECT_EQ(typed->inputLine()->text(), "4243");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent.back().frame, (Bytes{0x42, 0x43}));
    QTest::keyClick(typed->historyList(), Qt::Key_Down);  // a selection moved by the keyboard picks
    ASSERT_FALSE(typed->historyList()->selectedItems().isEmpty());
    EXPECT_EQ(typed->inputLine()->text(), typed->historyList()->selectedItems().front()->text());
    typed->close();

    test::writeFileBytes(dir / "mdata.txt", {'0', 'D', '\r', '\n', '0', 'A', '\r', '\n'});
    auto* longString = new TRsinputsend(memory.longString, services());
    longString->show();
    type(longString, "7E");
    focusByTab(longString, longString->inputLine(), longString->fixedList());
    EXPECT_EQ(longString->inputLine()->text(), "7E");
    longString->close();

    auto* fixed = new TRsinputsend2(services());
    fixed->show();
    focusByTab(fixed, child<QPushButton>(fixed, "205"), fixed->list());
    click(fixed, "205");
    EXPECT_EQ(sent.size(), 2u);  // no line selected: nothing sent
    // Tab goes down the button column as drawn: help before close.
    focusByTab(fixed, child<QPushButton>(fixed, "216"), child<QPushButton>(fixed, "203"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), child<QPushButton>(fixed, "202"));
}

TEST_F(SendDialogs, ChannelButtonsFollowCh2Use)
{
    settings.ch2Mode = Ch2Mode::NotUsed;
    auto* d = new TRsinputsend1(memory.typed, services());
    EXPECT_FALSE(child<QRadioButton>(d, "501")->isEnabled());
    EXPECT_FALSE(child<QRadioButton>(d, "502")->isEnabled());
    EXPECT_TRUE(child<QRadioButton>(d, "501")->isChecked());
    type(d, "41");
    click(d, "201");
    EXPECT_EQ(sent.back().channel, 1);
    d->close();

    settings.ch2Mode = Ch2Mode::Independent;
    d = new TRsinputsend1(memory.typed, services());
    EXPECT_TRUE(child<QRadioButton>(d, "502")->isEnabled());
    child<QRadioButton>(d, "502")->setChecked(true);
    type(d, "41");
    click(d, "216");
    EXPECT_EQ(sent.back(), (Sent{2, {'4', '1'}}));
    d->close();
    // Each opening selects CH1 again.
    d = new TRsinputsend1(memory.typed, services());
    EXPECT_TRUE(child<QRadioButton>(d, "501")->isChecked());
}

TEST_F(SendDialogs, ClosingWithoutSendingStoresTheChoicesForBothKinds)
{
    for (int kind = 0; kind < 2; ++kind) {
        settings = SettingsRecord{};
        CharacterSendDialog* d = kind == 0 ? static_cast<CharacterSendDialog*>(new TRsinputsend1(memory.typed, services()))
                                           : new TRsinputsend(memory.longString, services());
        d->show();
        child<QCheckBox>(d, "301")->setChecked(true);
        child<QCheckBox>(d, "302")->setChecked(true);
        child<QLineEdit>(d, "403")->setText("1b");
        QPointer<QWidget> alive(d);
        click(d, kind == 0 ? "202" : "219");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(alive.isNull()) << kind;  // closing destroys the dialog
        EXPECT_EQ(settings.sendStartCharOn, 1) << kind;
        EXPECT_EQ(settings.sendStopCharOn, 1);
        EXPECT_EQ(fixedText(settings.sendStopCharHex), "1b");
        EXPECT_TRUE(sent.empty());
    }
}

TEST_F(SendDialogs, ButtonsOfEachKind)
{
    toolsPresent = false;
    auto* typed = new TRsinputsend1(memory.typed, services());
    click(typed, "203");
    EXPECT_EQ(pages, std::vector<int>{37});
    click(typed, "204");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "glimra.exeが見つかりませんでした。");
    EXPECT_EQ(typed->findChild<QPushButton*>("226"), nullptr);

    auto* longer = new TRsinputsend(memory.longString, services());
    EXPECT_EQ(longer->findChild<QPushButton*>("203"), nullptr);  // no help button
    EXPECT_EQ(child<QCheckBox>(longer, "303")->text(), "ﾁｪｯｸ");
    EXPECT_NE(longer->findChild<QPushButton*>("226"), nullptr);
    EXPECT_GT(longer->inputLine()->minimumWidth(), typed->inputLine()->minimumWidth());
}

TEST_F(SendDialogs, TheInputLineTakes511BytesOfShiftJis)
{
    auto* d = new TRsinputsend1(memory.typed, services());
    d->inputLine()->setText(QString(511, QLatin1Char('a')));
    EXPECT_EQ(d->inputLine()->text().size(), 511);
    d->inputLine()->clear();
    // 300 kana of two bytes each would be 600 bytes: typing stops at 255 of them.
    for (int i = 0; i < 300; ++i)
        QTest::sendKeyEvent(QTest::Click, d->inputLine(), Qt::Key_unknown, QString(QChar(0x3042)), Qt::NoModifier);
    EXPECT_EQ(d->inputLine()->text().size(), 255);
    click(d, "216");
    EXPECT_EQ(sent.back().frame.size(), 510u);
}

// ---- dialog 701 ----

TEST_F(SendDialogs, LongStringPicksAFixedStringAndSendsItDecorated)
{
    test::writeFileBytes(dir / "mdata.txt", {'0', 'D', '0', 'A', '\r', '\n', 0x83, 0x65, '\r', '\n'});
    settings.sendEndCharOn = 1;
    setFixedText(settings.sendEndCharHex, "03");
    auto* d = new TRsinputsend(memory.longString, services());
    d->show();
    EXPECT_EQ(d->objectName(), "701");
    ASSERT_EQ(items(d->fixedList()), (QStringList{"0D0A", QString::fromUtf8("テ")}));
    d->fixedList()->setCurrentRow(0);
    EXPECT_EQ(d->inputLine()->text(), "0D0A");
    click(d, "216");
    EXPECT_EQ(sent.back().frame, (Bytes{'0', 'D', '0', 'A', 0x03}));
    click(d, "201");
    EXPECT_EQ(sent.back().frame, (Bytes{0x0D, 0x0A, 0x03}));
    d->fixedList()->setCurrentRow(1);
    click(d, "216");
    EXPECT_EQ(sent.back().frame, (Bytes{0x83, 0x65, 0x03}));  // Shift-JIS byte for byte
    EXPECT_EQ(items(d->historyList()).size(), 2);
}

// ---- dialog 712 ----

TEST_F(SendDialogs, FixedStringsGoOutUndecoratedOnTheChosenChannel)
{
    test::writeFileBytes(dir / "mdata.txt", {'0', 'D', '0', 'A', '\r', '\n', '\r', '\n', '"', 'x', '"', '\r', '\n'});
    settings.sendStartCharOn = 1;  // never used here
    settings.ch2Mode = Ch2Mode::Independent;
    auto* d = new TRsinputsend2(services());
    d->show();
    ASSERT_EQ(items(d->list()), (QStringList{"0D0A", "", "\"x\""}));

    click(d, "205");  // nothing selected yet: nothing sent
    EXPECT_TRUE(sent.empty());

    d->list()->setCurrentRow(0);
    EXPECT_EQ(state->sendText.view(), "0D0A");
    EXPECT_TRUE(sent.empty());
    click(d, "205");
    EXPECT_EQ(sent.back(), (Sent{1, {0x0D, 0x0A}}));
    click(d, "217");
    EXPECT_EQ(sent.back().frame, (Bytes{'0', 'D', '0', 'A'}));

    child<QRadioButton>(d, "502")->setChecked(true);
    d->list()->setCurrentRow(2);
    state->sendText.assign("other");  // another sender used the send text meanwhile
    click(d, "205");
    EXPECT_EQ(sent.back(), (Sent{2, {'x'}}));

    d->list()->setCurrentRow(1);  // the blank line writes nothing
    click(d, "217");
    EXPECT_TRUE(sent.back().frame.empty());

}

TEST_F(SendDialogs, FixedStringDialogHelpEditAndAMissingFile)
{
    toolsPresent = false;
    auto* d = new TRsinputsend2(services());
    EXPECT_EQ(d->list()->count(), 0);
    EXPECT_FALSE(child<QRadioButton>(d, "502")->isEnabled());
    click(d, "203");
    EXPECT_EQ(pages, std::vector<int>{39});
    click(d, "216");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "notepad.exeが見つかりませんでした。");
    // An open dialog keeps its lines; the next one reads the file again.
    test::writeFileBytes(dir / "mdata.txt", {'a', '\r', '\n'});
    EXPECT_EQ(d->list()->count(), 0);
    auto* next = new TRsinputsend2(services());
    EXPECT_EQ(next->list()->count(), 1);
    next->close();
}

// ---- dialog 20 ----

TEST_F(SendDialogs, EachControlButtonSendsItsByte)
{
    settings.ch2Mode = Ch2Mode::MonitorT;
    auto* d = new TDialog20(services());
    d->show();
    EXPECT_EQ(d->windowTitle(), "制御文字送信");
    for (int k = 0; k < TDialog20::kButtons; ++k) {
        auto* b = child<QPushButton>(d, QString::number(1001 + k).toLatin1().constData());
        EXPECT_EQ(b->text(), QString::fromLatin1(TDialog20::label(k)));
        QTest::mouseClick(b, Qt::LeftButton);
        ASSERT_EQ(sent.size(), static_cast<std::size_t>(k + 1));
        EXPECT_EQ(sent.back(), (Sent{1, {static_cast<std::uint8_t>(k)}}));
    }
    EXPECT_EQ(child<QPushButton>(d, "1014")->text(), "CR");
    EXPECT_EQ(child<QPushButton>(d, "1017")->text(), "DIE");
    child<QRadioButton>(d, "102")->setChecked(true);
    click(d, "1014");
    EXPECT_EQ(sent.back(), (Sent{2, {0x0D}}));
    results = {2, 0};
    answers = {QMessageBox::Yes};
    click(d, "1003");
    EXPECT_EQ(sent.back(), (Sent{2, {0x02}}));
    EXPECT_EQ(sent[sent.size() - 2], (Sent{2, {0x02}}));
}

} // namespace
} // namespace kestrane
