#pragma once
// The capture report of a run: what the manager, the session and the build
// know, gathered and written beside the package.
#include "common/Result.h"
#include "manager/CaptureReport.h"
#include "manager/UIManager.h"

#include <string>

// Reads the project file back, adds the run's steps, the changes excluded on
// the review pages and by the clean capture, the build's results (those of
// the last build, when `built`), the registry data as the machine has it and
// the machine, and writes "<package name>_report.html" beside the package.
// `reportPath` receives the report's path, also on failure (logged).
Result WriteRunReport(CUIManager& manager, const Session& session, const std::wstring& projectFile, bool built,
                      std::wstring& reportPath);
