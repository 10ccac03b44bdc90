#include "manager/RunReport.h"

#include "common/FolderTokens.h"
#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "common/Wow64.h"
#include "engine/PerUserData.h"
#include "project/ProjectReaders.h"

#include <windows.h>

#include <cstdio>

namespace {

std::optional<unsigned long long> SizeOf(std::wstring path, const FolderTokenValues& tokens)
{
    ToRealPath(path, tokens);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A registry value's data as text: strings as they are (a multi-string's
// strings joined by " | "), numbers in decimal, other data as hex bytes.
std::wstring ValueText(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    const auto* chars = reinterpret_cast<const wchar_t*>(data.data());
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return std::wstring(chars, wcsnlen(chars, size / sizeof(wchar_t)));
    case REG_MULTI_SZ: {
        std::wstring text;
        for (std::size_t at = 0, count = size / sizeof(wchar_t); at < count && chars[at] != 0;) {
            const std::size_t length = wcsnlen(chars + at, count - at);
            text += (text.empty() ? L"" : L" | ") + std::wstring(chars + at, length);
            at += length + 1;
        }
        return text;
    }
    case REG_DWORD:
        if (size >= 4)
            return std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()));
        break;
    case REG_QWORD:
        if (size >= 8)
            return std::to_wstring(*reinterpret_cast<const unsigned long long*>(data.data()));
        break;
    default:
        break;
    }
    std::wstring hex;
    for (DWORD i = 0; i < size; ++i) {
        wchar_t pair[4];
        std::swprintf(pair, 4, i == 0 ? L"%02x" : L" %02x", data[i]);
        hex += pair;
    }
    return hex;
}

// Fills the data of the values the project file names without it, as the
// machine has them now (the build reads them the same way).
void ReadRegistryData(ProjectModel& model, bool x64)
{
    for (RegistryChangeMap& map : model.Changes.RegistryMaps)
        for (auto& [path, values] : map) {
            const auto slash = path.find(L'\\');
            const auto hive = HiveNames().find(path.substr(0, slash));
            UniqueHKey key;
            if (hive == HiveNames().end() ||
                RegOpenKeyExW(hive->second, slash == std::wstring::npos ? L"" : path.c_str() + slash + 1, 0,
                              KEY_READ | (x64 ? KEY_WOW64_64KEY : 0), key.put()) != ERROR_SUCCESS)
                continue;
            for (RegistryChangeEntry& value : values) {
                if (value.ValueName.empty() || !value.Data.empty())
                    continue;
                std::wstring name = value.ValueName == L"@" ? L"" : value.ValueName;
                if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"')
                    name = name.substr(1, name.size() - 2);
                DWORD type = 0, size = 0;
                if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
                    continue;
                std::vector<BYTE> data(size + 2 * sizeof(wchar_t));
                if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS)
                    value.Data = ValueText(type, data, size);
            }
        }
}

std::wstring WindowsVersion()
{
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    const auto rtlGetVersion = reinterpret_cast<GetVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    if (!rtlGetVersion || rtlGetVersion(&info) != 0)
        return L"Windows (version unknown)";
    return L"Windows " + std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) +
           L" (build " + std::to_wstring(info.dwBuildNumber) + L")";
}

std::wstring TokenForm(std::wstring path, const FolderTokenValues& tokens)
{
    ToTokenPath(path, tokens);
    return path;
}

// The changes taken out on the review pages and by the clean capture, with
// their descriptions, and the links the capture did not make shortcuts of.
std::vector<ReportExclusion> Exclusions(CUIManager& manager, const Session& session)
{
    std::vector<ReportExclusion> excluded;
    for (const ExcludedChange<std::wstring>& change : session.ExcludedFiles.Changes()) {
        if (change.WholeKey)
            excluded.push_back({L"Folder", TokenForm(change.Key, session.Tokens), change.Description});
        else
            for (const std::wstring& file : change.Entries)
                excluded.push_back({L"File", TokenForm(file, session.Tokens), change.Description});
    }
    for (const ExcludedChange<RegistryChangeEntry>& change : session.ExcludedRegistry.Changes()) {
        if (change.WholeKey || change.Entries.empty())
            excluded.push_back({L"Registry key", change.Key, change.Description});
        else
            for (const RegistryChangeEntry& value : change.Entries)
                excluded.push_back({L"Registry value", change.Key + L" " + value.ValueName, change.Description});
    }
    for (const std::wstring& link : manager.Coordinator().CapturedShortcuts().LeftOut)
        excluded.push_back({L"Shortcut", TokenForm(link, session.Tokens), L"Its target is not a captured file."});
    return excluded;
}

} // namespace

Result WriteRunReport(CUIManager& manager, const Session& session, const std::wstring& projectFile, bool built,
                      std::wstring& reportPath)
{
    CaptureReportInput input;
    XmlDocument document;
    if (Result loaded = document.Load(projectFile); !loaded) {
        reportPath.clear();
        LogError(L"WriteRunReport: " + loaded.Text());
        return loaded;
    }
    input.Project = ReadProjectModel(document, session.Tokens);
    input.ProjectFile = projectFile;
    CMSIHandler& builder = manager.Builder();
    input.Windows64 = IsWow64Windows();
    input.WindowsVersion = WindowsVersion();
    input.Steps = session.Capture;
    input.Excluded = Exclusions(manager, session);
    if (session.Capture.Durations[CaptureRecord::Index(CaptureStep::Comparison)]) {
        const PerUserDataCount perUser = manager.Coordinator().PerUserData();
        if (perUser.files + perUser.values > 0)
            input.Warnings.push_back(PerUserDataLine(perUser));
    }
    if (built) {
        input.PackageFile = builder.PackagePath();
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(input.PackageFile.c_str(), GetFileExInfoStandard, &data))
            input.PackageSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        input.Platform = builder.Counts().Platform;
        input.UpgradeCode = builder.UpgradeCode();
        input.ProductCode = builder.ProductCode();
        input.LeftOut = builder.LeftOutItems();
        input.Warnings.insert(input.Warnings.end(), builder.BuildNotes().begin(), builder.BuildNotes().end());
    }
    ReadRegistryData(input.Project, input.Project.Product.Platform == L"x64");
    input.FileSize = [&tokens = session.Tokens](const std::wstring& path) { return SizeOf(path, tokens); };
    reportPath = builder.PackagePath().empty()
                     ? CaptureReportPath(projectFile.substr(0, projectFile.find_last_of(L'\\') + 1) +
                                         PlainNameFromProduct(input.Project.Product.ApplicationName))
                     : CaptureReportPath(builder.PackagePath());
    return WriteCaptureReport(input, reportPath);
}
