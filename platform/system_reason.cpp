#include "platform/system_reason.h"

#include "i18n/language.h"

#include <netdb.h>

#include <cerrno>
#include <cstring>

namespace kestrane {

namespace {

struct Reason {
    int code;
    const char* name;
    const char* japanese;
};

// Every reason the program's files, devices and connections can meet.
constexpr Reason kErrnoReasons[] = {
    {ENOENT, "ENOENT", "ファイルまたはディレクトリがありません"},
    {EACCES, "EACCES", "アクセス権がありません"},
    {EPERM, "EPERM", "操作が許可されていません"},
    {EBUSY, "EBUSY", "デバイスまたはリソースが使用中です"},
    {ENOTDIR, "ENOTDIR", "ディレクトリではありません"},
    {EISDIR, "EISDIR", "ディレクトリです"},
    {ENOTTY, "ENOTTY", "このデバイスではできない操作です"},
    {EIO, "EIO", "入出力エラーです"},
    {ENXIO, "ENXIO", "デバイスまたはアドレスがありません"},
    {ENODEV, "ENODEV", "デバイスがありません"},
    {ENOSPC, "ENOSPC", "空き容量がありません"},
    {EDQUOT, "EDQUOT", "ディスク使用量の上限を超えました"},
    {EFBIG, "EFBIG", "ファイルが大きすぎます"},
    {EROFS, "EROFS", "読み出し専用のファイルシステムです"},
    {EEXIST, "EEXIST", "既に存在します"},
    {ENAMETOOLONG, "ENAMETOOLONG", "名前が長すぎます"},
    {EMFILE, "EMFILE", "開いているファイルが多すぎます"},
    {ENFILE, "ENFILE", "システムで開いているファイルが多すぎます"},
    {ENOMEM, "ENOMEM", "メモリが足りません"},
    {EAGAIN, "EAGAIN", "一時的に利用できません"},
    {EPIPE, "EPIPE", "相手が接続を閉じています"},
    {ECONNREFUSED, "ECONNREFUSED", "接続が拒否されました"},
    {ECONNRESET, "ECONNRESET", "接続が相手からリセットされました"},
    {ECONNABORTED, "ECONNABORTED", "接続が中断されました"},
    {ETIMEDOUT, "ETIMEDOUT", "接続がタイムアウトしました"},
    {EHOSTUNREACH, "EHOSTUNREACH", "ホストに到達できません"},
    {EHOSTDOWN, "EHOSTDOWN", "ホストが停止しています"},
    {ENETUNREACH, "ENETUNREACH", "ネットワークに到達できません"},
    {ENETDOWN, "ENETDOWN", "ネットワークが停止しています"},
    {EADDRNOTAVAIL, "EADDRNOTAVAIL", "アドレスが使えません"},
    {EINVAL, "EINVAL", "無効な引数です"},
};

struct ResolverReason {
    int code;
    const char* name;
    const char* japanese;
    const char* english;
};

constexpr ResolverReason kResolverReasons[] = {
    {EAI_NONAME, "EAI_NONAME", "ホスト名が見つかりません", "the host name is not known"},
    {EAI_AGAIN, "EAI_AGAIN", "名前解決が一時的に失敗しました", "the name server failed for now"},
    {EAI_FAIL, "EAI_FAIL", "名前解決に失敗しました", "the name server failed"},
    {EAI_NODATA, "EAI_NODATA", "ホスト名にアドレスがありません", "the host name has no address"},
    {EAI_ADDRFAMILY, "EAI_ADDRFAMILY", "ホストに使えるアドレスがありません", "the host has no address of a usable family"},
    {EAI_FAMILY, "EAI_FAMILY", "アドレスの種類が使えません", "the address family is not supported"},
    {EAI_SERVICE, "EAI_SERVICE", "ポート番号が使えません", "the port is not available for this socket type"},
    {EAI_SOCKTYPE, "EAI_SOCKTYPE", "ソケットの種類が使えません", "the socket type is not supported"},
    {EAI_MEMORY, "EAI_MEMORY", "メモリが足りません", "out of memory"},
    {EAI_BADFLAGS, "EAI_BADFLAGS", "名前解決のフラグが不正です", "bad flags for the name lookup"},
    {EAI_OVERFLOW, "EAI_OVERFLOW", "名前解決の結果が長すぎます", "the name lookup's answer is too long"},
    {EAI_SYSTEM, "EAI_SYSTEM", "システムエラーです", "a system error"},
};

std::string named(const std::string& text, const std::string& name, ReasonLanguage language)
{
    return language == ReasonLanguage::Japanese ? text + "（" + name + "）" : text + " (" + name + ")";
}

} // namespace

ReasonLanguage windowReasonLanguage()
{
    return i18n::currentLanguage() == i18n::Language::English ? ReasonLanguage::English : ReasonLanguage::Japanese;
}

std::string errnoName(int error)
{
    if (const char* name = ::strerrorname_np(error))
        return name;
    return "errno " + std::to_string(error);
}

std::string systemReason(int error, ReasonLanguage language)
{
    if (error == 0)
        return {};
    if (language == ReasonLanguage::Japanese)
        for (const Reason& r : kErrnoReasons)
            if (r.code == error)
                return named(r.japanese, r.name, language);
    if (language == ReasonLanguage::English) {
        // The system's own text in English whatever the locale says.
        const char* text = ::strerrordesc_np(error);
        return named(text ? text : "unknown error", errnoName(error), language);
    }
    // Outside the table: the system's own text, in the language the system speaks here.
    char buffer[256];
    return named(::strerror_r(error, buffer, sizeof buffer), errnoName(error), language);
}

std::string resolverReason(int code, int systemError, ReasonLanguage language)
{
    if (code == 0)
        return {};
    if (code == EAI_SYSTEM && systemError != 0)
        return systemReason(systemError, language);
    for (const ResolverReason& r : kResolverReasons)
        if (r.code == code)
            return named(language == ReasonLanguage::Japanese ? r.japanese : r.english, r.name, language);
    return named(::gai_strerror(code), "EAI " + std::to_string(code), language);
}

} // namespace kestrane
