#include "ui/UiServices.h"

#include "common/Log.h"

#include <commdlg.h>

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
            LogError("DialogFont: CreateFontIndirect failed");
        return created;
    }();
    return font;
}
