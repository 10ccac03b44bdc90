#pragma once
// The warning shown when the setup started a Windows Installer process:
// "Ignore and Continue" (IDOK) goes on with the capture, "Quit" (IDCANCEL)
// ends it.
#include "common/Paths.h"
#include "ui/framework/Dialog.h"

#include <string>

class CWarningMSIDetected : public CDialog
{
public:
    // `notesAddress`: the page of deployment notes named at the end of the text.
    explicit CWarningMSIDetected(std::wstring notesAddress);

    static std::wstring WarningText(const std::wstring& notesAddress);

protected:
    BOOL OnInitDialog() override;

private:
    std::wstring m_notesAddress;
};

// The deployment-notes page beside the program ("DeploymentNotes.html") of `paths`.
std::wstring DeploymentNotesAddress(const WorkPaths& paths);
