// The system's reasons for a failure, in the words of the program: one table for every message
// that carries one. The window speaks Japanese: each reason the program can meet has a text of
// its own with the errno's name kept, "ディレクトリではありません（ENOTDIR）"; a reason outside
// the table keeps its name and the system's own text. The programs without a window speak
// English: the system's text (never translated) with the name. No reason is ever given for 0.
#pragma once

#include <string>

namespace kestrane {

enum class ReasonLanguage { Japanese, English };

// The window's language for reasons: English when the program runs in English, else Japanese.
[[nodiscard]] ReasonLanguage windowReasonLanguage();

// The reason for errno `error`; empty for 0.
[[nodiscard]] std::string systemReason(int error, ReasonLanguage language = windowReasonLanguage());

// A host name that did not resolve: getaddrinfo's code (EAI_*), and for EAI_SYSTEM the errno it
// left (`systemError`), which is then the reason. Empty for 0.
[[nodiscard]] std::string resolverReason(int code, int systemError = 0,
                                         ReasonLanguage language = windowReasonLanguage());

// The errno's name ("ENOTDIR"); "errno N" for a number the system has no name for.
[[nodiscard]] std::string errnoName(int error);

} // namespace kestrane
