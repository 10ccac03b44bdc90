#include "engine/CapturedShortcuts.h"

#include "common/Log.h"
#include "common/Result.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <algorithm>

namespace {

constexpr int TextLength = 1024; // arguments and descriptions: the shell's own limit

// COM for the span of one call, on a thread that may already have it in
// either model.
class CComForCall
{
public:
    CComForCall() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~CComForCall()
    {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    CComForCall(const CComForCall&) = delete;
    CComForCall& operator=(const CComForCall&) = delete;

private:
    HRESULT m_result;
};

std::wstring Expanded(const wchar_t* text)
{
    wchar_t buffer[MAX_PATH * 4] = {};
    const DWORD length = ExpandEnvironmentStringsW(text, buffer, MAX_PATH * 4);
    return length > 0 && length <= MAX_PATH * 4 ? std::wstring(buffer) : std::wstring(text);
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder)
{
    if (folder.empty() || path.size() <= folder.size() + 1 || path[folder.size()] != L'\\')
        return false;
    return CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                                static_cast<int>(folder.size()), TRUE) == CSTR_EQUAL;
}

bool SameText(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

// The ShowCommand field of a shell link file's 76-byte header; normal when
// the file has no such header.
int HeaderShowCommand(const std::wstring& linkPath)
{
    UniqueFile file(CreateFileW(linkPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
    unsigned char header[0x4C] = {};
    DWORD read = 0;
    if (!file || !ReadFile(file.get(), header, sizeof header, &read, nullptr) || read != sizeof header ||
        header[0] != 0x4C || header[1] != 0 || header[2] != 0 || header[3] != 0)
        return SW_SHOWNORMAL;
    const int show = header[0x3C] | header[0x3D] << 8 | header[0x3E] << 16 | header[0x3F] << 24;
    return show == SW_SHOWMAXIMIZED || show == SW_SHOWMINNOACTIVE ? show : SW_SHOWNORMAL;
}

// The Win32 code inside a COM failure of that facility, else the failure itself.
DWORD ComCode(HRESULT hr)
{
    return HRESULT_FACILITY(hr) == FACILITY_WIN32 ? static_cast<DWORD>(HRESULT_CODE(hr)) : static_cast<DWORD>(hr);
}

} // namespace

bool ReadShellLink(const std::wstring& linkPath, ShellLinkDetails& details)
{
    CComForCall com;
    Microsoft::WRL::ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(link.GetAddressOf()));
    if (FAILED(hr)) {
        LogError(Result::Win32(ComCode(hr), L"ReadShellLink: Unable to create the shell link object for " + linkPath)
                     .Text());
        return false;
    }
    Microsoft::WRL::ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.GetAddressOf()));
    if (SUCCEEDED(hr))
        hr = file->Load(linkPath.c_str(), STGM_READ);
    if (FAILED(hr)) {
        LogError(Result::Win32(ComCode(hr), L"ReadShellLink: Unable to load " + linkPath).Text());
        return false;
    }
    wchar_t text[TextLength + 1] = {};
    details = ShellLinkDetails{};
    // The raw path: the stored one, not resolved against this machine.
    if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH)))
        details.Target = Expanded(text);
    text[0] = L'\0';
    if (SUCCEEDED(link->GetArguments(text, TextLength)))
        details.Arguments = text;
    text[0] = L'\0';
    if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH)))
        details.WorkingFolder = Expanded(text);
    text[0] = L'\0';
    if (SUCCEEDED(link->GetDescription(text, TextLength)))
        details.Description = text;
    text[0] = L'\0';
    int index = 0;
    if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &index)) && text[0]) {
        details.IconPath = Expanded(text);
        details.IconIndex = index;
    }
    int show = SW_SHOWNORMAL;
    if (SUCCEEDED(link->GetShowCmd(&show)))
        details.ShowCommand = show;
    // Some link objects give every link the normal window; the file's header
    // (its ShowCommand field at offset 0x3C) says what the setup chose.
    if (details.ShowCommand == SW_SHOWNORMAL)
        details.ShowCommand = HeaderShowCommand(linkPath);
    return true;
}

std::vector<ShortcutPlace> ShortcutPlacesOfThisMachine()
{
    const std::pair<int, const wchar_t*> folders[] = {
        {CSIDL_PROGRAMS, L"ProgramMenuFolder"},        {CSIDL_COMMON_PROGRAMS, L"ProgramMenuFolder"},
        {CSIDL_STARTMENU, L"StartMenuFolder"},         {CSIDL_COMMON_STARTMENU, L"StartMenuFolder"},
        {CSIDL_DESKTOPDIRECTORY, L"DesktopFolder"},    {CSIDL_COMMON_DESKTOPDIRECTORY, L"DesktopFolder"},
    };
    std::vector<ShortcutPlace> places;
    wchar_t path[MAX_PATH] = {};
    for (const auto& [id, property] : folders)
        if (SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK && path[0])
            places.push_back({path, property});
    if (SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK && path[0])
        places.push_back({std::wstring(path) + L"\\Microsoft\\Internet Explorer\\Quick Launch", L"QuickLaunchFolder"});
    // Deepest first, so that a Programs folder wins over the Start menu holding it.
    std::stable_sort(places.begin(), places.end(),
                     [](const ShortcutPlace& a, const ShortcutPlace& b) { return a.Folder.size() > b.Folder.size(); });
    return places;
}

bool FindShortcutPlace(const std::vector<ShortcutPlace>& places, const std::wstring& linkPath,
                       std::wstring& property, std::wstring& subfolder)
{
    for (const ShortcutPlace& place : places) {
        if (!StartsWithFolder(linkPath, place.Folder))
            continue;
        property = place.Property;
        const std::wstring rest = linkPath.substr(place.Folder.size() + 1);
        const auto slash = rest.find_last_of(L'\\');
        subfolder = slash == std::wstring::npos ? std::wstring() : rest.substr(0, slash);
        return true;
    }
    return false;
}

CapturedShortcutResult ShortcutsFromLinks(const std::vector<std::wstring>& links,
                                          const std::vector<ShortcutPlace>& places,
                                          const std::vector<std::wstring>& capturedFiles)
{
    CapturedShortcutResult result;
    for (const std::wstring& link : links) {
        std::wstring property, subfolder;
        if (!FindShortcutPlace(places, link, property, subfolder))
            continue;
        ShellLinkDetails details;
        if (!ReadShellLink(link, details)) {
            result.LeftOut.push_back(link);
            continue;
        }
        const auto target = std::find_if(capturedFiles.begin(), capturedFiles.end(),
                                         [&](const std::wstring& file) { return SameText(file, details.Target); });
        if (target == capturedFiles.end()) {
            LogError(L"ShortcutsFromLinks: " + link + L" points to " + details.Target +
                     L", which was not captured; left out");
            result.LeftOut.push_back(link);
            continue;
        }
        std::wstring name = link.substr(link.find_last_of(L'\\') + 1);
        if (name.size() > 4 && SameText(name.substr(name.size() - 4), L".lnk"))
            name.resize(name.size() - 4);
        ShortcutRecord record{name, *target, property, details.IconPath,
                              details.IconPath.empty() ? std::wstring() : std::to_wstring(details.IconIndex)};
        record.Subfolder = subfolder;
        record.Arguments = details.Arguments;
        record.WorkingFolder = details.WorkingFolder;
        record.Description = details.Description;
        if (details.ShowCommand == SW_SHOWMAXIMIZED || details.ShowCommand == SW_SHOWMINNOACTIVE)
            record.ShowCommand = std::to_wstring(details.ShowCommand);
        result.Shortcuts.push_back(std::move(record));
    }
    return result;
}

void MergeShortcuts(ShortcutList& list, const ShortcutList& captured)
{
    for (const ShortcutRecord& record : captured) {
        const auto same = std::find_if(list.begin(), list.end(), [&](const ShortcutRecord& held) {
            return held.Name == record.Name && held.Directory == record.Directory && held.Subfolder == record.Subfolder;
        });
        if (same != list.end())
            *same = record;
        else
            list.push_back(record);
    }
}
