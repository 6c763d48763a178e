#include "app/menu_tree.h"

namespace kestrane {

namespace {

MenuEntry cmd(int id, const char* label) { return MenuEntry{MenuEntry::Command, id, label, {}}; }
MenuEntry sep() { return MenuEntry{MenuEntry::Separator, 0, "", {}}; }
MenuEntry sub(const char* label, std::vector<MenuEntry> items)
{
    return MenuEntry{MenuEntry::Submenu, 0, label, std::move(items)};
}

std::vector<MenuEntry> buildTree()
{
    return {
        sub("ﾌｧｲﾙ(&F)", {cmd(55500, "新規作成(&N)"), cmd(55501, "開く(&O)"), cmd(55502, "上書き保存(&S)"),
                         cmd(55503, "名前を付けて保存(&A)"), sep(), cmd(37828, "サンプリング保存(&V)"), sep(),
                         cmd(55504, "ﾍﾟｰｼﾞ設定(&I)"), cmd(55505, "印刷(&P)"), sep(), cmd(55506, "終了(&X)")}),
        sub("表示(&V)", {cmd(37833, "最初の行へ(&F)"), cmd(37835, "最後の行へ(&B)"), cmd(37836, "検索(&H)"), sep(),
                        cmd(55507, "再表示(R)"), cmd(55508, "表示ｸﾘｱ(&C)"), cmd(55509, "表示切替(&L)"),
                        cmd(55510, "TimeChart(Ｔ)"), sep(), cmd(55511, "ﾁｪｯｸｻﾑ(C)"), cmd(55512, "ASCII(A)"),
                        cmd(55513, "数値変換(&I)"), sep(), cmd(37826, "サンプリング(&S)")}),
        sub("送信(&S)", {cmd(55515, "入力文字送信(&A)"), cmd(55516, "設定文字送信(B)"), cmd(37840, "制御文字送信(&D)"),
                        cmd(55517, "ロング文字送信(C)"), cmd(55518, "Macro実行(&M)"),
                        sub("Txtﾌｧｲﾙ転送(&F)", {cmd(37834, "CH2(&S)"), cmd(37839, "CH1(&F)")}),
                        cmd(55514, "IO Moniter(&O)")}),
        sub("環境設定(&K)",
            {cmd(55519, "ComPort設定(&C)"), sep(),
             sub("Serial設定(&S)", {cmd(55521, "CH2(&T)"), cmd(55520, "CH1(&O)")}),
             sub("DCB設定(&B)", {cmd(55523, "CH2(&T)"), cmd(55522, "CH1(&O)")}),
             sub("状態表示(&H)", {cmd(37841, "CH1/2(&L)"), cmd(37831, "CH2(&T)"), cmd(37829, "CH1(&O)")}), sep(),
             cmd(55524, "DioPort設定(&D)"), sep(), cmd(55525, "固定文字設定(&Ｔ)"), cmd(55526, "Macro新規(N)"),
             cmd(55527, "Macro編集(&M)"), sep(), cmd(37830, "自動ロギング設定(&L)"), cmd(37827, "サンプリング設定(P)"),
             sep(), cmd(37837, "チェックサム設定(&E)"), cmd(37838, "その他設定(&I)"),
             sub("画面設定(&Ｇ)", {cmd(55528, "表示設定(&I)"), cmd(55531, "起動時設定(&Z)")})}),
        cmd(37832, "表示切替"),
        sub("ﾍﾙﾌﾟ(&H)", {cmd(55529, "ﾍﾙﾌﾟ(&W)"), sep(), cmd(55530, "このソフトについて(&S)")}),
        cmd(55506, "終了"),
    };
}

} // namespace

const std::vector<MenuEntry>& mainMenuTree()
{
    static const std::vector<MenuEntry> tree = buildTree();
    return tree;
}

} // namespace kestrane
