#include "app/menu_tree.h"

#include "app/command_ids.h"

#include <QtGlobal>

namespace kestrane {

namespace {

// The labels are the Japanese texts as shown; the window shows each through Qt's translation
// (context "Menu"), so English follows the language chosen at the start.

MenuEntry item(int id, const char* label) { return MenuEntry{MenuEntry::Command, id, label, {}}; }
MenuEntry sep() { return MenuEntry{MenuEntry::Separator, 0, "", {}}; }
MenuEntry sub(const char* label, std::vector<MenuEntry> items)
{
    return MenuEntry{MenuEntry::Submenu, 0, label, std::move(items)};
}

std::vector<MenuEntry> buildTree()
{
    return {
        sub(QT_TRANSLATE_NOOP("Menu", "ﾌｧｲﾙ(&F)"),
            {item(cmd::NewLog, QT_TRANSLATE_NOOP("Menu", "新規作成(&N)")),
             item(cmd::OpenLog, QT_TRANSLATE_NOOP("Menu", "開く(&O)")),
             item(cmd::SaveLog, QT_TRANSLATE_NOOP("Menu", "上書き保存(&S)")),
             item(cmd::SaveLogAs, QT_TRANSLATE_NOOP("Menu", "名前を付けて保存(&A)")),
              item(cmd::SaveCapture, QT_TRANSLATE_NOOP("Menu", "pcapng形式で保存(&W)...")), sep(),
             item(cmd::SaveSampling, QT_TRANSLATE_NOOP("Menu", "サンプリング保存(&V)")), sep(),
             item(cmd::PageSetup, QT_TRANSLATE_NOOP("Menu", "ﾍﾟｰｼﾞ設定(&I)")),
             item(cmd::Print, QT_TRANSLATE_NOOP("Menu", "印刷(&P)")), sep(),
             item(cmd::Exit, QT_TRANSLATE_NOOP("Menu", "終了(&X)"))}),
        sub(QT_TRANSLATE_NOOP("Menu", "表示(&V)"),
            {item(cmd::FirstLine, QT_TRANSLATE_NOOP("Menu", "最初の行へ(&F)")),
             item(cmd::LastLine, QT_TRANSLATE_NOOP("Menu", "最後の行へ(&B)")),
             item(cmd::Search, QT_TRANSLATE_NOOP("Menu", "検索(&H)")), sep(),
             item(cmd::Redisplay, QT_TRANSLATE_NOOP("Menu", "再表示(R)")),
             item(cmd::ClearDisplay, QT_TRANSLATE_NOOP("Menu", "表示ｸﾘｱ(&C)")),
             item(cmd::DisplaySettings, QT_TRANSLATE_NOOP("Menu", "表示切替(&L)")),
             item(cmd::TimeChart, QT_TRANSLATE_NOOP("Menu", "TimeChart(Ｔ)")),
             sub(QT_TRANSLATE_NOOP("Menu", "表示倍率(&Z)"),
                 {item(cmd::Zoom100, "100 %(&1)"), item(cmd::Zoom150, "150 %(&5)"), item(cmd::Zoom200, "200 %(&2)")}),
             sep(), item(cmd::ChecksumTool, QT_TRANSLATE_NOOP("Menu", "ﾁｪｯｸｻﾑ(C)")),
             item(cmd::CharacterTableTool, "ASCII(A)"),
             item(cmd::NumberConverterTool, QT_TRANSLATE_NOOP("Menu", "数値変換(&I)")), sep(),
             item(cmd::SamplingView, QT_TRANSLATE_NOOP("Menu", "サンプリング(&S)")),
              item(cmd::LineEvents, QT_TRANSLATE_NOOP("Menu", "回線イベント(&E)"))}),
        sub(QT_TRANSLATE_NOOP("Menu", "送信(&S)"),
            {item(cmd::SendTyped, QT_TRANSLATE_NOOP("Menu", "入力文字送信(&A)")),
             item(cmd::SendFixed, QT_TRANSLATE_NOOP("Menu", "設定文字送信(B)")),
             item(cmd::SendControl, QT_TRANSLATE_NOOP("Menu", "制御文字送信(&D)")),
             item(cmd::SendLong, QT_TRANSLATE_NOOP("Menu", "ロング文字送信(C)")),
             item(cmd::RunMacro, QT_TRANSLATE_NOOP("Menu", "Macro実行(&M)")),
             sub(QT_TRANSLATE_NOOP("Menu", "Txtﾌｧｲﾙ転送(&F)"),
                 {item(cmd::TextTransferCh2, "CH2(&S)"), item(cmd::TextTransferCh1, "CH1(&F)")}),
             item(cmd::IoMonitor, "IO Moniter(&O)")}),
        sub(QT_TRANSLATE_NOOP("Menu", "環境設定(&K)"),
            {item(cmd::ComPortSettings, QT_TRANSLATE_NOOP("Menu", "ComPort設定(&C)")), sep(),
             sub(QT_TRANSLATE_NOOP("Menu", "Serial設定(&S)"),
                 {item(cmd::SerialSettingsCh2, "CH2(&T)"), item(cmd::SerialSettingsCh1, "CH1(&O)")}),
             sub(QT_TRANSLATE_NOOP("Menu", "DCB設定(&B)"),
                 {item(cmd::DcbSettingsCh2, "CH2(&T)"), item(cmd::DcbSettingsCh1, "CH1(&O)")}),
             sub(QT_TRANSLATE_NOOP("Menu", "状態表示(&H)"),
                 {item(cmd::LineStatusBoth, "CH1/2(&L)"), item(cmd::LineStatusCh2, "CH2(&T)"),
                  item(cmd::LineStatusCh1, "CH1(&O)")}),
             sep(), item(cmd::DioPortSettings, QT_TRANSLATE_NOOP("Menu", "DioPort設定(&D)")), sep(),
             item(cmd::EditFixedStrings, QT_TRANSLATE_NOOP("Menu", "固定文字設定(&Ｔ)")),
             item(cmd::NewMacro, QT_TRANSLATE_NOOP("Menu", "Macro新規(N)")),
             item(cmd::EditMacro, QT_TRANSLATE_NOOP("Menu", "Macro編集(&M)")), sep(),
             item(cmd::AutoLogSettings, QT_TRANSLATE_NOOP("Menu", "自動ロギング設定(&L)")),
              item(cmd::AutoLogCaptures, QT_TRANSLATE_NOOP("Menu", "自動ロギングでpcapngも保存(&W)")),
             item(cmd::SamplingSettings, QT_TRANSLATE_NOOP("Menu", "サンプリング設定(P)")), sep(),
             item(cmd::ChecksumSettings, QT_TRANSLATE_NOOP("Menu", "チェックサム設定(&E)")),
             item(cmd::OtherSettings, QT_TRANSLATE_NOOP("Menu", "その他設定(&I)")),
             sub(QT_TRANSLATE_NOOP("Menu", "画面設定(&Ｇ)"),
                 {item(cmd::PlSettings, QT_TRANSLATE_NOOP("Menu", "表示設定(&I)")),
                  item(cmd::StartupSizeSettings, QT_TRANSLATE_NOOP("Menu", "起動時設定(&Z)"))}),
             // Ours, in both languages at once, so it is found whichever one is shown.
             sep(),
             sub("Language / 言語", {item(cmd::LanguageJapanese, "日本語"), item(cmd::LanguageEnglish, "English")})}),
        item(cmd::ToggleSpeed, QT_TRANSLATE_NOOP("Menu", "表示切替")),
        sub(QT_TRANSLATE_NOOP("Menu", "ﾍﾙﾌﾟ(&H)"),
            {item(cmd::Help, QT_TRANSLATE_NOOP("Menu", "ﾍﾙﾌﾟ(&W)")), sep(),
             item(cmd::About, QT_TRANSLATE_NOOP("Menu", "このソフトについて(&S)"))}),
        item(cmd::Exit, QT_TRANSLATE_NOOP("Menu", "終了")),
    };
}

} // namespace

const std::vector<MenuEntry>& mainMenuTree()
{
    static const std::vector<MenuEntry> tree = buildTree();
    return tree;
}

} // namespace kestrane
