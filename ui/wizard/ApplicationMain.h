#pragma once
// The wizard sheet: eleven pages in a fixed order, the banner across the top,
// the program icon, and the buttons moved into the place of the hidden Help.
#include "ui/framework/PropertyPage.h"
#include "ui/pages/BasicInformationPage.h"
#include "ui/pages/BuildMsiPage.h"
#include "ui/pages/CreateProjectFileAndMsiPage.h"
#include "ui/pages/ExistingSnapshotPage.h"
#include "ui/pages/LaunchSetupPage.h"
#include "ui/pages/PackageContentReviewPage.h"
#include "ui/pages/PostInstallationSnapshotPage.h"
#include "ui/pages/PreInstallationSnapshotPage.h"
#include "ui/pages/ProjectFileContentReviewPage.h"
#include "ui/pages/WelcomePage.h"
#include "ui/wizard/PagePositions.h"

class CApplicationMain : public CPropertySheet
{
public:
    // The pages work on `session` through `manager`; both outlive the sheet.
    CApplicationMain(Session& session, CUIManager& manager);
    ~CApplicationMain() override;

    CCorvaneRepackagerStartDlg& WelcomePage() noexcept { return m_welcome; }
    CCorvaneRepackagerDlg& BasicInformationPage() noexcept { return m_basicInformation; }
    CExistingSnapshotDlg& ExistingSnapshotPage() noexcept { return m_existingSnapshot; }
    CCaptureSnapshotDlg& PreInstallationPage() noexcept { return m_preInstallation; }
    CLaunchSetupDlg& LaunchSetupPage() noexcept { return m_launchSetup; }
    CSecondSnapshotDlg& PostInstallationPage() noexcept { return m_postInstallation; }
    CContentReviewFileDlg& ReviewFilesPage() noexcept { return m_reviewFiles; }
    CContentReviewRegistryDlg& ReviewRegistryPage() noexcept { return m_reviewRegistry; }
    CShowProjectFileDlg& ShowProjectPage() noexcept { return m_showProject; }
    CBuildMSIDlg& BuildMsiPage() noexcept { return m_buildMsi; }

protected:
    void OnInitDialog() override;
    bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    RECT ButtonRect(int id) const;
    bool ButtonsFitAfterMove() const;
    void MoveButton(int id, int leftShift, int rightShift) const;

    CCorvaneRepackagerStartDlg m_welcome;
    CCorvaneRepackagerDlg m_basicInformation;
    CCaptureSnapshotDlg m_preInstallation;
    CLaunchSetupDlg m_launchSetup;
    CSecondSnapshotDlg m_postInstallation;
    CContentReviewFileDlg m_reviewFiles;
    CContentReviewRegistryDlg m_reviewRegistry;
    CCreateProjectFileMsiDlg m_createProject;
    CShowProjectFileDlg m_showProject;
    CBuildMSIDlg m_buildMsi;
    CExistingSnapshotDlg m_existingSnapshot;
    HICON m_icon = nullptr;
    HBITMAP m_banner = nullptr;
};
