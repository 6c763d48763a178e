#include "app/external_tools.h"

#include <QCoreApplication>

#include <algorithm>
#include <array>
#include <cctype>

namespace kestrane {

namespace {

std::string lowerBaseName(const std::string& path)
{
    std::string base = std::filesystem::path(path).filename().string();
    std::transform(base.begin(), base.end(), base.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return base;
}

// How each known viewer is told the page; {page} and {file} are filled in.
struct KnownViewer {
    const char* program;
    std::array<const char*, 3> args;
};
constexpr std::array<KnownViewer, 7> kKnownViewers{{
    {"evince", {"-p", "{page}", "{file}"}},
    {"okular", {"-p", "{page}", "{file}"}},
    {"atril", {"-p", "{page}", "{file}"}},
    {"qpdfview", {"{file}#{page}", nullptr, nullptr}},
    {"zathura", {"-P", "{page}", "{file}"}},
    {"mupdf", {"{file}", "{page}", nullptr}},
    {"xpdf", {"{file}", "{page}", nullptr}},
}};

PageViewer viewerCommand(const KnownViewer& viewer, const std::string& program, int page, const std::string& file)
{
    PageViewer v{program, {}};
    for (const char* arg : viewer.args) {
        if (!arg)
            break;
        std::string a = arg;
        if (const auto at = a.find("{page}"); at != std::string::npos)
            a.replace(at, 6, std::to_string(page));
        if (const auto at = a.find("{file}"); at != std::string::npos)
            a.replace(at, 6, file);
        v.args.push_back(a);
    }
    return v;
}

} // namespace

const char* mainManual()
{
    return i18n::currentLanguage() == i18n::Language::English ? kMainManualEnglish : kMainManual;
}

const char* dialogManual()
{
    return i18n::currentLanguage() == i18n::Language::English ? kDialogManualEnglish : kDialogManual;
}

QString companionMissingText(const char* program)
{
    return QCoreApplication::translate("ExternalTools", "%1が見つかりませんでした。").arg(QString::fromUtf8(program));
}

QString manualNotOpenedText(const std::filesystem::path& manual)
{
    QString viewers;
    for (const KnownViewer& viewer : kKnownViewers)
        viewers += (viewers.isEmpty() ? QString() : QCoreApplication::translate("ExternalTools", "、")) + QString::fromLatin1(viewer.program);
    std::error_code ec;
    const QString path = QString::fromStdString(std::filesystem::absolute(manual, ec).lexically_normal().string());
    if (!std::filesystem::exists(manual, ec))
        return QCoreApplication::translate("ExternalTools", "マニュアルが見つかりません。\n%1").arg(path);
    return QCoreApplication::translate("ExternalTools", "マニュアルを開けませんでした。\n%1\n\n"
                          "PDFを表示するアプリ（%2 など）をインストールするか、"
                          "その他の設定の「PDFの参照アプリの設定」に表示アプリを設定して下さい。")
        .arg(path, viewers);
}

ManualLaunch manualLaunchFor(const std::string& pdfReaderPath, const std::string& pdfPageCommand, int page)
{
    if (pdfReaderPath.size() < 2 || pdfPageCommand.empty())
        return ManualLaunch{true, {}, {}};
    return ManualLaunch{false, pdfReaderPath, pdfPageCommand + std::to_string(page) + " " + dialogManual()};
}

std::optional<PageViewer> pageViewerFor(const std::string& pdfReaderPath, const std::string& pdfPageCommand, int page,
                                        const std::string& file, const std::function<bool(const std::string&)>& installed)
{
    const std::string base = lowerBaseName(pdfReaderPath);
    if (base == "acrord32.exe" || base == "acrord32") {
        if (installed(pdfReaderPath))
            return std::nullopt;
        for (const KnownViewer& viewer : kKnownViewers)
            if (installed(viewer.program))
                return viewerCommand(viewer, viewer.program, page, file);
        return std::nullopt;
    }
    if (pdfPageCommand == kDefaultPdfPageCommand)
        for (const KnownViewer& viewer : kKnownViewers)
            if (base == viewer.program)
                return viewerCommand(viewer, pdfReaderPath, page, file);
    return std::nullopt;
}

std::vector<std::filesystem::path> dataFolders(const std::filesystem::path& startDirectory,
                                               const std::filesystem::path& programDir)
{
    std::vector<std::filesystem::path> folders{startDirectory};
    if (!programDir.empty()) {
        folders.push_back(programDir);
        folders.push_back(programDir.parent_path() / "share" / "kestrane");
    }
    return folders;
}

ExternalTools::ExternalTools(Processes processes, const Settings& settings, std::filesystem::path startDirectory)
    : processes_(std::move(processes)), settings_(settings), startDirectory_(std::move(startDirectory))
{
    documentOpener = [this](const std::filesystem::path& document) { return processes_.openDocument(document); };
}

bool ExternalTools::startCompanion(const char* program) const
{
    return processes_.start(program, {}, startDirectory_);
}

std::filesystem::path ExternalTools::manualFile(const char* name) const
{
    std::error_code ec;
    if (std::filesystem::exists(startDirectory_ / name, ec))
        return name;
    for (const auto& folder : dataFolders(startDirectory_, processes_.programDir()))
        if (std::filesystem::exists(folder / name, ec))
            return std::filesystem::absolute(folder / name, ec);
    return name;
}

void ExternalTools::launch(const ManualLaunch& how, const std::string& pageCommand, int page) const
{
    const std::string file = manualFile(dialogManual()).string();
    if (!how.withHandler) {
        const auto installed = [this](const std::string& name) { return !processes_.find(name).empty(); };
        if (const auto viewer = pageViewerFor(how.program, pageCommand, page, file, installed)) {
            if (processes_.start(viewer->program, viewer->args, startDirectory_))
                return;
        } else {
            // As set: the page option and page number, then the manual.
            std::vector<std::string> args = splitParameters(pageCommand + std::to_string(page));
            args.push_back(file);
            if (processes_.start(how.program, args, startDirectory_))
                return;
        }
    }
    documentOpener(startDirectory_ / file);
}

void ExternalTools::openManualAtPage(int page) const
{
    const std::string pageCommand = fieldUtf8(settings_.pdfPageCommand);
    launch(manualLaunchFor(fieldUtf8(settings_.pdfReaderPath), pageCommand, page), pageCommand, page);
}

void ExternalTools::openSamplingManual() const
{
    launch(ManualLaunch{false, "AcroRd32.exe", std::string("/A page=58 ") + dialogManual()}, "/A page=", 58);
}

bool ExternalTools::openMainManual() const
{
    return documentOpener(startDirectory_ / manualFile(mainManual()));
}

} // namespace kestrane
