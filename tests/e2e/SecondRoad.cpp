// The existing-project road through the real wizard sheet: run by
// wizard_setup.sh in the capture prefix after the capture road, with one
// captured file moved elsewhere. Arguments: the project file, the missing
// file's real path, the folder it now is in, the output folder and the icon
// source the shortcut gets. The review page shows the file and its ancestors
// in red and counts it; "Update Files" repairs it; Next rewrites the project;
// the Build MSI page edits the stored shortcut and builds the package.
// Prints "MSI=<path>" for the script once the package is built.
#include "common/ComScope.h"
#include "common/FolderTokens.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "manager/UIManager.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"
#include "tests/e2e/DriverArguments.h"
#include "tests/ui/WizardHarness.h"
#include "ui/framework/UiServices.h"
#include "ui/pages/BuildMsiPage.h"
#include "ui/pages/ProjectFileContentReviewPage.h"
#include "ui/wizard/Resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <ole2.h>

#include <cstdio>

namespace {

std::wstring g_project, g_missing, g_movedTo, g_output, g_iconSource;

} // namespace

TEST(SecondRoad, MissingFileRepairedAndShortcutEditedUpToThePackage)
{
    ASSERT_FALSE(g_iconSource.empty())
        << "usage: second_road.exe <project> <missing file> <its new folder> <output folder> <icon source>";
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
    InitCommonControlsEx(&controls);
    SetCurrentDirectoryW(ExecutableFolder().c_str());
    ScopedFileLog log(ExecutableFolder());
    Session session;
    ASSERT_TRUE(InitializePaths(session, L"", L""));
    auto manager = std::make_unique<CUIManager>(session);
    ASSERT_TRUE(manager->Initialize());
    MessageBoxRecorder messages;
    std::vector<std::wstring> browserTitles;
    SetFolderBrowseFunction([&](HWND, const std::wstring& title) {
        browserTitles.push_back(title);
        return g_movedTo;
    });
    {
        WizardDriver w(session, *manager);
        ASSERT_TRUE(w.LeaveWelcome(PagePosition::CaptureBasicInformation));
        w.Click(IDC_BUILD_PACKAGE);
        w.Type(IDC_LOCATION, g_project);
        w.Leave(IDC_LOCATION, IDC_APPLICATION_NAME);
        EXPECT_EQ(w.Text(IDC_APPLICATION_NAME), L"CorvaneFull");
        w.PressNext();
        ASSERT_TRUE(w.WaitForPosition(PagePosition::ShowProjectFile));

        // The moved file is the one missing entry: red up to the top item, and counted.
        CShowProjectFileDlg& review = dynamic_cast<CShowProjectFileDlg&>(*w.Sheet().ActivePage());
        review.WaitForExistenceChecks();
        CProjectTreeCtrl& files = review.FileTree();
        EXPECT_EQ(files.Existence().Missing, 1);
        const std::wstring summary = w.Text(IDC_SHOW_FILES_SUMMARY);
        EXPECT_NE(summary.find(L"Number of missing files: 1"), summary.npos) << ToUtf8(summary);
        EXPECT_EQ(IsDlgButtonChecked(review.Window(), IDC_SHOW_MISSING_FILES), BST_CHECKED);
        EXPECT_TRUE(IsWindowEnabled(w.Control(IDC_UPDATE_FILES)));
        HTREEITEM item = files.FindPath(g_missing);
        ASSERT_NE(item, nullptr) << "the missing file is not shown";
        int depth = 0;
        for (HTREEITEM it = item; it; it = TreeView_GetParent(CProjectTreeCtrl::Internals::Window(files), it), ++depth)
            EXPECT_EQ(files.Info(it).Color, CProjectTreeCtrl::MissingColor) << ToUtf8(files.Info(it).Path);
        EXPECT_GE(depth, 3);

        // Next refuses while it is missing; "Update Files" with its new folder repairs it.
        w.PressNext();
        PumpMessages();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].caption, L"Information");
        messages.shown.clear();
        files.SetCheck(item, true);
        w.Click(IDC_UPDATE_FILES);
        EXPECT_EQ(browserTitles.size(), 1u);
        EXPECT_EQ(files.Existence().Missing, 0);
        EXPECT_TRUE(review.IsModified());
        EXPECT_NE(w.Text(IDC_SHOW_FILES_SUMMARY).find(L"Number of missing files: 0"), std::wstring::npos);
        EXPECT_NE(files.FindPath(g_movedTo + L"\\" + g_missing.substr(g_missing.find_last_of(L'\\') + 1)), nullptr);

        // Next rewrites the project file: the file is listed in its new folder.
        ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
        w.PressNext();
        ASSERT_TRUE(w.WaitForPosition(PagePosition::BuildMsi));
        {
            XmlDocument rewritten;
            ProjectModel rewrittenModel;
            ASSERT_TRUE(rewritten.Load(session.ProjectFilePath()));
            ReadProjectLists(rewritten, rewrittenModel);
            std::vector<std::wstring> all = rewrittenModel.AllFiles;
            for (std::wstring& file : all)
                ToRealPath(file, session.Tokens);
            EXPECT_EQ(std::count(all.begin(), all.end(), g_missing), 0);
            EXPECT_EQ(std::count_if(all.begin(), all.end(),
                                    [](const std::wstring& f) { return _wcsnicmp(f.c_str(), g_movedTo.c_str(), g_movedTo.size()) == 0; }),
                      1);
        }

        // The stored shortcut: renamed, moved from the desktop to the quick launch bar, another icon.
        CBuildMSIDlg& build = w.Sheet().BuildMsiPage();
        ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZNEXT); }));
        ASSERT_EQ(build.Entries().size(), 1u);
        EXPECT_TRUE(build.Entries().begin()->second.desktop);
        RunWithShortcutDialog([&] { build.OnEditShortcut(0); },
                           [&](HWND dialog) {
                               SetDlgItemTextW(dialog, IDC_SHORTCUT_NAME, L"Remover");
                               CheckDlgButton(dialog, IDC_SHORTCUT_DESKTOP, BST_UNCHECKED);
                               CheckDlgButton(dialog, IDC_SHORTCUT_QUICK_LAUNCH, BST_CHECKED);
                               SetDlgItemTextW(dialog, IDC_ICON_SOURCE, g_iconSource.c_str());
                               SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_ICON_SOURCE, EN_KILLFOCUS),
                                            reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ICON_SOURCE)));
                               SendMessageW(dialog, WM_COMMAND, IDOK, 0);
                           });
        ASSERT_EQ(build.Entries().count(L"Remover"), 1u);
        w.Type(IDC_BUILD_TARGET_PATH, g_output);
        w.PressNext();
        ASSERT_TRUE(WaitUntil([&] { return build.CurrentState() != CBuildMSIDlg::State::Building; }, 300000));
        ASSERT_EQ(w.Text(IDC_BUILD_STATUS), L"Successfully built MSI file");
        ASSERT_TRUE(WaitUntil([&] { return w.IsButtonEnabled(ID_WIZFINISH); }));
        // The icon the shortcut uses now, kept for the script (the working folders go with Finish).
        ASSERT_EQ(build.IconFiles().size(), 1u);
        EXPECT_TRUE(CopyFileW(build.IconFiles().begin()->first.c_str(), (g_output + L"\\shortcut-icon.ico").c_str(),
                              FALSE));
        std::printf("MSI=%s\n", ToUtf8(manager->Builder().PackagePath()).c_str());
        std::fflush(stdout);
        w.Sheet().PressButton(PSBTN_FINISH);
        EXPECT_TRUE(WaitUntil([&] { return w.Sheet().IsFinished(); }));
    }
    for (const ShownMessage& shown : messages.shown)
        ADD_FAILURE() << "message box: " << ToUtf8(shown.text);
    SetFolderBrowseFunction(nullptr);
    manager->Uninitialize();
    manager.reset();
    OleUninitialize();
}

int main(int argc, char** argv)
{
    CComScope com;
    ::testing::InitGoogleTest(&argc, argv);
    const std::vector<std::wstring> rest = ProgramArguments();
    if (rest.size() == 5) {
        g_project = rest[0];
        g_missing = rest[1];
        g_movedTo = rest[2];
        g_output = rest[3];
        g_iconSource = rest[4];
    }
    return RUN_ALL_TESTS();
}
