#include "ui/controls/ShortcutListEditor.h"

#include "ui/dialogs/ShortcutDlg.h"

#include <algorithm>

CShortcutListEditor::~CShortcutListEditor()
{
    if (m_icons)
        ImageList_Destroy(m_icons);
}

void CShortcutListEditor::Attach(HWND list)
{
    m_list = list;
    // The list would destroy an image list it owns with its window; the
    // editor keeps it instead, so that it is destroyed exactly once.
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    if (m_icons)
        ImageList_Destroy(m_icons);
    m_icons = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK,
                               4, 4);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(m_icons));
    RECT client{};
    GetClientRect(list, &client);
    const int width = client.right - client.left;
    const wchar_t* titles[] = {L"Shortcut Name", L"Exe name"};
    for (int i = 0; i < 2; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(titles[i]);
        column.cx = i == 0 ? width / 2 : width - width / 2 - 4;
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void CShortcutListEditor::ShowEntries(ShortcutEntryMap entries)
{
    m_entries = std::move(entries);
    SendMessageW(m_list, LVM_DELETEALLITEMS, 0, 0);
    ImageList_RemoveAll(m_icons);
    for (const auto& [name, entry] : m_entries)
        ShowLine(entry, -1);
}

void CShortcutListEditor::Add(const ShortcutEntry& entry)
{
    m_entries[entry.name] = entry;
    ShowLine(entry, -1);
}

void CShortcutListEditor::ShowLine(const ShortcutEntry& entry, int line)
{
    int image = -1;
    const int index = ClassifyIconSource(entry.iconSource) == IconSourceKind::IconFile ? 0 : entry.iconIndex;
    if (HICON icon = ExtractIconAt(entry.iconSource, index, false)) {
        image = ImageList_AddIcon(m_icons, icon);
        DestroyIcon(icon);
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = line < 0 ? static_cast<int>(SendMessageW(m_list, LVM_GETITEMCOUNT, 0, 0)) : line;
    item.pszText = const_cast<wchar_t*>(entry.name.c_str());
    item.iImage = image;
    if (line < 0)
        item.iItem = static_cast<int>(SendMessageW(m_list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    else
        SendMessageW(m_list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    LVITEMW sub{};
    sub.iSubItem = 1;
    // A captured shortcut names its target by path: the column shows the file name.
    const std::wstring executable = LastPathComponent(entry.executable);
    sub.pszText = const_cast<wchar_t*>(executable.c_str());
    SendMessageW(m_list, LVM_SETITEMTEXTW, item.iItem, reinterpret_cast<LPARAM>(&sub));
}

bool CShortcutListEditor::AddWithDialog(HWND owner, const std::wstring& executable, const std::wstring& iconSource)
{
    for (const auto& [key, entry] : m_entries)
        if (LastPathComponent(entry.executable) == executable)
            return false;
    CShortcutDlg dialog(DefaultShortcutName(executable), iconSource);
    dialog.SetTakenNames(TakenShortcutNames(m_entries));
    if (dialog.DoModal(owner) != IDOK)
        return false;
    Add({dialog.Name(), executable, dialog.IconSource(), dialog.IconIndex(), dialog.Desktop(), dialog.ProgramMenu(),
         dialog.QuickLaunch()});
    return true;
}

bool CShortcutListEditor::EditLine(HWND owner, int line)
{
    const auto found = m_entries.find(ShortcutLineName(m_list, line));
    if (found == m_entries.end())
        return false;
    CShortcutDlg dialog(found->second);
    dialog.SetTakenNames(TakenShortcutNames(m_entries, found->first));
    if (dialog.DoModal(owner) != IDOK)
        return false;
    ShortcutEntry entry = found->second;
    entry.name = dialog.Name();
    entry.iconSource = dialog.IconSource();
    entry.iconIndex = dialog.IconIndex();
    entry.desktop = dialog.Desktop();
    entry.programMenu = dialog.ProgramMenu();
    entry.quickLaunch = dialog.QuickLaunch();
    m_entries.erase(found);
    m_entries[entry.name] = entry;
    ShowLine(entry, line);
    return true;
}

std::optional<int> CShortcutListEditor::DoubleClickedLine(const NMHDR& header) const
{
    if (header.hwndFrom != m_list || header.code != NM_DBLCLK)
        return std::nullopt;
    return reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
}

std::wstring ShortcutLineName(HWND list, int line)
{
    // The message answers with the length it copied: a buffer it filled may
    // have cut the text, so read again with a larger one.
    for (std::size_t size = 64;; size *= 2) {
        std::wstring text(size, L'\0');
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(size);
        const auto length =
            static_cast<std::size_t>(SendMessageW(list, LVM_GETITEMTEXTW, line, reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < size || size >= 32768) {
            text.resize(std::min(length, size - 1));
            return text;
        }
    }
}
