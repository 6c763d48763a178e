#include "app/menu_tree.h"

#include "app/command_ids.h"

namespace kestrane {

namespace {

MenuEntry item(int id, const char* label) { return MenuEntry{MenuEntry::Command, id, label, {}}; }
MenuEntry sep() { return MenuEntry{MenuEntry::Separator, 0, "", {}}; }
MenuEntry sub(const char* label, std::vector<MenuEntry> items)
{
    return MenuEntry{MenuEntry::Submenu, 0, label, std::move(items)};
}

std::vector<MenuEntry> buildTree()
{
    return {
        sub("ﾌｧｲﾙ(&F)", {item(cmd::NewLog, "新規作成(&N)"), item(cmd::OpenLog, "開く(&O)"), item(cmd::SaveLog, "上書き保存(&S)"),
                         item(cmd::SaveLogAs, "名前を付けて保存(&A)"),
                         item(cmd::SaveCapture, "pcapng形式で保存(&W)..."), sep(), item(cmd::SaveSampling, "サンプリング保存(&V)"), sep(),
                         item(cmd::PageSetup, "ﾍﾟｰｼﾞ設定(&I)"), item(cmd::Print, "印刷(&P)"), sep(), item(cmd::Exit, "終了(&X)")}),
        sub("表示(&V)", {item(cmd::FirstLine, "最初の行へ(&F)"), item(cmd::LastLine, "最後の行へ(&B)"), item(cmd::Search, "検索(&H)"), sep(),
                        item(cmd::Redisplay, "再表示(R)"), item(cmd::ClearDisplay, "表示ｸﾘｱ(&C)"), item(cmd::DisplaySettings, "表示切替(&L)"),
                        item(cmd::TimeChart, "TimeChart(Ｔ)"),
                        sub("表示倍率(&Z)", {item(cmd::Zoom100, "100 %(&1)"), item(cmd::Zoom150, "150 %(&5)"),
                                             item(cmd::Zoom200, "200 %(&2)")}),
                        sep(), item(cmd::ChecksumTool, "ﾁｪｯｸｻﾑ(C)"), item(cmd::CharacterTableTool, "ASCII(A)"),
                        item(cmd::NumberConverterTool, "数値変換(&I)"), sep(), item(cmd::SamplingView, "サンプリング(&S)"),
                        item(cmd::LineEvents, "回線イベント(&E)")}),
        sub("送信(&S)", {item(cmd::SendTyped, "入力文字送信(&A)"), item(cmd::SendFixed, "設定文字送信(B)"), item(cmd::SendControl, "制御文字送信(&D)"),
                        item(cmd::SendLong, "ロング文字送信(C)"), item(cmd::RunMacro, "Macro実行(&M)"),
                        sub("Txtﾌｧｲﾙ転送(&F)", {item(cmd::TextTransferCh2, "CH2(&S)"), item(cmd::TextTransferCh1, "CH1(&F)")}),
                        item(cmd::IoMonitor, "IO Moniter(&O)")}),
        sub("環境設定(&K)",
            {item(cmd::ComPortSettings, "ComPort設定(&C)"), sep(),
             sub("Serial設定(&S)", {item(cmd::SerialSettingsCh2, "CH2(&T)"), item(cmd::SerialSettingsCh1, "CH1(&O)")}),
             sub("DCB設定(&B)", {item(cmd::DcbSettingsCh2, "CH2(&T)"), item(cmd::DcbSettingsCh1, "CH1(&O)")}),
             sub("状態表示(&H)", {item(cmd::LineStatusBoth, "CH1/2(&L)"), item(cmd::LineStatusCh2, "CH2(&T)"), item(cmd::LineStatusCh1, "CH1(&O)")}), sep(),
             item(cmd::DioPortSettings, "DioPort設定(&D)"), sep(), item(cmd::EditFixedStrings, "固定文字設定(&Ｔ)"), item(cmd::NewMacro, "Macro新規(N)"),
             item(cmd::EditMacro, "Macro編集(&M)"), sep(), item(cmd::AutoLogSettings, "自動ロギング設定(&L)"),
             item(cmd::AutoLogCaptures, "自動ロギングでpcapngも保存(&W)"), item(cmd::SamplingSettings, "サンプリング設定(P)"),
             sep(), item(cmd::ChecksumSettings, "チェックサム設定(&E)"), item(cmd::OtherSettings, "その他設定(&I)"),
             sub("画面設定(&Ｇ)", {item(cmd::PlSettings, "表示設定(&I)"), item(cmd::StartupSizeSettings, "起動時設定(&Z)")})}),
        item(cmd::ToggleSpeed, "表示切替"),
        sub("ﾍﾙﾌﾟ(&H)", {item(cmd::Help, "ﾍﾙﾌﾟ(&W)"), sep(), item(cmd::About, "このソフトについて(&S)")}),
        item(cmd::Exit, "終了"),
    };
}

} // namespace

const std::vector<MenuEntry>& mainMenuTree()
{
    static const std::vector<MenuEntry> tree = buildTree();
    return tree;
}

} // namespace kestrane
