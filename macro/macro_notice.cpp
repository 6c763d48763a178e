#include "macro/macro_notice.h"

namespace kestrane {

std::string macroNoticeText(const MacroNotice& n)
{
    switch (n.kind) {
    case MacroNotice::Kind::None: break;
    case MacroNotice::Kind::RegisterOutOfRange:
        return n.word + ": レジスタ番号 " + std::to_string(n.value) + " は00〜99の外なので、実行しませんでした";
    case MacroNotice::Kind::LiteralCut:
        return "リテラルが" + std::to_string(n.value) + "文字を超えたので、" + std::to_string(n.value) + "文字までを使いました";
    case MacroNotice::Kind::RegisterCut:
        return n.word + ": 520バイトを超えた " + std::to_string(n.value) + " バイトを切り捨てました";
    case MacroNotice::Kind::NegativeRange: return n.word + ": 位置か長さが負なので、実行しませんでした";
    }
    return {};
}

} // namespace kestrane
