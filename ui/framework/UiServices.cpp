#include "ui/framework/UiServices.h"

#include "common/Log.h"
#include "common/Utf.h"

#include <commdlg.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

namespace {

MessageBoxFunction& MessageBoxSlot()
{
    static MessageBoxFunction slot;
    return slot;
}

FileOpenFunction& FileOpenSlot()
{
    static FileOpenFunction slot;
    return slot;
}

std::function<bool()>& AdministratorSlot()
{
    static std::function<bool()> slot;
    return slot;
}

FolderBrowseFunction& FolderBrowseSlot()
{
    static FolderBrowseFunction slot;
    return slot;
}

ShellLaunchFunction& ShellLaunchSlot()
{
    static ShellLaunchFunction slot;
    return slot;
}

SetupLaunchFunction& SetupLaunchSlot()
{
    static SetupLaunchFunction slot;
    return slot;
}

bool RealLaunchSetup(HWND owner, const std::wstring& file, CSetupProcess& setup)
{
    if (setup.Start(L"\"" + file + L"\"", std::wstring()))
        return true;
    // Not a program the platform starts by itself: the shell knows what opens it.
    UniqueKernelHandle process;
    if (!LaunchWithShell(owner, file, L"open", process))
        return false;
    setup.Follow(std::move(process));
    return true;
}

ProcessListFunction& ProcessListSlot()
{
    static ProcessListFunction slot;
    return slot;
}

std::wstring RealBrowseForFolder(HWND owner, const std::wstring& title)
{
    wchar_t display[MAX_PATH] = {};
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pszDisplayName = display;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return {};
    wchar_t path[MAX_PATH] = {};
    const BOOL isFolder = SHGetPathFromIDListW(chosen, path);
    CoTaskMemFree(chosen);
    return isFolder ? std::wstring(path) : std::wstring();
}

bool RealLaunchWithShell(HWND owner, const std::wstring& file, const std::wstring& verb, UniqueKernelHandle& process)
{
    process.reset();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI; // a failure is the caller's to report
    info.hwnd = owner;
    info.lpVerb = verb.c_str();
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        LogError(L"LaunchWithShell: Unable to start " + file + L" (error " + std::to_wstring(error) + L")");
        SetLastError(error);
        return false;
    }
    process.reset(info.hProcess);
    return true;
}

bool RealListProcesses(std::vector<ProcessEntry>& processes)
{
    processes.clear();
    DWORD ids[1024] = {};
    DWORD bytes = 0;
    if (!EnumProcesses(ids, sizeof ids, &bytes))
        return false;
    for (DWORD i = 0; i < bytes / sizeof(DWORD); ++i) {
        if (ids[i] == 0)
            continue;
        ProcessEntry entry{ids[i], L"<unknown>"};
        UniqueKernelHandle handle(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]));
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (handle && EnumProcessModules(handle.get(), &module, sizeof module, &needed)) {
            wchar_t name[MAX_PATH] = {};
            if (GetModuleBaseNameW(handle.get(), module, name, MAX_PATH) > 0)
                entry.name = name;
        }
        processes.push_back(std::move(entry));
    }
    return true;
}

// Reads the default value of a key below HKEY_CLASSES_ROOT; empty on failure.
std::wstring ClassesRootDefault(const std::wstring& subKey)
{
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, subKey.c_str(), nullptr, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr,
                     buffer, &size) != ERROR_SUCCESS)
        return {};
    return buffer;
}

std::wstring RealFileOpenDialog(HWND owner, const std::wstring& filter)
{
    // The filter's bars become the terminators the dialog expects.
    std::vector<wchar_t> filterText(filter.begin(), filter.end());
    for (wchar_t& c : filterText)
        if (c == L'|')
            c = L'\0';
    filterText.push_back(L'\0');
    filterText.push_back(L'\0');

    std::vector<wchar_t> file(MAX_PATH * 4, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filterText.data();
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn))
        return {};
    return file.data();
}

} // namespace

void SetMessageBoxFunction(MessageBoxFunction function)
{
    MessageBoxSlot() = std::move(function);
}

int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    if (MessageBoxSlot())
        return MessageBoxSlot()(owner, text, caption, type);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

void SetFileOpenFunction(FileOpenFunction function)
{
    FileOpenSlot() = std::move(function);
}

std::wstring ShowFileOpenDialog(HWND owner, const std::wstring& filter)
{
    if (FileOpenSlot())
        return FileOpenSlot()(owner, filter);
    return RealFileOpenDialog(owner, filter);
}

void SetFolderBrowseFunction(FolderBrowseFunction function)
{
    FolderBrowseSlot() = std::move(function);
}

std::wstring BrowseForFolder(HWND owner, const std::wstring& title)
{
    if (FolderBrowseSlot())
        return FolderBrowseSlot()(owner, title);
    return RealBrowseForFolder(owner, title);
}

void SetShellLaunchFunction(ShellLaunchFunction function)
{
    ShellLaunchSlot() = std::move(function);
}

bool LaunchWithShell(HWND owner, const std::wstring& file, const std::wstring& verb, UniqueKernelHandle& process)
{
    if (ShellLaunchSlot())
        return ShellLaunchSlot()(owner, file, verb, process);
    return RealLaunchWithShell(owner, file, verb, process);
}

void SetSetupLaunchFunction(SetupLaunchFunction function)
{
    SetupLaunchSlot() = std::move(function);
}

bool LaunchSetup(HWND owner, const std::wstring& file, CSetupProcess& setup)
{
    if (SetupLaunchSlot())
        return SetupLaunchSlot()(owner, file, setup);
    return RealLaunchSetup(owner, file, setup);
}

void OpenWithHtmHandler(const std::wstring& address)
{
    const std::wstring htmClass = ClassesRootDefault(L".htm");
    if (htmClass.empty())
        return;
    std::wstring command = ClassesRootDefault(htmClass + L"\\shell\\open\\command");
    if (command.empty())
        return;
    std::size_t cut = command.find(L"\"%1\"");
    if (cut == std::wstring::npos)
        cut = command.find(L"%1");
    if (cut != std::wstring::npos)
        command.erase(cut);
    command += L" " + address;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void SetProcessListFunction(ProcessListFunction function)
{
    ProcessListSlot() = std::move(function);
}

bool ListProcesses(std::vector<ProcessEntry>& processes)
{
    if (ProcessListSlot())
        return ProcessListSlot()(processes);
    return RealListProcesses(processes);
}

bool IsUserAdministrator()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    const BOOL asked = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    return asked && member;
}

void SetAdministratorCheck(std::function<bool()> check)
{
    AdministratorSlot() = std::move(check);
}

bool CheckAdministrator()
{
    if (AdministratorSlot())
        return AdministratorSlot()();
    return IsUserAdministrator();
}

HFONT DialogFont()
{
    static HFONT font = [] {
        LOGFONTW lf{};
        lf.lfHeight = -12;
        wcscpy_s(lf.lfFaceName, L"Verdana");
        HFONT created = CreateFontIndirectW(&lf);
        if (!created)
            LogError(L"DialogFont: CreateFontIndirect failed");
        return created;
    }();
    return font;
}
