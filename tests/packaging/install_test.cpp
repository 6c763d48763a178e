// What the package installs beside the programs: the copyright file, the icons at every size
// desktops ask for and a scalable one, valid AppStream metadata for software centres, and the
// package's maintainer and dependencies (Qt's Japanese texts among them).
#include "support/temp_dir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestrane {
namespace {

std::string readText(const std::filesystem::path& p)
{
    std::ifstream in(p);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Package, InstallsCopyrightIconsAndMetadataAndNamesItsMaintainer)
{
    const test::TempDir prefix;
    const std::string install = "cmake --install '" KESTRANE_BUILD_DIR "' --prefix '" + prefix.path().string() + "' >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0);
    const auto at = [&](const std::string& relative) { return prefix.path() / "share" / relative; };

    // The extcap program where Wireshark looks for them under the prefix, and nowhere else.
    std::vector<std::string> extcaps;
    for (const auto& e : std::filesystem::recursive_directory_iterator(prefix.path()))
        if (e.path().filename() == "kestrane-extcap")
            extcaps.push_back(std::filesystem::relative(e.path(), prefix.path()).string());
    EXPECT_EQ(extcaps, std::vector<std::string>{"lib/" + std::string(KESTRANE_ARCH) + "wireshark/extcap/kestrane-extcap"});

    const std::string copyright = readText(at("doc/kestrane/copyright"));
    for (const char* part : {"Kestrane", "Copyright:", "License:", "IPA Font License"})  // the manuals embed IPAGothic
        EXPECT_TRUE(has(copyright, part)) << part;

    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        const QImage icon(QString::fromStdString(at("icons/hicolor/" + name + "/apps/kestrane.png").string()));
        EXPECT_EQ(icon.size(), QSize(size, size));
        // The same picture at every size: the dark blue ground below the top edge's middle.
        const QColor ground = icon.pixelColor(size / 2, size / 8);
        EXPECT_LT(std::abs(ground.blue() - 120) + std::abs(ground.red() - 20), 40) << name;
    }
    EXPECT_TRUE(has(readText(at("icons/hicolor/scalable/apps/kestrane.svg")), "<svg"));
    EXPECT_TRUE(has(readText(at("applications/kestrane.desktop")), "Icon=kestrane\n"));

    const auto metainfo = at("metainfo/org.kestrane.Kestrane.metainfo.xml");
    EXPECT_TRUE(has(readText(metainfo), "<launchable type=\"desktop-id\">kestrane.desktop</launchable>"));
    if (std::system("appstreamcli --version >/dev/null 2>&1") == 0) {  // scripts/setup.sh installs it
        const std::string validate = "appstreamcli validate --no-net '" + metainfo.string() + "' >/dev/null";
        EXPECT_EQ(std::system(validate.c_str()), 0);
    }

    const std::string cpack = readText(KESTRANE_BUILD_DIR "/CPackConfig.cmake");
    EXPECT_TRUE(has(cpack, "set(CPACK_DEBIAN_PACKAGE_MAINTAINER \"The Kestrane project <"));
    EXPECT_FALSE(has(cpack, "localhost"));
    const auto depends = cpack.find("set(CPACK_DEBIAN_PACKAGE_DEPENDS");
    ASSERT_NE(depends, std::string::npos);
    EXPECT_NE(cpack.find("qt6-translations-l10n", depends), std::string::npos);
}

TEST(Package, ShipsDebiansChangelogAndPointsAtTheSystemsLicenceTexts)
{
    const test::TempDir prefix;
    const std::string install = "cmake --install '" KESTRANE_BUILD_DIR "' --prefix '" + prefix.path().string() + "' >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0);
    const auto doc = prefix.path() / "share/doc/kestrane";

    // Compressed as Debian ships it: best compression, neither a file name nor a time inside.
    const std::vector<std::uint8_t> gz = test::readFileBytes(doc / "changelog.gz");
    ASSERT_GE(gz.size(), 10u);
    EXPECT_EQ(gz[0], 0x1f);
    EXPECT_EQ(gz[1], 0x8b);
    EXPECT_EQ(gz[3] & 0x08, 0) << "no file name";
    EXPECT_EQ(gz[4] | gz[5] | gz[6] | gz[7], 0) << "no time";
    EXPECT_EQ(gz[8], 2) << "best compression";
    const std::string unpack = "gzip -dc '" + (doc / "changelog.gz").string() + "' > '" + (prefix / "changelog").string() + "'";
    ASSERT_EQ(std::system(unpack.c_str()), 0);
    const std::string changelog = readText(prefix / "changelog");
    EXPECT_EQ(changelog.rfind("kestrane (" KESTRANE_VERSION ") ", 0), 0u) << "the package's own version first";
    EXPECT_TRUE(has(changelog, "\n -- The Kestrane project <"));

    const std::string copyright = readText(doc / "copyright");
    EXPECT_EQ(copyright.rfind("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n", 0), 0u);
    EXPECT_TRUE(has(copyright, "/usr/share/common-licenses/LGPL-3"));

    const std::string cpack = readText(KESTRANE_BUILD_DIR "/CPackConfig.cmake");
    EXPECT_TRUE(has(cpack, "set(CPACK_STRIP_FILES \"ON\")"));
    // A light PDF viewer first where none is installed; evince would bring 46 packages.
    EXPECT_TRUE(has(cpack, "set(CPACK_DEBIAN_PACKAGE_RECOMMENDS \"xdg-utils, mupdf | "));
}

// The recorder's unit example keeps the service to its folder, serial devices and the network
// of remote lines: systemd's own rating stays at or below 4.5 (of 10).
TEST(Package, TheRecordersUnitIsConfinedYetReachesSerialDevicesAndRemoteLines)
{
    const std::string unit = KESTRANE_BUILD_DIR "/packaging/kestrane-record.service";
    const std::string text = readText(unit);
    for (const char* kept : {"DeviceAllow=char-ttyUSB rw\n", "DeviceAllow=char-ttyACM rw\n", "SupplementaryGroups=dialout\n",
                             "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n", "StateDirectory=kestrane\n"})
        EXPECT_TRUE(has(text, kept)) << kept;
    if (std::system("systemd-analyze --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    const std::string rate = "systemd-analyze security --offline=true --threshold=45 --no-pager '" + unit + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(rate.c_str()), 0) << "systemd-analyze security --offline=true " << unit;
}

// Each program has its man page, made from its --help: compressed, with the sections man shows,
// and it reads through man itself (man -l) where man is installed.
TEST(Package, InstallsAManPageForEveryProgram)
{
    const test::TempDir prefix;
    const std::string install = "cmake --install '" KESTRANE_BUILD_DIR "' --prefix '" + prefix.path().string() + "' >/dev/null";
    ASSERT_EQ(std::system(install.c_str()), 0);
    const bool man = std::system("man --version >/dev/null 2>&1") == 0;
    for (const std::string program : {"kestrane", "kestrane-record", "kestrane-macro", "kestrane-log", "kestrane-demo",
                                      "tolvek", "glimra", "dornex", "kestrane-extcap"}) {
        const auto page = prefix.path() / "share/man/man1" / (program + ".1.gz");
        ASSERT_TRUE(std::filesystem::exists(page)) << page;
        const auto text = prefix.path() / (program + ".1");
        ASSERT_EQ(std::system(("gzip -dc '" + page.string() + "' > '" + text.string() + "'").c_str()), 0);
        const std::string source = readText(text);
        EXPECT_TRUE(has(source, ".SH NAME\n" + program + " \\-")) << source.substr(0, 400);
        EXPECT_TRUE(has(source, ".SH SYNOPSIS") || has(source, ".SH DESCRIPTION")) << program;
        EXPECT_TRUE(has(source, "help")) << program;  // its options, --help among them
        if (man) {
            const auto shown = prefix.path() / (program + ".txt");
            const std::string read = "MANWIDTH=80 MAN_KEEP_FORMATTING= man -l '" + page.string() + "' 2>/dev/null | col -b > '" +
                                     shown.string() + "'";
            ASSERT_EQ(std::system(read.c_str()), 0) << program;
            EXPECT_TRUE(has(readText(shown), "NAME")) << program;
        }
    }
}

} // namespace
} // namespace kestrane
