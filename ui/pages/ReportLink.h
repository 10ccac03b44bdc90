#pragma once
// The capture report on the wizard's last pages: written when a build ends,
// the page's line says where it is, and its button opens it.
#include "manager/UIManager.h"

#include <windows.h>

#include <string>

struct ReportLinkState
{
    std::wstring Path; // the written report; empty when none was written
    std::wstring Text; // the page's line about it
};

// Writes the run's report after a build of `project` (logged on failure).
ReportLinkState WriteReportForPage(CUIManager& manager, const Session& session, const std::wstring& project,
                                   bool built);

// Opens the report with the program the shell opens HTML files with; false
// (logged) when the shell could not.
bool OpenReport(HWND owner, const std::wstring& path);
