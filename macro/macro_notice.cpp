#include "macro/macro_notice.h"

#include "i18n/language.h"

namespace kestrane {

std::string macroNoticeText(const MacroNotice& n)
{
    switch (n.kind) {
    case MacroNotice::Kind::None: break;
    case MacroNotice::Kind::RegisterOutOfRange:
        return i18n::arg(i18n::translate("MacroNotice", "%1: レジスタ番号 %2 は00〜99の外なので、実行しませんでした"),
                         {n.word, std::to_string(n.value)});
    case MacroNotice::Kind::LiteralCut:
        return i18n::arg(i18n::translate("MacroNotice", "リテラルが%1文字を超えたので、%1文字までを使いました"),
                         {std::to_string(n.value)});
    case MacroNotice::Kind::RegisterCut:
        return i18n::arg(i18n::translate("MacroNotice", "%1: 520バイトを超えた %2 バイトを切り捨てました"),
                         {n.word, std::to_string(n.value)});
    case MacroNotice::Kind::NegativeRange:
        return i18n::arg(i18n::translate("MacroNotice", "%1: 位置か長さが負なので、実行しませんでした"), {n.word});
    }
    return {};
}

} // namespace kestrane
