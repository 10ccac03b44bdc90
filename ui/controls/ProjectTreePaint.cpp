// The drawing of the project tree: the default tree painted into an
// off-screen bitmap, the coloured labels drawn over it, and the bitmap
// copied to the screen at once.
#include "ui/controls/ProjectTreeCtrl.h"

void CProjectTreeCtrl::PaintInto(HDC dc)
{
    RECT client{};
    GetClientRect(m_tree, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    SendMessageW(m_tree, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);

    const bool focused = GetFocus() == m_tree;
    HFONT treeFont = reinterpret_cast<HFONT>(SendMessageW(m_tree, WM_GETFONT, 0, 0));
    if (!treeFont)
        treeFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const int visible = static_cast<int>(SendMessageW(m_tree, TVM_GETVISIBLECOUNT, 0, 0)) + 1;
    HTREEITEM item = TreeView_GetFirstVisible(m_tree);
    for (int i = 0; i < visible && item; ++i, item = TreeView_GetNextVisible(m_tree, item)) {
        const auto entry = m_colors.find(item);
        if (entry == m_colors.end())
            continue;
        const UINT state = static_cast<UINT>(SendMessageW(m_tree, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                                          TVIS_SELECTED | TVIS_DROPHILITED | TVIS_BOLD));
        if ((state & (TVIS_SELECTED | TVIS_DROPHILITED)) && focused)
            continue;
        LOGFONTW logFont = entry->second.Font;
        if (!logFont.lfFaceName[0])
            GetObjectW(treeFont, sizeof(logFont), &logFont);
        if (state & TVIS_BOLD)
            logFont.lfWeight = FW_BOLD;
        HFONT font = CreateFontIndirectW(&logFont);
        HGDIOBJ oldFont = SelectObject(dc, font);
        const COLORREF color =
            entry->second.Color == DefaultColor ? GetSysColor(COLOR_WINDOWTEXT) : entry->second.Color;
        SetTextColor(dc, color);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetBkMode(dc, OPAQUE);
        RECT label{};
        if (LabelRect(item, label)) {
            const std::wstring text = TextOf(item);
            ExtTextOutW(dc, label.left + 2, label.top + 1, ETO_OPAQUE, &label, text.c_str(),
                        static_cast<UINT>(text.size()), nullptr);
        }
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
}

void CProjectTreeCtrl::Paint()
{
    PAINTSTRUCT paint{};
    HDC screen = BeginPaint(m_tree, &paint);
    RECT client{};
    GetClientRect(m_tree, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width > 0 ? width : 1, height > 0 ? height : 1);
    HGDIOBJ old = SelectObject(memory, bitmap);
    PaintInto(memory);
    BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(m_tree, &paint);
}
