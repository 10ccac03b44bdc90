#include "app/CommandLineReport.h"

#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "msi/WixSource.h"

#include <windows.h>

#include <initializer_list>

namespace commandline {

std::wstring Lower(std::wstring text)
{
    if (!text.empty())
        CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// Removes every occurrence of `what`; returns whether there was one.
bool RemoveAll(std::wstring& text, const std::wstring& what)
{
    bool found = false;
    std::wstring::size_type at;
    while ((at = text.find(what)) != std::wstring::npos) {
        text.erase(at, what.size());
        found = true;
    }
    return found;
}

std::wstring Trim(const std::wstring& text)
{
    const auto first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    const auto last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool FileExists(const std::wstring& path)
{
    WIN32_FIND_DATAW data;
    UniqueFind find(FindFirstFileW(path.c_str(), &data));
    return find.valid() && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Number(long long value)
{
    return std::to_wstring(value);
}

// The builder's remarks on the package just built (each is also in the log).
// ": " and the builder's reason for a failed build, or "".
std::wstring BuildFailureReason(CUIManager& manager)
{
    std::string reason = manager.Builder().FailureReason();
    // The log line's own place ("CMSIHandler::BuildMSI: ") is not for the user.
    if (reason.starts_with("CMSIHandler::"))
        if (const auto colon = reason.find(": "); colon != std::string::npos)
            reason.erase(0, colon + 2);
    return reason.empty() ? std::wstring() : L": " + FromUtf8(reason);
}

void ReportBuildNotes(CUIManager& manager, const ReportLine& report)
{
    for (const std::wstring& note : manager.Builder().BuildNotes())
        report(note);
}

std::wstring Plural(std::size_t count, const wchar_t* one, const wchar_t* many)
{
    return std::to_wstring(count) + L" " + (count == 1 ? one : many);
}

// The system's text for an error code, without its line end.
std::wstring SystemMessage(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : std::wstring();
    if (text)
        LocalFree(text);
    return Trim(message) + (message.empty() ? L"" : L" ") + L"(error " + Number(error) + L")";
}

namespace {

std::wstring FullPath(const std::wstring& path)
{
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    full.resize(got < n ? got : 0);
    return full;
}

} // namespace

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    const std::wstring fa = FullPath(a), fb = FullPath(b);
    return fa.size() == fb.size() && CompareStringOrdinal(fa.c_str(), static_cast<int>(fa.size()), fb.c_str(),
                                                          static_cast<int>(fb.size()), TRUE) == CSTR_EQUAL;
}

// Creates the output folder with every missing parent and its "Packages"
// folder, and proves the latter writable with a probe file that is created and
// deleted. False (reported) when any of it fails: nothing has been changed yet.
bool PrepareOutputFolder(const std::wstring& output, const ReportLine& report)
{
    const std::wstring full = FullPath(output);
    std::size_t at = full.starts_with(L"\\\\") ? full.find(L'\\', full.find(L'\\', 2) + 1) : full.find(L'\\');
    for (;;) {
        at = at == std::wstring::npos ? at : full.find(L'\\', at + 1);
        const std::wstring folder = full.substr(0, at);
        if (!folder.empty() && folder.back() != L':' && !CreateDirectoryW(folder.c_str(), nullptr)) {
            const DWORD error = GetLastError();
            const DWORD attributes = GetFileAttributesW(folder.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
                report(L"The output folder " + output + L" cannot be created at " + folder + L": " +
                       (attributes == INVALID_FILE_ATTRIBUTES ? SystemMessage(error) : L"a file has that name") +
                       L". Nothing was changed.");
                return false;
            }
        }
        if (at == std::wstring::npos)
            break;
    }
    const std::wstring packages = full + (full.ends_with(L"\\") ? L"" : L"\\") + L"Packages";
    if (!CreateDirectoryW(packages.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        report(L"The folder " + packages + L" cannot be created: " + SystemMessage(GetLastError()) +
               L". Nothing was changed.");
        return false;
    }
    const std::wstring probe = packages + L"\\CorvaneRepackager-probe-" + Number(GetCurrentProcessId()) + L".tmp";
    UniqueFile file(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    DWORD written = 0;
    const bool wrote = file && WriteFile(file.get(), "probe", 5, &written, nullptr) && written == 5;
    const DWORD error = wrote ? 0 : GetLastError();
    file.reset();
    const bool deleted = DeleteFileW(probe.c_str()) != FALSE;
    if (!wrote || !deleted) {
        report(L"The folder " + packages + L" is not writable: " + SystemMessage(wrote ? GetLastError() : error) +
               L". Nothing was changed.");
        return false;
    }
    return true;
}

namespace {

// Which platform the package was built for: an x64 package when it has a
// 64-bit component, else an Intel one.
void ReportPlatform(const CMSIHandler& builder, const ReportLine& report)
{
    report(L"Package platform: " + builder.Counts().Platform + L".");
}

// "2 files, 1 registry value": the counts that are not zero, each with its noun.
struct CountedNoun
{
    std::size_t count;
    const wchar_t* one;
    const wchar_t* many;
};
std::wstring CountList(std::initializer_list<CountedNoun> counts)
{
    std::wstring list;
    for (const CountedNoun& c : counts)
        if (c.count != 0)
            list += (list.empty() ? L"" : L", ") + Plural(c.count, c.one, c.many);
    return list;
}

// What removal of the package leaves on the machine: the files, values and
// INI entries that existed before the setup (permanent components). One line
// on the console and in the error log; none when there is nothing.
void ReportKept(const MsiBuildCounts& counts, const ReportLine& report)
{
    const std::wstring kept = CountList({{counts.FilesKept, L"file", L"files"},
                                         {counts.RegistryKept, L"registry value", L"registry values"},
                                         {counts.IniKept, L"INI entry", L"INI entries"}});
    if (kept.empty())
        return;
    const std::wstring line = L"Kept on removal: " + kept + L" that existed before the setup.";
    report(line);
    LogError(L"CMSIHandler::BuildMSI: " + line);
}

// Services and environment variables that Windows Installer's own tables
// carry, when the package has any.
void ReportSystemRows(const MsiBuildCounts& counts, const ReportLine& report)
{
    if (counts.ServiceRows == 0 && counts.EnvironmentRows == 0)
        return;
    report(L"Services installed through the service control manager: " + std::to_wstring(counts.ServiceRows) +
           L"; environment variable rows: " + std::to_wstring(counts.EnvironmentRows) + L".");
}

} // namespace

// The console lines and exit code of a finished build: 0 when everything of
// the project went into the package, 3 when something was left out.
int ReportBuilt(CUIManager& manager, const std::wstring& packageLine, const ReportLine& report)
{
    report(packageLine);
    ReportPlatform(manager.Builder(), report);
    const MsiBuildCounts& counts = manager.Builder().Counts();
    ReportKept(counts, report);
    ReportSystemRows(counts, report);
    const std::wstring leftOut = CountList({{counts.FilesLeftOut, L"file", L"files"},
                                            {counts.FoldersLeftOut, L"folder", L"folders"},
                                            {counts.RegistryLeftOut, L"registry value", L"registry values"},
                                            {counts.OtherLeftOut, L"other item", L"other items"},
                                            {counts.RejectedRows, L"table row", L"table rows"}});
    if (leftOut.empty())
        return ExitSuccess;
    report(L"Left out: " + leftOut + L" (see the error log).");
    return ExitIncomplete;
}

void ReportWixSource(CUIManager& manager, const ReportLine& report)
{
    const std::wstring package = manager.Builder().PackagePath();
    const std::wstring source = WixSourcePath(package);
    if (const Result written = WriteWixSource(package, manager.Builder().Sources(), source); !written) {
        report(L"The WiX source could not be written (the package is good): " + written.Text());
        return;
    }
    report(L"WiX source: " + source);
}

} // namespace commandline
