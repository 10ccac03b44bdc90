#include "msi/CabinetDirectives.h"

#include "common/Utf.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* CabinetName = "MSIProject.cab";

// Quotes a DDF item with ' or, when the text holds that character, with ".
std::string DdfQuote(const std::string& text)
{
    const char quote = text.find('\'') == std::string::npos ? '\'' : '"';
    return quote + text + quote;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The directives before the file list of one cabinet.
std::string DirectiveHeader(const std::string& packages, const std::string& cabinetName, bool beyondCd, bool utf8)
{
    std::string text;
    if (utf8)
        text = "\xEF\xBB\xBF";
    text += ".Option EXPLICIT\n"
            ".Set Cabinet = off\n"
            ".Set Compress = off\n"
            ".Set MaxDiskSize = " +
            std::string(beyondCd ? "0" : "CDROM") +
            "\n"
            ".Set ReservePerCabinetSize = 6144\n"
            ".Set DiskDirectoryTemplate = " +
            DdfQuote(packages) +
            "\n"
            ".Set CompressionType = MSZIP\n"
            ".Set CompressionLevel = 7\n"
            ".Set CompressionMemory = 21\n"
            ".Set CabinetNameTemplate = " +
            DdfQuote(cabinetName) +
            "\n"
            ".Set Cabinet=on\n"
            ".Set Compress=on\n"
            ".Set UniqueFiles=off\n";
    return text;
}

} // namespace

bool ToDdfText(const std::wstring& text, bool utf8, std::string& out)
{
    if (utf8) {
        out = ToUtf8(text);
        return true;
    }
    out.clear();
    if (text.empty())
        return true;
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy)
        return false;
    out.resize(static_cast<std::size_t>(n));
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, &lossy);
    return !lossy;
}

Result WriteDirectiveFiles(const DirectiveFiles& target, const CabinetPlan& plan, const std::vector<PackedFile>& files)
{
    std::string packages;
    if (!ToDdfText(target.packagesFolder, target.utf8, packages))
        packages = ToUtf8(target.packagesFolder);
    // Without files, the header alone (no cabinet maker runs).
    const std::size_t count = std::max<std::size_t>(plan.cabinets.size(), 1);
    for (std::size_t c = 0; c < count; ++c) {
        const PlannedCabinet cabinet = c < plan.cabinets.size() ? plan.cabinets[c] : PlannedCabinet{};
        const std::wstring& path = c < target.ddfs.size() ? target.ddfs[c] : target.singleDdf;
        std::FILE* ddf = _wfopen(path.c_str(), L"wb");
        if (!ddf)
            return Result::LastError(L"Unable to write " + path);
        std::string cabinetName = CabinetName;
        if (c < target.cabinetFiles.size())
            (void)ToDdfText(FileNameOf(target.cabinetFiles[c]), target.utf8, cabinetName);
        // A cabinet larger than a CD's worth says so: a cabinet maker that
        // splits at MaxDiskSize must not split it.
        const bool beyondCd = cabinet.bound > 681984000ull;
        std::string text = DirectiveHeader(packages, cabinetName, beyondCd, target.utf8);
        for (std::size_t i = cabinet.firstFile; i < cabinet.firstFile + cabinet.fileCount; ++i) {
            const PackedFile& file = files[i];
            std::string real, name;
            (void)ToDdfText(file.realPath, target.utf8, real);
            (void)ToDdfText(file.key, target.utf8, name);
            text += DdfQuote(real) + " " + DdfQuote(name) + "\n";
        }
        const bool ok = std::fwrite(text.data(), 1, text.size(), ddf) == text.size();
        const bool closed = std::fclose(ddf) == 0;
        if (!ok || !closed) {
            const DWORD error = GetLastError();
            return Result::Win32(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error, L"Unable to write " + path);
        }
    }
    return Result::Ok();
}

// It names the cabinet maker by its full path; the build itself starts the
// cabinet maker directly.
void WriteCabinetBatchFile(const std::wstring& batchPath, const std::wstring& cabinetMaker,
                           const DirectiveFiles& target)
{
    std::FILE* batch = _wfopen(batchPath.c_str(), L"wb");
    if (!batch)
        return;
    std::string maker;
    if (!ToDdfText(cabinetMaker, false, maker))
        maker = ToUtf8(cabinetMaker);
    std::string text = "@echo off";
    for (std::size_t c = 0; c < target.cabinetFiles.size(); ++c)
        text += "\r\ndel \"" + ToUtf8(target.cabinetFiles[c]) + "\"\r\n\"" + maker + "\" /f \"" +
                ToUtf8(FileNameOf(target.ddfs[c])) + "\"";
    std::fwrite(text.data(), 1, text.size(), batch);
    std::fclose(batch);
}
