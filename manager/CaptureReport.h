#pragma once
// The capture report: one self-contained HTML file beside the package that
// tells what a capture or a build put into the package and what it did not.
#include "common/Result.h"
#include "manager/CaptureRecord.h"
#include "msi/BuildCounts.h"
#include "project/ProjectModel.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// A change taken out before the project file was written: on the review
// pages or by the clean capture.
struct ReportExclusion
{
    std::wstring Kind; // "Folder", "File", "Registry key", "Registry value", "Shortcut"
    std::wstring Item;
    std::wstring Description;
};

struct CaptureReportInput
{
    // The project file as it was written, read back; its registry entries
    // carry the data the package holds (empty where unknown).
    ProjectModel Project;
    std::wstring ProjectFile;
    // The package; empty when none was built.
    std::wstring PackageFile;
    std::optional<unsigned long long> PackageSize;
    std::wstring Platform; // the builder's "x64" or "Intel"
    std::wstring UpgradeCode;
    std::wstring ProductCode;
    CaptureRecord Steps;
    std::wstring WindowsVersion;
    bool Windows64 = false;
    std::vector<ReportExclusion> Excluded;
    std::vector<LeftOutItem> LeftOut;
    // Per-user data, the capture machine's name in values, drivers left as
    // registry values, and the build's other notes.
    std::vector<std::wstring> Warnings;
    // The size of a file of the project (token path); none when unknown.
    std::function<std::optional<unsigned long long>(const std::wstring&)> FileSize;
};

// The report as UTF-8 HTML5 text.
std::string CaptureReportHtml(const CaptureReportInput& input);

// Writes the report to `path` (replacing a report there). A failure is logged
// with the system's code and text.
Result WriteCaptureReport(const CaptureReportInput& input, const std::wstring& path);

// "<packages folder>\<package name without .msi>_report.html".
std::wstring CaptureReportPath(const std::wstring& packagePath);
