#include "ui/dialogs/ShortcutDlg.h"

#include "ui/framework/UiServices.h"
#include "ui/wizard/Resource.h"

namespace {

constexpr wchar_t IconFilter[] = L"Icon Files(*.exe;*.dll;*.ico)|*.exe;*.dll;*.ico||";
constexpr int IconSize = 32;

} // namespace

CShortcutDlg::CShortcutDlg(const std::wstring& name, const std::wstring& iconSource)
    : CDialog(IDD_SHORTCUT), m_name(name), m_iconSource(iconSource)
{
}

CShortcutDlg::CShortcutDlg(const ShortcutEntry& entry)
    : CDialog(IDD_SHORTCUT), m_name(entry.name), m_iconSource(entry.iconSource), m_desktop(entry.desktop),
      m_programMenu(entry.programMenu), m_quickLaunch(entry.quickLaunch), m_editing(true),
      m_storedIndex(entry.iconIndex), m_selected(entry.iconIndex)
{
}

CShortcutDlg::~CShortcutDlg()
{
    if (m_preview)
        DestroyIcon(m_preview);
    if (m_images)
        ImageList_Destroy(m_images);
}

void CShortcutDlg::DoDataExchange(CDataExchange& exchange)
{
    exchange.Text(IDC_SHORTCUT_NAME, m_name);
    exchange.Text(IDC_ICON_SOURCE, m_iconSource);
    exchange.Check(IDC_SHORTCUT_DESKTOP, m_desktop);
    exchange.Check(IDC_SHORTCUT_PROGRAM_MENU, m_programMenu);
    exchange.Check(IDC_SHORTCUT_QUICK_LAUNCH, m_quickLaunch);
}

BOOL CShortcutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    // Every text of the dialog, the labels included, in the dialog font.
    for (HWND child = GetWindow(Window(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), FALSE);
    SendMessageW(Item(IDC_SHORTCUT_NAME), EM_LIMITTEXT, 50, 0);
    SendMessageW(Item(IDC_ICON_SOURCE), EM_LIMITTEXT, 260, 0);

    m_images = ImageList_Create(IconSize, IconSize, ILC_COLOR32 | ILC_MASK, 4, 4);
    HWND list = Item(IDC_ICON_LIST);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(m_images));
    SendMessageW(list, LVM_SETICONSPACING, 0, MAKELPARAM(52, 52));
    FillIconList(m_iconSource);
    return TRUE;
}

void CShortcutDlg::FillIconList(const std::wstring& source)
{
    HWND list = Item(IDC_ICON_LIST);
    m_filling = true;
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    if (m_images)
        ImageList_RemoveAll(m_images);
    m_iconCount = CountIcons(source);
    for (int i = 0; i < m_iconCount; ++i) {
        HICON icon = ExtractIconAt(source, i);
        const int image = icon && m_images ? ImageList_AddIcon(m_images, icon) : -1;
        if (icon)
            DestroyIcon(icon);
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        item.iImage = image;
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    }
    m_filling = false;

    int selected = m_editing ? m_storedIndex : 0;
    if (selected < 0 || selected >= m_iconCount)
        selected = m_iconCount > 0 ? 0 : -1;
    SelectIcon(selected);
}

void CShortcutDlg::SelectIcon(int index)
{
    m_selected = index;
    if (index >= 0 && !m_filling) {
        m_filling = true;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(Item(IDC_ICON_LIST), LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(&item));
        m_filling = false;
    }
    ShowPreview();
}

void CShortcutDlg::ShowPreview()
{
    HICON icon = nullptr;
    const std::wstring source = TrimText(ItemText(IDC_ICON_SOURCE));
    switch (ClassifyIconSource(source)) {
    case IconSourceKind::Program:
        icon = ExtractIconAt(source, m_selected);
        break;
    case IconSourceKind::IconFile:
        icon = static_cast<HICON>(LoadImageW(nullptr, source.c_str(), IMAGE_ICON, IconSize, IconSize, LR_LOADFROMFILE));
        break;
    case IconSourceKind::None:
        break;
    }
    SendMessageW(Item(IDC_ICON_PREVIEW), STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    if (m_preview)
        DestroyIcon(m_preview);
    m_preview = icon;
    RepaintItem(IDC_ICON_PREVIEW);
}

void CShortcutDlg::OnBrowse()
{
    const std::wstring chosen = TrimText(ShowFileOpenDialog(Window(), IconFilter));
    if (chosen.empty())
        return;
    SetItemText(IDC_ICON_SOURCE, chosen);
    if (chosen.find(L".ico") != std::wstring::npos)
        m_storedIndex = 0;
    FillIconList(chosen);
}

bool CShortcutDlg::OnCommand(WORD controlId, WORD code, HWND)
{
    if (controlId == IDC_ICON_BROWSE && code == BN_CLICKED) {
        OnBrowse();
        return true;
    }
    if (controlId == IDC_ICON_SOURCE && code == EN_KILLFOCUS) {
        FillIconList(TrimText(ItemText(IDC_ICON_SOURCE)));
        return true;
    }
    return false;
}

INT_PTR CShortcutDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, bool& handled)
{
    if (message != WM_NOTIFY)
        return 0;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_ICON_LIST && header->code == LVN_ITEMCHANGED && !m_filling) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        if ((change->uChanged & LVIF_STATE) && (change->uNewState & LVIS_SELECTED) &&
            !(change->uOldState & LVIS_SELECTED)) {
            m_selected = change->iItem;
            ShowPreview();
        }
        handled = true;
    }
    return 0;
}

void CShortcutDlg::OnOK()
{
    const std::wstring name = TrimText(ItemText(IDC_SHORTCUT_NAME));
    // The entries are keyed by their name: an empty one would stand for no
    // shortcut in particular (and a second one would replace the first).
    if (name.empty()) {
        ShowMessage(L"Shortcut Name can not be empty", L"Warning", MB_OK | MB_ICONWARNING);
        return;
    }
    if (m_takenNames.count(name)) {
        ShowMessage(L"A shortcut named \"" + name + L"\" exists already. Please choose another name.", L"Warning",
                    MB_OK | MB_ICONWARNING);
        return;
    }
    CDialog::OnOK();
    m_name = TrimText(m_name);
    m_iconSource = TrimText(m_iconSource);
}

void CShortcutDlg::OnDestroy()
{
    SendMessageW(Item(IDC_ICON_PREVIEW), STM_SETICON, 0, 0);
}
