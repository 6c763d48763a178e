// The system's reasons as messages say them: Japanese with the errno's name for the window,
// English for the programs without a window, nothing for 0.
#include "platform/system_reason.h"

#include <netdb.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace kestrane {
namespace {

bool hasLatinLetter(const std::string& text)
{
    for (const char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            return true;
    return false;
}

TEST(SystemReason, EveryReasonTheProgramMeetsHasAJapaneseTextWithItsName)
{
    EXPECT_EQ(systemReason(ENOTDIR), "ディレクトリではありません（ENOTDIR）");
    const std::pair<int, const char*> met[] = {
        {ENOENT, "ENOENT"},       {EACCES, "EACCES"},       {EPERM, "EPERM"},         {EBUSY, "EBUSY"},
        {ENOTDIR, "ENOTDIR"},     {ENOTTY, "ENOTTY"},       {EIO, "EIO"},             {ENXIO, "ENXIO"},
        {ENODEV, "ENODEV"},       {ENOSPC, "ENOSPC"},       {EROFS, "EROFS"},         {ECONNREFUSED, "ECONNREFUSED"},
        {ECONNRESET, "ECONNRESET"}, {ETIMEDOUT, "ETIMEDOUT"}, {EHOSTUNREACH, "EHOSTUNREACH"}, {EINVAL, "EINVAL"},
    };
    for (const auto& [error, name] : met) {
        const std::string text = systemReason(error);
        const std::string tail = std::string("（") + name + "）";
        ASSERT_GT(text.size(), tail.size()) << name;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
        EXPECT_FALSE(hasLatinLetter(text.substr(0, text.size() - tail.size()))) << "the system's English: " << text;
    }
    EXPECT_NE(systemReason(ENOENT), systemReason(ENOTDIR));
}

TEST(SystemReason, NoReasonForZeroAndOthersKeepTheirNameAndTheSystemsText)
{
    EXPECT_EQ(systemReason(0), "");
    EXPECT_EQ(systemReason(0, ReasonLanguage::English), "");
    EXPECT_EQ(resolverReason(0), "");
    // Outside the table: the name and the system's own text.
    const std::string exdev = systemReason(EXDEV);
    EXPECT_NE(exdev.find("（EXDEV）"), std::string::npos) << exdev;
    EXPECT_NE(exdev.find(std::strerror(EXDEV)), std::string::npos) << exdev;
    EXPECT_NE(systemReason(4000).find("errno 4000"), std::string::npos) << systemReason(4000);

    // Without a window: the system's English whatever the locale, with the name.
    EXPECT_EQ(systemReason(ENOTDIR, ReasonLanguage::English), "Not a directory (ENOTDIR)");
    EXPECT_EQ(systemReason(ENOTTY, ReasonLanguage::English), "Inappropriate ioctl for device (ENOTTY)");
}

TEST(SystemReason, NameResolutionFailuresAreNamedAndASystemErrorTellsItsErrno)
{
    for (const int code : {EAI_NONAME, EAI_AGAIN, EAI_FAIL, EAI_NODATA, EAI_SERVICE, EAI_MEMORY}) {
        const std::string text = resolverReason(code);
        EXPECT_NE(text.find("（EAI_"), std::string::npos) << text;
        EXPECT_FALSE(hasLatinLetter(text.substr(0, text.find("（EAI_")))) << text;
    }
    EXPECT_EQ(resolverReason(EAI_NONAME), "ホスト名が見つかりません（EAI_NONAME）");
    EXPECT_EQ(resolverReason(EAI_NONAME, 0, ReasonLanguage::English), "the host name is not known (EAI_NONAME)");
    // EAI_SYSTEM's reason is the errno it left.
    EXPECT_EQ(resolverReason(EAI_SYSTEM, EMFILE), systemReason(EMFILE));
    EXPECT_EQ(resolverReason(EAI_SYSTEM, 0), "システムエラーです（EAI_SYSTEM）");
}

} // namespace
} // namespace kestrane
