#include "ui/ProjectPageControls.h"

#include "common/Config.h"
#include "common/Paths.h"
#include "common/Log.h"
#include "common/Progress.h"
#include "common/Worker.h"
#include "ui/ShortcutDlg.h"

#include <algorithm>

HIMAGELIST SetUpShortcutListView(HWND list)
{
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    HIMAGELIST icons = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                        ILC_COLOR32 | ILC_MASK, 4, 4);
    SendMessageW(list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(icons));
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
    return icons;
}

void ShowShortcutLine(HWND list, HIMAGELIST icons, const ShortcutEntry& entry, int line)
{
    int image = -1;
    const int index = ClassifyIconSource(entry.iconSource) == IconSourceKind::IconFile ? 0 : entry.iconIndex;
    if (HICON icon = ExtractIconAt(entry.iconSource, index, false)) {
        image = ImageList_AddIcon(icons, icon);
        DestroyIcon(icon);
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = line < 0 ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : line;
    item.pszText = const_cast<wchar_t*>(entry.name.c_str());
    item.iImage = image;
    if (line < 0)
        item.iItem = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    else
        SendMessageW(list, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    LVITEMW sub{};
    sub.iSubItem = 1;
    // A captured shortcut names its target by path: the column shows the file name.
    const std::wstring executable = LastPathComponent(entry.executable);
    sub.pszText = const_cast<wchar_t*>(executable.c_str());
    SendMessageW(list, LVM_SETITEMTEXTW, item.iItem, reinterpret_cast<LPARAM>(&sub));
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

bool EditShortcutLine(HWND owner, HWND list, HIMAGELIST icons, int line, ShortcutEntryMap& entries)
{
    const auto found = entries.find(ShortcutLineName(list, line));
    if (found == entries.end())
        return false;
    CShortcutDlg dialog(found->second);
    dialog.SetTakenNames(TakenShortcutNames(entries, found->first));
    if (dialog.DoModal(owner) != IDOK)
        return false;
    ShortcutEntry entry = found->second;
    entry.name = dialog.Name();
    entry.iconSource = dialog.IconSource();
    entry.iconIndex = dialog.IconIndex();
    entry.desktop = dialog.Desktop();
    entry.programMenu = dialog.ProgramMenu();
    entry.quickLaunch = dialog.QuickLaunch();
    entries.erase(found);
    entries[entry.name] = entry;
    ShowShortcutLine(list, icons, entry, line);
    return true;
}

std::optional<int> TickWorkerBar(const CWorker& worker, HWND bar, HWND detailLine, int increment)
{
    SetWindowTextW(detailLine, Progress().StatusText().c_str());
    if (worker.IsDone())
        return worker.Result();
    const int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0));
    const int next = NextMeasuredProgressPosition(position, increment, Progress().StepCount(), Progress().Share());
    if (next != position)
        SendMessageW(bar, PBM_SETPOS, next, 0);
    return std::nullopt;
}

void FillProgressBar(HWND bar)
{
    // Steps of two, set one by one: a step past the end would start the bar over.
    for (int position = static_cast<int>(SendMessageW(bar, PBM_GETPOS, 0, 0)); position < ProgressRange;) {
        position = std::min(position + 2, ProgressRange);
        SendMessageW(bar, PBM_SETPOS, position, 0);
        UpdateWindow(bar);
        Sleep(1);
    }
}

std::wstring FailureReasonText()
{
    const CFileLogSink* log = CurrentFileLog();
    const int level = log ? log->Level() : 0;
    if (log && !log->ErrorLogFile().empty())
        return L"The reason is in the error log " + log->ErrorLogFile() + L".";
    const std::wstring config = !log || log->ConfigFilePath().empty() ? ConfigFile() : log->ConfigFilePath();
    if (level == 2 || level == 3)
        return L"The error log named in section [LogFileDetails] of " + config + L" could not be opened.";
    return L"No error log is kept at LogLevel " + std::to_wstring(level) +
           L": set LogLevel=2 in section [LogFileDetails] of " + config + L" to keep one, then try again.";
}
