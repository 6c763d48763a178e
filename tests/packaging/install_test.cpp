// What the package installs beside the programs: the copyright file, the icons at every size
// desktops ask for and a scalable one, the AppStream metadata that software centres read, and
// the package's maintainer and dependencies (Qt's Japanese texts among them).
#include "support/temp_dir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kestrane {
namespace {

std::string readText(const std::filesystem::path& p)
{
    std::ifstream in(p);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Installed : ::testing::Test {
    static inline test::TempDir* prefix = nullptr;
    static void SetUpTestSuite()
    {
        prefix = new test::TempDir;
        const std::string command = "cmake --install '" KESTRANE_BUILD_DIR "' --prefix '" + prefix->path().string() +
                                    "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }
    static void TearDownTestSuite() { delete prefix; }
    static std::filesystem::path at(const std::string& relative) { return prefix->path() / relative; }
};

TEST_F(Installed, CopyrightFileNamesTheProgramAndTheEmbeddedFont)
{
    const std::string text = readText(at("share/doc/kestrane/copyright"));
    EXPECT_NE(text.find("Kestrane"), std::string::npos);
    EXPECT_NE(text.find("Copyright:"), std::string::npos);
    EXPECT_NE(text.find("License:"), std::string::npos);
    EXPECT_NE(text.find("IPA Font License"), std::string::npos);  // the manuals embed IPAGothic
}

TEST_F(Installed, IconsAtEverySizeAndScalable)
{
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QImage icon(QString::fromStdString(
            at("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/kestrane.png").string()));
        ASSERT_FALSE(icon.isNull()) << size;
        EXPECT_EQ(icon.size(), QSize(size, size));
        // The same picture at every size: the dark blue ground at the centre of the top edge.
        const QColor ground = icon.pixelColor(size / 2, size / 8);
        EXPECT_LT(std::abs(ground.blue() - 120) + std::abs(ground.red() - 20), 40) << size;
    }
    const std::string svg = readText(at("share/icons/hicolor/scalable/apps/kestrane.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(readText(at("share/applications/kestrane.desktop")).find("Icon=kestrane\n"), std::string::npos);
}

TEST_F(Installed, SoftwareCentresFindValidMetadataForTheDesktopEntry)
{
    const auto metainfo = at("share/metainfo/org.kestrane.Kestrane.metainfo.xml");
    const std::string text = readText(metainfo);
    EXPECT_NE(text.find("<launchable type=\"desktop-id\">kestrane.desktop</launchable>"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(at("share/applications/kestrane.desktop")));
    if (std::system("appstreamcli --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "appstreamcli is not installed (scripts/setup.sh installs it)";
    const std::string validate = "appstreamcli validate --no-net '" + metainfo.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(validate.c_str()), 0);
}

TEST(Package, NamesTheProjectAsMaintainerAndNeedsQtsJapaneseTexts)
{
    const std::string config = readText(KESTRANE_BUILD_DIR "/CPackConfig.cmake");
    EXPECT_NE(config.find("set(CPACK_DEBIAN_PACKAGE_MAINTAINER \"The Kestrane project <"), std::string::npos);
    EXPECT_EQ(config.find("localhost"), std::string::npos);
    const auto depends = config.find("set(CPACK_DEBIAN_PACKAGE_DEPENDS");
    ASSERT_NE(depends, std::string::npos);
    EXPECT_NE(config.find("qt6-translations-l10n", depends), std::string::npos);
}

} // namespace
} // namespace kestrane
