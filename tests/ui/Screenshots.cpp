// Pictures of the wizard: every page that exists, the states of the basic
// information page, of the capture pages and of the existing-project road,
// each of their message boxes drawn as a real message box, the installer
// warning and the About box; one PNG each in the folder given as the argument.
#include "common/ComScope.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"
#include "project/Base64.h"
#include "tests/ui/WizardHarness.h"
#include "ui/dialogs/AboutDlg.h"
#include "ui/dialogs/AdvanceSheet.h"
#include "ui/dialogs/WarningMSIDetected.h"
#include "ui/framework/BrowseDialogs.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/BuildMsiPage.h"
#include "ui/pages/CreateProjectFileAndMsiPage.h"
#include "ui/pages/CreateProjectFileAndMsiRules.h"
#include "ui/pages/PackageContentReviewPage.h"
#include "ui/wizard/Resource.h"

#include <ole2.h>
#include <wincodec.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring g_folder;
int g_count = 0;
std::wstring g_messageName;

// {CACAF262-9370-4615-A13B-9F5539DA4C0A}
constexpr CLSID WicFactoryId = {0xCACAF262, 0x9370, 0x4615, {0xA1, 0x3B, 0x9F, 0x55, 0x39, 0xDA, 0x4C, 0x0A}};
// {1B7CFAF4-713F-473C-BBCD-6137425FAEAF}
constexpr GUID PngFormat = {0x1B7CFAF4, 0x713F, 0x473C, {0xBB, 0xCD, 0x61, 0x37, 0x42, 0x5F, 0xAE, 0xAF}};
// {6FDDC324-4E03-4BFE-B185-3D77768DC90C}
constexpr GUID Bgr24 = {0x6FDDC324, 0x4E03, 0x4BFE, {0xB1, 0x85, 0x3D, 0x77, 0x76, 0x8D, 0xC9, 0x0C}};

template <class T> void Release(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

bool SavePng(HBITMAP bitmap, int width, int height, const std::wstring& path)
{
    IWICImagingFactory* factory = nullptr;
    IWICBitmap* source = nullptr;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    IPropertyBag2* properties = nullptr;
    HRESULT hr = CoCreateInstance(WicFactoryId, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr))
        hr = factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &source);
    if (SUCCEEDED(hr))
        hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr))
        hr = factory->CreateEncoder(PngFormat, nullptr, &encoder);
    if (SUCCEEDED(hr))
        hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr))
        hr = encoder->CreateNewFrame(&frame, &properties);
    if (SUCCEEDED(hr))
        hr = frame->Initialize(properties);
    if (SUCCEEDED(hr))
        hr = frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
    WICPixelFormatGUID format = Bgr24;
    if (SUCCEEDED(hr))
        hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr))
        hr = frame->WriteSource(source, nullptr);
    if (SUCCEEDED(hr))
        hr = frame->Commit();
    if (SUCCEEDED(hr))
        hr = encoder->Commit();
    Release(properties);
    Release(frame);
    Release(encoder);
    Release(stream);
    Release(source);
    Release(factory);
    return SUCCEEDED(hr);
}

// Copies the window as it is on the screen.
void Capture(HWND window, const std::wstring& name)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    PumpMessages();
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    wchar_t prefix[8];
    swprintf(prefix, 8, L"%02d_", ++g_count);
    const std::wstring path = g_folder + L"\\" + prefix + name + L".png";
    if (!SavePng(bitmap, width, height, path))
        fwprintf(stderr, L"could not write %ls\n", path.c_str());
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (IsWindowVisible(window) && std::wstring(name) == L"#32770" && GetDlgItem(window, 0xFFFF)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Runs inside the message box's own loop: pictures it and answers it.
void CALLBACK CaptureMessageBox(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindMessageBox, reinterpret_cast<LPARAM>(&box));
    if (!box)
        return;
    KillTimer(nullptr, timer);
    Capture(box, g_messageName);
    const int button = GetDlgItem(box, IDYES) ? IDYES : IDOK;
    PostMessageW(box, WM_COMMAND, button, 0);
}

int RealMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    SetTimer(nullptr, 0, 300, CaptureMessageBox);
    return MessageBoxW(owner, text.c_str(), caption.c_str(), type);
}

void Settle(WizardDriver& w)
{
    WaitUntil([] { return false; }, 400);
    (void)w;
}

void TypeProduct(WizardDriver& w, const wchar_t* name, const wchar_t* version, const wchar_t* company)
{
    w.Type(IDC_APPLICATION_NAME, name);
    w.Type(IDC_VERSION, version);
    w.Type(IDC_COMPANY_NAME, company);
}

// The included lists of the include/exclude file beside the program.
void WriteIncludedLists(const WizardEnvironment& environment, Session& session, const std::vector<std::wstring>& folders,
                        const std::vector<std::wstring>& keys)
{
    std::wstring xml = L"<?xml version=\"1.0\" encoding=\"UTF-8\"?><IncludeExclude><FileSystem><IncludedItems>";
    for (const std::wstring& folder : folders)
        xml += L"<IncludedEntry Name=\"" + folder + L"\"/>";
    xml += L"</IncludedItems><ExcludedItems/></FileSystem><RegistrySystem><IncludedItems>";
    for (const std::wstring& key : keys)
        xml += L"<IncludedEntry Name=\"" + key + L"\"/>";
    xml += L"</IncludedItems><ExcludedItems/></RegistrySystem></IncludeExclude>";
    WriteFileBytes(environment.Program() + L"\\DefaultIncludeExclude.xml", ToUtf8(xml));
    session.Selection.FilesIncluded.clear();
    session.Selection.RegistryIncluded.clear();
}

// Presses Next and pictures the message box it brings up.
void NextWithMessage(WizardDriver& w, const std::wstring& name)
{
    g_messageName = name;
    w.PressNext();
    Settle(w);
}

// ---- Create Project File and MSI page and the Shortcut dialog ---------------------------

std::wstring g_dialogName;

// Runs inside the shortcut dialog's loop: pictures it and presses OK.
void CALLBACK CaptureShortcutDialog(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = FindWindowW(nullptr, L"Corvane Repackager 1.0: Shortcut");
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    Capture(dialog, g_dialogName);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

// A capture in which a setup added app.exe (this program, with its icon), then
// the page with its executables, the dialog, a chosen shortcut, the build and
// a failed build.
void CaptureProjectPage(WizardEnvironment& environment, Session& session, CUIManager& manager)
{
    const std::wstring app = environment.Files() + L"\\App";
    CreateDirectoryW(app.c_str(), nullptr);
    const std::wstring bin = ExecutableFolder() + L"\\..\\bin\\";
    for (const wchar_t* file : {L"Blank.msi", L"makecab.exe"})
        CopyFileW((bin + file).c_str(), (environment.Program() + L"\\" + file).c_str(), FALSE);
    manager.SetProductInfo(L"IconApp", L"1.0", L"Acme");
    const ScanDetails details{{L"File", {app}}};
    manager.SetScanDetails(details);
    (void)manager.WriteScanDetails();
    manager.Coordinator().IsFirstSnapshotTaken();
    (void)manager.Coordinator().CaptureSnapshot(details);
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    CopyFileW(self, (app + L"\\app.exe").c_str(), FALSE);
    (void)manager.Coordinator().CaptureSnapshot(details);
    (void)manager.Coordinator().CompareSnapshot();

    for (bool fails : {false, true}) {
        if (fails)
            DeleteFileW((environment.Program() + L"\\Blank.msi").c_str());
        WizardDriver w(session, manager);
        SetWindowPos(w.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        w.Sheet().SetActivePageById(IDD_CREATE_PROJECT);
        w.WaitForPosition(PagePosition::CreateProjectFile);
        Settle(w);
        SendMessageW(w.Control(IDC_EXECUTABLE_COMBO), CB_SETCURSEL, 0, 0);
        if (!fails) {
            Capture(w.Window(), L"145_CreateProjectFile_Executables");
            g_dialogName = L"147_Shortcut";
            SetTimer(nullptr, 0, 300, CaptureShortcutDialog);
            w.Click(IDC_SELECT_SHORTCUT);
            Settle(w);
            Capture(w.Window(), L"145_CreateProjectFile_Shortcut");
            w.Type(IDC_MSI_NAME, L"package.MSI");
            NextWithMessage(w, L"Message_MsiExtension");
        }
        w.PressNext();
        WaitUntil([&] { return w.Text(IDC_PROJECT_STATUS).find(L"is now creating") != std::wstring::npos; }, 5000);
        Capture(w.Window(), L"145_CreateProjectFile_Creating");
        WaitUntil([&] { return w.IsButtonEnabled(ID_WIZFINISH); }, 120000);
        Settle(w);
        Capture(w.Window(), fails ? L"145_CreateProjectFile_Failed" : L"145_CreateProjectFile_Built");
        // The capture report of the build, for scripts/screenshots.sh to picture in a browser.
        WIN32_FIND_DATAW found{};
        const std::wstring packages = session.Paths.OutputFolder + L"\\Packages\\";
        if (const HANDLE find = fails ? INVALID_HANDLE_VALUE
                                      : FindFirstFileW((packages + L"*_report.html").c_str(), &found);
            find != INVALID_HANDLE_VALUE) {
            CopyFileW((packages + found.cFileName).c_str(), (g_folder + L"\\CaptureReport.html").c_str(), FALSE);
            FindClose(find);
        }
        DeleteFileW((environment.Program() + L"\\Packages\\ProjectFile.xml").c_str());
    }
}


// The advanced include/exclude sheet: both pages while they load and loaded,
// a selected exclusion, the warning of "Add To Exclude"; the registry browser.
CDialogRegistry* g_registryBrowser = nullptr;

void CALLBACK CaptureRegistryBrowser(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND dialog = g_registryBrowser->Window();
    if (!dialog || !IsWindowVisible(dialog))
        return;
    KillTimer(nullptr, timer);
    CRegistryTreeCtrl& tree = g_registryBrowser->Tree();
    HTREEITEM software = tree.Find(L"HKEY_LOCAL_MACHINE\\SOFTWARE");
    SendMessageW(tree.Window(), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(tree.Find(L"HKEY_LOCAL_MACHINE")));
    SendMessageW(tree.Window(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(software));
    Capture(dialog, L"177_BrowseForRegistry");
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

void CaptureAdvancedSheet(const WizardEnvironment& environment, Session& session, CUIManager& manager)
{
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><IncludeExclude><FileSystem><IncludedItems>"
        "<IncludedEntry Name=\"%WINDIR%\"/><IncludedEntry Name=\"%PROGRAMFILES%\"/></IncludedItems><ExcludedItems>"
        "<ExcludedEntry Name=\"%WINDIR%\\Temp\" Description=\"Temporary files of Windows and setups\"/>"
        "<ExcludedEntry Name=\"%SYSDRIVE%\\pagefile.sys\" Description=\"Paging file\"/></ExcludedItems></FileSystem>"
        "<RegistrySystem><IncludedItems><IncludedEntry Name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\"/></IncludedItems>"
        "<ExcludedItems><ExcludedEntry Name=\"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Cryptography\" "
        "Description=\"Machine keys and random seeds\"/></ExcludedItems></RegistrySystem></IncludeExclude>";
    WriteFileBytes(environment.Program() + L"\\DefaultIncludeExclude.xml", xml);
    for (auto* map : {&session.Selection.FilesIncluded, &session.Selection.RegistryIncluded})
        map->clear();
    manager.SetScanDetails(manager.ScanDetailsFromIncludedLists());
    {
        CParentSheet sheet(session, manager);
        HWND window = sheet.Create(nullptr);
        SetWindowPos(window, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        Capture(window, L"165_AdvanceInclude_Loading");
        WaitUntil([&] { return !sheet.IncludePage().IsLoading(); }, 60000);
        Capture(window, L"165_AdvanceInclude");
        sheet.SetActivePage(1);
        Capture(window, L"164_AdvanceExclude_Loading");
        CAdvanceExclude& exclude = sheet.ExcludePage();
        WaitUntil([&] { return !exclude.IsLoading(); }, 60000);
        Capture(window, L"164_AdvanceExclude");
        const wchar_t* windir = _wgetenv(L"windir");
        CFolderTreeCtrl& folders = exclude.FolderTree();
        if (HTREEITEM temp = folders.Find(std::wstring(windir ? windir : L"C:\\windows") + L"\\Temp")) {
            SendMessageW(folders.Window(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(temp));
            folders.PressItem(temp, false);
        }
        WaitUntil([] { return false; }, 300);
        Capture(window, L"164_AdvanceExclude_Selected");
        SetDlgItemTextW(exclude.Window(), IDC_EXCLUDE_DESCRIPTION, L"");
        g_messageName = L"Message_AddToExcludeDescription";
        exclude.AddToExclude();
        sheet.PressButton(PSBTN_CANCEL);
        WaitUntil([&] { return sheet.IsFinished(); });
        sheet.Destroy();
    }
    CDialogRegistry browser;
    g_registryBrowser = &browser;
    SetTimer(nullptr, 0, 300, CaptureRegistryBrowser);
    browser.DoModal(nullptr);
}

// ---- Package Content Review pages -------------------------------------------------------

// The two review pages on changes of a made-up capture: as they open, with
// items ticked and a description typed, and after ">>"; the message of ">>"
// without a description.
void CaptureReviewPages(WizardEnvironment& environment, Session& session, CUIManager& manager)
{
    const std::wstring app = environment.Files() + L"\\Review App";
    ChangeSet& changes = manager.Coordinator().Changes();
    changes.Files(ChangeOrigin::Added) = {{app, {app + L"\\review.exe", app + L"\\review.dll", app + L"\\readme.txt"}},
                          {app + L"\\Data", {app + L"\\Data\\cache.db", app + L"\\Data\\log.txt"}}};
    changes.Files(ChangeOrigin::Modified) = {{app, {app + L"\\settings.cfg"}}};
    changes.Registry(ChangeOrigin::Added) = {{L"HKEY_LOCAL_MACHINE\\Software\\Review App", {}},
                               {L"HKEY_LOCAL_MACHINE\\Software\\Review App\\Settings", {}},
                               {L"HKEY_CURRENT_USER\\Software\\Review App\\Recent", {}}};
    WizardDriver w(session, manager);
    SetWindowPos(w.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    struct Shot { int position; const wchar_t* name; std::wstring ticked; };
    for (const Shot& shot : {Shot{PagePosition::ReviewFiles, L"143_ReviewFiles", app + L"\\Data"},
                             Shot{PagePosition::ReviewRegistry, L"144_ReviewRegistry",
                                  L"HKEY_LOCAL_MACHINE\\Software\\Review App\\Settings"}}) {
        w.Sheet().SetActivePage(shot.position);
        w.WaitForPosition(shot.position);
        auto& page = dynamic_cast<CContentReviewPage&>(*w.Sheet().ActivePage());
        Settle(w);
        Capture(w.Window(), std::wstring(shot.name) + L"_Opened");
        page.IncludedTree().SetCheck(page.IncludedTree().FindPath(shot.ticked), true);
        if (shot.position == PagePosition::ReviewFiles) {
            g_messageName = L"Message_ExclusionDescription";
            w.Click(IDC_EXCLUDE);
            Settle(w);
        }
        w.Type(IDC_EXCLUDE_DESCRIPTION, L"Scratch data of the application");
        Settle(w);
        Capture(w.Window(), std::wstring(shot.name) + L"_Ticked");
        w.Click(IDC_EXCLUDE);
        Settle(w);
        Capture(w.Window(), std::wstring(shot.name) + L"_Excluded");
    }
    manager.Coordinator().FileSide().Reset();
    manager.Coordinator().RegistrySide().Reset();
    session.ExcludedFiles.Clear();
    session.ExcludedRegistry.Clear();
}

// The existing-project road on a project of app.exe (left by
// CaptureProjectPage) with a file and a key that this machine lacks: the
// review page, its messages and its full tree, then the Build MSI page with
// the stored shortcut, its dialog, the build and a failed build.
void CaptureExistingProject(WizardEnvironment& environment, Session& session, CUIManager& manager)
{
    const std::wstring bin = ExecutableFolder() + L"\\..\\bin\\";
    CopyFileW((bin + L"Blank.msi").c_str(), (environment.Program() + L"\\Blank.msi").c_str(), FALSE);
    const std::wstring app = environment.Files() + L"\\App";
    const std::wstring exe = app + L"\\app.exe";
    const std::wstring output = environment.Files() + L"\\Out2";
    CreateDirectoryW(output.c_str(), nullptr);
    EnsureFolder(session.Paths.PackagesFolder());
    session.SetProjectFilePath(session.Paths.PackagesFolder() + L"\\IconApp_1.0.xml");
    const std::wstring icon = environment.Files() + L"\\app.exe_0.ico";
    SaveIconFile(ExtractIconAt(exe, 0), icon);
    IconMap icons;
    (void)ReadIconFile(icon, icons[icon]);
    XmlDocument project;
    (void)project.Load(session.Paths.RawProjectFilePath);
    DirectoryChangeMap files{{app, {exe, app + L"\\gone.txt"}}};
    (void)WriteFileList(project, ChangeOrigin::Added, files, session.Tokens, session.ProjectFilePath(),
                        FileListMode::KeepAll);
    const std::wstring key = L"HKEY_CURRENT_USER\\Software\\CorvaneTest\\Gone";
    RegistryChangeMap keys{{key, {{key, L"\"Setting\"", L"REG_SZ", L"x"}}}};
    (void)WriteRegistryList(project, ChangeOrigin::Added, keys, session.ProjectFilePath());
    (void)WriteShortcutList(project, {{L"App", L"app.exe", L"DesktopFolder", icon, L"0"},
                                      {L"App", L"app.exe", L"QuickLaunchFolder", icon, L"0"}},
                            session.Tokens, session.ProjectFilePath());
    (void)WriteShortcutIcons(project, icons, session.ProjectFilePath());
    (void)WriteProductInfo(project, {L"IconApp", L"1.0", L"Acme"}, session.ProjectFilePath());
    manager.SetProductInfo(L"IconApp", L"1.0", L"Acme");

    for (bool fails : {false, true}) {
        if (fails)
            DeleteFileW((environment.Program() + L"\\Blank.msi").c_str());
        WizardDriver w(session, manager);
        SetWindowPos(w.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        if (!fails) {
            w.Sheet().SetActivePageById(IDD_SHOW_PROJECT);
            w.WaitForPosition(PagePosition::ShowProjectFile);
            w.Sheet().ShowProjectPage().WaitForExistenceChecks();
            Settle(w);
            Capture(w.Window(), L"146_ProjectFileContentReview_Missing");
            NextWithMessage(w, L"Message_MissingEntries");
            g_messageName = L"Message_SelectEntry";
            w.Click(IDC_UPDATE_FILES);
            Settle(w);
            w.Click(IDC_SHOW_MISSING_FILES);
            w.Click(IDC_SHOW_MISSING_REGISTRIES);
            w.Click(IDC_IGNORE_MISSING);
            w.Sheet().ShowProjectPage().WaitForExistenceChecks();
            Settle(w);
            Capture(w.Window(), L"146_ProjectFileContentReview_All");
            w.PressNext();
            w.WaitForPosition(PagePosition::BuildMsi);
            Settle(w);
            Capture(w.Window(), L"163_BuildMsi_Shortcuts");
            g_dialogName = L"147_Shortcut_Stored";
            SetTimer(nullptr, 0, 300, CaptureShortcutDialog);
            w.Sheet().BuildMsiPage().OnEditShortcut(0);
            Settle(w);
        } else {
            w.Sheet().SetActivePageById(IDD_BUILD_MSI);
            w.WaitForPosition(PagePosition::BuildMsi);
        }
        w.Type(IDC_BUILD_TARGET_PATH, output);
        w.PressNext();
        WaitUntil([&] { return w.IsVisible(IDC_BUILD_PROGRESS); }, 5000);
        if (!fails)
            Capture(w.Window(), L"163_BuildMsi_Building");
        WaitUntil([&] { return w.IsButtonEnabled(ID_WIZFINISH); }, 120000);
        Settle(w);
        Capture(w.Window(), fails ? L"163_BuildMsi_Failed" : L"163_BuildMsi_Built");
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CComScope com;
    if (argc < 2) {
        fwprintf(stderr, L"usage: wizard_screenshots <output folder>\n");
        return 2;
    }
    g_folder = argv[1];
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    {
        Session session;
        WizardEnvironment environment(session, 1);
        auto manager = std::make_unique<CUIManager>(session);
        (void)manager->Initialize();
        SetMessageBoxFunction(RealMessageBox);
        bool administrator = false;
        SetAdministratorCheck([&] { return administrator; });
        SetFileOpenFunction([](HWND, const std::wstring&) { return std::wstring(); });
        {
            WizardDriver w(session, *manager);
            SetWindowPos(w.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
            WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }, 15000);
            Settle(w);
            Capture(w.Window(), L"151_Welcome");

            NextWithMessage(w, L"Message_AdminRights");
            administrator = true;
            w.WaitForPosition(PagePosition::CaptureBasicInformation);
            Settle(w);
            Capture(w.Window(), L"102_BasicInformation");

            NextWithMessage(w, L"Message_SelectRadioButton");
            w.Click(IDC_CREATE_PROJECT);
            Settle(w);
            Capture(w.Window(), L"102_BasicInformation_Create");

            const std::wstring files = environment.Files();
            WriteFileBytes(files + L"\\App.MSI", "msi");
            WriteFileBytes(files + L"\\setup.bat", "bat");
            WriteFileBytes(files + L"\\Setup.exe", "MZ");
            w.Type(IDC_LOCATION, files + L"\\missing.exe");
            NextWithMessage(w, L"Message_FileDoesNotExist");
            w.Type(IDC_LOCATION, files + L"\\App.MSI");
            NextWithMessage(w, L"Message_MsiNotSupported");
            Capture(w.Window(), L"102_BasicInformation_Refused");
            w.Type(IDC_LOCATION, files + L"\\setup.bat");
            NextWithMessage(w, L"Message_ExecutableOnly");
            w.Type(IDC_LOCATION, files + L"\\Setup.exe");
            TypeProduct(w, L"setup.exe", L"", L"");
            NextWithMessage(w, L"Message_RequiredFields");
            Capture(w.Window(), L"102_BasicInformation_RedLabels");

            w.Click(IDC_BUILD_PACKAGE);
            w.Type(IDC_LOCATION, files + L"\\Project.xml");
            TypeProduct(w, L"Viewer", L"3.1", L"Acme Corp");
            Settle(w);
            Capture(w.Window(), L"102_BasicInformation_Build");

            for (int position = PagePosition::PreInstallationSnapshot; position < PagePosition::Count; ++position) {
                w.Sheet().SetActivePage(position);
                w.WaitForPosition(position);
                Settle(w);
                const CPropertyPage* page = w.Sheet().Page(position);
                std::wstring name = page->Title().substr(std::wstring(L"Corvane Repackager 1.0: ").size());
                for (wchar_t& c : name)
                    if (c == L' ')
                        c = L'_';
                Capture(w.Window(), std::to_wstring(page->Id()) + L"_" + name);
            }
        }
        // The capture pages at work, on a small selection: the setup cannot
        // start, then it is not launched; the warning about an installer setup.
        {
            const wchar_t* windir = _wgetenv(L"windir");
            const wchar_t* programFiles = _wgetenv(L"ProgramFiles");
            WriteIncludedLists(environment, session,
                               {windir ? windir : L"C:\\windows", programFiles ? programFiles : L"C:\\Program Files"},
                               {L"HKEY_LOCAL_MACHINE\\SOFTWARE", L"HKEY_CURRENT_CONFIG"});
            manager->SetSetupFilePath(environment.Files() + L"\\Setup.exe");
            manager->SetProductInfo(L"Widget Maker", L"2.5", L"Acme Test Corp");
            SetShellLaunchFunction([](HWND, const std::wstring&, const std::wstring&, UniqueKernelHandle& process) {
                process.reset();
                SetLastError(ERROR_FILE_NOT_FOUND);
                return false;
            });
            WizardDriver w(session, *manager);
            SetWindowPos(w.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
            w.Sheet().SetActivePage(PagePosition::PreInstallationSnapshot);
            w.WaitForPosition(PagePosition::PreInstallationSnapshot);
            // The buttons as the basic information page leaves them.
            PostMessageW(w.Window(), PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_NEXT);
            Settle(w);
            Capture(w.Window(), L"133_PreInstallationSnapshot_Selection");
            w.PressNext();
            WaitUntil([] { return false; }, 500);
            Capture(w.Window(), L"133_PreInstallationSnapshot_Capturing");
            w.WaitForPosition(PagePosition::LaunchSetup, 180000);
            Settle(w);
            Capture(w.Window(), L"130_LaunchSetup_Ready");
            SendMessageW(w.Control(IDC_LAUNCH_SETUP), BM_SETCHECK, BST_UNCHECKED, 0);
            NextWithMessage(w, L"Message_SelectLaunchChoice");
            w.Click(IDC_LAUNCH_SETUP);
            NextWithMessage(w, L"Message_SetupCannotStart");
            w.Click(IDC_DO_NOT_LAUNCH);
            w.PressNext();
            w.WaitForPosition(PagePosition::PostInstallationSnapshot);
            Settle(w);
            Capture(w.Window(), L"131_PostInstallationSnapshot_Ready");
            w.PressNext();
            WaitUntil([] { return false; }, 500);
            Capture(w.Window(), L"131_PostInstallationSnapshot_Capturing");
            const CSecondSnapshotDlg& post = w.Sheet().PostInstallationPage();
            WaitUntil([&] { return post.CurrentPhase() != CSecondSnapshotDlg::Phase::Capturing; }, 180000);
            Capture(w.Window(), L"131_PostInstallationSnapshot_Comparing");
            w.WaitForPosition(PagePosition::ReviewFiles, 180000);
            WaitUntil([&] { return w.IsButtonEnabled(ID_WIZBACK); });
            w.PressBack();
            w.WaitForPosition(PagePosition::PostInstallationSnapshot);
            Settle(w);
            Capture(w.Window(), L"131_PostInstallationSnapshot_Compared");
            SetShellLaunchFunction(nullptr);
        }
        {
            WriteIncludedLists(environment, session, {}, {});
            WizardDriver w(session, *manager);
            SetWindowPos(w.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
            w.Sheet().SetActivePage(PagePosition::PreInstallationSnapshot);
            w.WaitForPosition(PagePosition::PreInstallationSnapshot);
            Settle(w);
            NextWithMessage(w, L"Message_NoItemSelected");
        }
        CaptureAdvancedSheet(environment, session, *manager);
        CWarningMSIDetected warning(DeploymentNotesAddress(session.Paths));
        HWND warningBox = warning.Create(nullptr);
        SetWindowPos(warningBox, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        WaitUntil([] { return false; }, 300);
        Capture(warningBox, L"185_WarningMsiDetected");
        DestroyWindow(warningBox);

        CaptureProjectPage(environment, session, *manager);
        CaptureReviewPages(environment, session, *manager);
        CaptureExistingProject(environment, session, *manager);
        CAboutDlg aboutDialog;
        HWND about = aboutDialog.Create(nullptr);
        SetWindowPos(about, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
        WaitUntil([] { return false; }, 300);
        Capture(about, L"100_About");
        DestroyWindow(about);

        SetMessageBoxFunction(nullptr);
        SetAdministratorCheck(nullptr);
        SetFileOpenFunction(nullptr);
        manager->Uninitialize();
        manager.reset();
    }
    OleUninitialize();
    return 0;
}
