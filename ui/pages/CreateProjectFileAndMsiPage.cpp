#include "ui/pages/CreateProjectFileAndMsiPage.h"

#include "common/Config.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/FailureReason.h"
#include "ui/wizard/Resource.h"

#include <algorithm>
#include <optional>

namespace {

constexpr wchar_t Header[] =
    L"This screen allows you to choose shortcuts to be installed for the listed executables. Choose an executable "
    L"and then use the Select button to specify an alternate icon, shortcut name. You can subsequently edit these by "
    L"clicking on the shortcut name.You may also choose the target path, project name, and MSI file name.";
constexpr wchar_t CreatingText[] = L"Corvane Repackager is now creating project file.";
constexpr wchar_t CreatedText[] = L"Successfully created project file";
constexpr wchar_t BuildingText[] = L"Corvane Repackager is now building MSI setup file.";
constexpr wchar_t BuiltText[] = L"Successfully built MSI file";

constexpr int EditControls[] = {IDC_TARGET_PATH, IDC_PROJECT_FILE_NAME, IDC_MSI_NAME};

} // namespace

CCreateProjectFileMsiDlg::CCreateProjectFileMsiDlg(Session& session, CUIManager& manager)
    : CPropertyPage(IDD_CREATE_PROJECT, L"Corvane Repackager 1.0: Create Project File and MSI"),
      m_session(session), m_manager(manager),
      m_run(*this, session.Progress, IDC_PROJECT_PROGRESS, IDC_PROJECT_DETAIL, 50)
{
}

BOOL CCreateProjectFileMsiDlg::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    for (int id : {IDC_DESCRIPTION, IDC_SELECT_SHORTCUT, IDC_SHORTCUT_LIST, IDC_PROJECT_STATUS, IDC_PROJECT_DETAIL,
                   IDC_TARGET_PATH_LABEL, IDC_PROJECT_FILE_LABEL, IDC_MSI_NAME_LABEL, IDC_TARGET_PATH,
                   IDC_PROJECT_FILE_NAME, IDC_MSI_NAME, IDC_BUILD_MSI_CHECK, IDC_CREATE_PROJECT})
        SetItemFont(id, DialogFont());
    SetItemText(IDC_DESCRIPTION, Header);
    for (int id : EditControls)
        SendMessageW(Item(id), EM_LIMITTEXT, 128, 0);
    CheckDlgButton(Window(), IDC_CREATE_PROJECT, BST_CHECKED);
    CheckDlgButton(Window(), IDC_BUILD_MSI_CHECK, BST_CHECKED);

    FillExecutableCombo();
    m_shortcuts.Attach(Item(IDC_SHORTCUT_LIST));
    // The shortcuts the setup made come filled in; the user can change them.
    for (const auto& [name, entry] : EntriesFromCapturedShortcuts(Manager().Coordinator().CapturedShortcuts().Shortcuts))
        m_shortcuts.Add(entry);

    SetItemText(IDC_TARGET_PATH, m_session.Paths.OutputFolder);
    SetItemText(IDC_PROJECT_FILE_NAME, LastPathComponent(m_session.ProjectFilePath()));
    SetItemText(IDC_MSI_NAME, Manager().GetProductInfo().ApplicationName + L".msi");
    for (int id : EditControls)
        m_openingTexts[id] = ItemText(id);

    m_run.SetUpBar();
    return TRUE;
}

void CCreateProjectFileMsiDlg::CreateExecutableCombo()
{
    RECT r{15, 140, 180, 155};
    MapDialogRect(Window(), &r);
    // The drop-down part needs room below the box for a few lines.
    m_combo = CreateWindowExW(0, WC_COMBOBOXW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                              r.left, r.top, r.right - r.left, r.bottom - r.top + 120, Window(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_EXECUTABLE_COMBO)),
                              GetModuleHandleW(nullptr), nullptr);
    SendMessageW(m_combo, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont()), TRUE);
}

void CCreateProjectFileMsiDlg::FillExecutableCombo()
{
    // The captured executables, as the file writer recorded them, without
    // those the review pages or the clean-up of the capture left out.
    const CFileEnumerate& files = Manager().Coordinator().FileSide();
    const std::vector<std::wstring> executables =
        IncludedExecutables(files.AddedNotes().Executables, files.Changes().Files(ChangeOrigin::Added));
    m_executables.clear();
    if (m_combo)
        SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    if (!executables.empty() && !m_combo)
        CreateExecutableCombo();
    for (const std::wstring& path : executables) {
        const std::wstring name = LastPathComponent(path);
        SendMessageW(m_combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        m_executables[name] = path;
    }
    ShowItem(IDC_SELECT_SHORTCUT, !executables.empty());
    if (m_combo)
        ShowWindow(m_combo, executables.empty() ? SW_HIDE : SW_SHOW);
}

BOOL CCreateProjectFileMsiDlg::OnSetActive()
{
    if (m_state == State::Editing) {
        FillExecutableCombo();
        SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    }
    return CPropertyPage::OnSetActive();
}

LRESULT CCreateProjectFileMsiDlg::OnWizardBack()
{
    return IDD_REVIEW_REGISTRY;
}

bool CCreateProjectFileMsiDlg::OnCommand(WORD controlId, WORD code, HWND)
{
    if (controlId == IDC_SELECT_SHORTCUT && code == BN_CLICKED) {
        OnSelect();
        return true;
    }
    if (controlId == IDC_OPEN_REPORT && code == BN_CLICKED) {
        OpenReport(SheetWindow(), m_report.Path);
        return true;
    }
    return false;
}

INT_PTR CCreateProjectFileMsiDlg::OnMessage(UINT message, WPARAM, LPARAM lParam, bool& handled)
{
    if (message != WM_NOTIFY)
        return 0;
    if (const std::optional<int> line = m_shortcuts.DoubleClickedLine(*reinterpret_cast<const NMHDR*>(lParam))) {
        if (*line >= 0)
            OnEditShortcut(*line);
        handled = true;
    }
    return 0;
}

void CCreateProjectFileMsiDlg::OnSelect()
{
    if (!m_combo)
        return;
    const LRESULT selection = SendMessageW(m_combo, CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR)
        return;
    wchar_t text[MAX_PATH] = {};
    if (SendMessageW(m_combo, CB_GETLBTEXTLEN, selection, 0) >= MAX_PATH)
        return;
    SendMessageW(m_combo, CB_GETLBTEXT, selection, reinterpret_cast<LPARAM>(text));
    const std::wstring executable = text;
    m_shortcuts.AddWithDialog(SheetWindow(), executable, m_executables[executable]);
}

void CCreateProjectFileMsiDlg::OnEditShortcut(int line)
{
    m_shortcuts.EditLine(SheetWindow(), line);
}

bool CCreateProjectFileMsiDlg::ValidateInputs()
{
    const ProjectInputCheck check =
        CheckProjectInputs({ItemText(IDC_TARGET_PATH), ItemText(IDC_PROJECT_FILE_NAME), ItemText(IDC_MSI_NAME)});
    // Once the folder is found, the field shows it as the file system does.
    if (check.field != IDC_TARGET_PATH)
        SetItemText(IDC_TARGET_PATH, check.values.targetPath);
    if (!check.accepted) {
        ShowMessage(check.message, L"Warning", MB_OK | MB_ICONWARNING);
        SetItemText(check.field, m_openingTexts[check.field]);
        return false;
    }
    // The builder drops a shortcut whose target the package lacks: say so now.
    const ChangeSet& changes = m_session.Changes;
    if (const ShortcutEntry* orphan =
            ShortcutWithoutTarget(m_shortcuts.Entries(),
                                  {&changes.Files(ChangeOrigin::Added), &changes.Files(ChangeOrigin::Modified)},
                                  m_session.Tokens)) {
        ShowMessage(L"The shortcut \"" + orphan->name + L"\" points to " + LastPathComponent(orphan->executable) +
                        L", which is not in the project. Include the file again on the review page, or clear "
                        L"the shortcut's places by clicking on its name.",
                    L"Warning", MB_OK | MB_ICONWARNING);
        return false;
    }
    // The process-wide lists the project writer stores, made again from the
    // page's entries (the captured shortcuts among them) on every Next, so
    // that a second Next does not repeat them.
    m_session.WindowThread.AssertCurrent(L"the selected shortcuts");
    m_session.ExtractedIcons.clear();
    m_session.SelectedShortcuts.clear();
    return PrepareShortcuts(m_shortcuts.Entries(), m_session.Paths.ExtractedIconFolder, m_session.SelectedShortcuts,
                            m_session.ExtractedIcons);
}

LRESULT CCreateProjectFileMsiDlg::OnWizardNext()
{
    if (m_state != State::Editing || !ValidateInputs())
        return StayOnPage;

    const std::wstring target = TrimText(ItemText(IDC_TARGET_PATH));
    // The manager adds the run's work paths and token values.
    m_request = {target + L"\\Packages\\" + TrimText(ItemText(IDC_PROJECT_FILE_NAME)), target,
                 TrimText(ItemText(IDC_MSI_NAME)), {}, {}};
    m_session.SetProjectFilePath(m_request.Project);
    EnsureFolder(m_request.PackagesFolder());

    // A project file cut short would lose the capture: no Cancel while it is written.
    EnableSheetButton(IDCANCEL, false);
    ShowEditingControls(false);
    SetWizardButtons(PSWIZB_DISABLEDFINISH);

    SetItemText(IDC_PROJECT_STATUS, CreatingText);
    m_buildMsi = IsChecked(IDC_BUILD_MSI_CHECK);
    if (StartOperation(State::Creating))
        m_run.StartTimer();
    return StayOnPage;
}

bool CCreateProjectFileMsiDlg::StartOperation(State state)
{
    CUIManager* manager = &Manager();
    m_session.Capture.Begin(state == State::Creating ? CaptureStep::ProjectFile : CaptureStep::Package);
    // The bar's share of each step: the project writer has one, the build
    // two (the cabinet, then the tables).
    const BuildRequest request = m_request;
    const bool started = state == State::Creating
                             ? m_run.Start([manager] { return manager->CreateProjectFile() ? 1 : 0; }, ProgressRange)
                             : m_run.Start([manager, request] { return manager->BuildPackage(request) ? 1 : 0; },
                                           ProgressRange / 2);
    m_state = state;
    if (!started)
        WorkerEnded(false);
    return started;
}

void CCreateProjectFileMsiDlg::ShowEditingControls(bool editing)
{
    ShowItem(IDC_SHORTCUT_LIST, editing);
    ShowItem(IDC_PROJECT_PROGRESS, !editing);
    ShowItem(IDC_PROJECT_STATUS, true);
    ShowItem(IDC_PROJECT_DETAIL, !editing);
    EnableItem(IDC_BUILD_MSI_CHECK, editing);
    EnableItem(IDC_CREATE_PROJECT, editing);
    ShowItem(IDC_SELECT_SHORTCUT, editing && !m_executables.empty());
    ShowItem(IDC_EXECUTABLE_COMBO, editing && !m_executables.empty());
    ShowItem(IDC_DESCRIPTION, editing);
    for (int id : EditControls)
        SendMessageW(Item(id), EM_SETREADONLY, editing ? FALSE : TRUE, 0);
}

void CCreateProjectFileMsiDlg::OnTimer(UINT_PTR timerId)
{
    if (timerId != CBuildRunner::TimerId)
        return;
    switch (m_state) {
    case State::Creating:
    case State::Building:
        if (const std::optional<int> result = m_run.Tick(timerId))
            WorkerEnded(*result == 1);
        break;
    case State::ProjectCreated:
        if (GetTickCount64() >= m_buildAt) {
            SetItemText(IDC_PROJECT_STATUS, BuildingText);
            ShowItem(IDC_PROJECT_PROGRESS, true);
            StartOperation(State::Building);
        }
        break;
    default:
        break;
    }
}

void CCreateProjectFileMsiDlg::WorkerEnded(bool succeeded)
{
    m_session.Capture.End(m_state == State::Creating ? CaptureStep::ProjectFile : CaptureStep::Package);
    if (!succeeded) {
        if (m_state == State::Creating) {
            CreationFailed();
        } else {
            ShowFailure(L"The MSI file could not be built");
        }
        return;
    }
    m_run.Ended(true);
    HWND bar = Item(IDC_PROJECT_PROGRESS);
    if (m_state == State::Creating) {
        // The capture now lives in the project file (the manager cleared the
        // pending mark): Cancel during the build stops the build, and the
        // project file stays.
        m_projectCreated = true;
        EnableSheetButton(IDCANCEL, true);
        ShowItem(IDC_PROJECT_DETAIL, true);
        SetItemText(IDC_PROJECT_STATUS, CreatedText);
        ShowItem(IDC_PROJECT_PROGRESS, false);
        SendMessageW(bar, PBM_SETPOS, 0, 0);
        if (m_buildMsi) {
            // A moment to read the message before the build starts.
            m_state = State::ProjectCreated;
            m_buildAt = GetTickCount64() + 500;
            return;
        }
    } else {
        SetItemText(IDC_PROJECT_STATUS, BuiltText);
        ShowItem(IDC_PROJECT_PROGRESS, false);
    }
    ShowReport(m_state == State::Building);
    m_state = State::Finished;
    m_run.StopTimer();
    SetWizardButtons(PSWIZB_FINISH);
}

void CCreateProjectFileMsiDlg::ShowReport(bool built)
{
    m_report = WriteReportForPage(Manager(), m_session, m_request.Project, built);
    SetItemText(IDC_REPORT_TEXT, m_report.Text);
    ShowItem(IDC_REPORT_TEXT, true);
    ShowItem(IDC_OPEN_REPORT, !m_report.Path.empty());
}

void CCreateProjectFileMsiDlg::ShowFailure(const std::wstring& what)
{
    m_run.StopTimer();
    m_state = State::Failed;
    m_run.Ended(false);
    SetItemText(IDC_PROJECT_DETAIL, L"");
    ShowItem(IDC_PROJECT_PROGRESS, false);
    SetItemText(IDC_PROJECT_STATUS, what + L". " + FailureReasonText(m_session.Paths.ConfigFilePath));
    SetWizardButtons(PSWIZB_FINISH);
    EnableSheetButton(IDCANCEL, true);
}

void CCreateProjectFileMsiDlg::CreationFailed()
{
    m_run.StopTimer();
    m_state = State::Editing;
    m_run.Ended(false);
    SetItemText(IDC_PROJECT_DETAIL, L"");
    SendMessageW(Item(IDC_PROJECT_PROGRESS), PBM_SETPOS, 0, 0);
    ShowEditingControls(true);
    const std::wstring text =
        L"The project file " + m_session.ProjectFilePath() + L" could not be created. " +
        FailureReasonText(m_session.Paths.ConfigFilePath) +
        L" Nothing was deleted and the capture stays pending: press Next to try again, or Cancel; the next start "
        L"of Corvane Repackager offers to continue it.";
    SetItemText(IDC_PROJECT_STATUS, text);
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    EnableSheetButton(IDCANCEL, true);
    ShowMessage(text, L"Error", MB_OK | MB_ICONERROR);
}

BOOL CCreateProjectFileMsiDlg::OnWizardFinish()
{
    m_run.StopTimer();
    // Without a project file the capture stays pending, as Cancel leaves it.
    if (m_projectCreated)
        m_manager.Uninitialize();
    return TRUE;
}

void CCreateProjectFileMsiDlg::OnDestroy()
{
    m_run.StopTimer();
    m_combo = nullptr;
}
