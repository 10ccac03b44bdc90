#pragma once
// CMSIHandler turns a project file into a Windows Installer package: the
// template database is copied to the package path, the captured files are
// listed in a cabinet directive file and packed by the cabinet maker, the
// table rows are inserted, the summary information is written and the cabinet
// is stored in the package as the stream "MSIProject.cab".
//
// The work is done by the parts of the build pipeline (PackageBuild.h): file
// collection, key allocation, the cabinet job, one row writer per table
// family and the transaction. CMSIHandler loads the project, names the
// package and runs the pipeline.
//
// Calling order: Initialize, BuildMSI, Uninitialize, once per build, all on one
// thread (installer handles are closed on the thread that opened them).
#include "common/ChangeTypes.h"
#include "common/Log.h"
#include "common/Progress.h"
#include "common/UniqueHandle.h"
#include "msi/BuildContext.h"
#include "msi/BuildCounts.h"
#include "msi/BuildRequest.h"
#include "msi/CabinetPlan.h"
#include "msi/IniRows.h"
#include "msi/MachineValues.h"
#include "msi/MsiHandle.h"
#include "msi/RegistryRows.h"
#include "msi/TableKeys.h"
#include "project/SystemSettings.h"
#include "project/ProjectModel.h"
#include "project/XmlDocument.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CPackageTransaction;

class CMSIHandler
{
public:
    // Reports into `progress`, which outlives the builder.
    explicit CMSIHandler(CProgressState& progress);
    // Reports into a progress state of its own.
    CMSIHandler();
    ~CMSIHandler();
    CMSIHandler(const CMSIHandler&) = delete;
    CMSIHandler& operator=(const CMSIHandler&) = delete;

    // Loads the request's project file into the builder's own document,
    // copies the template to the package path (in the request's packages
    // folder) and opens the package. 1 on success; 0 after one log line.
    int Initialize(const BuildRequest& request);
    // Runs the whole pipeline under a temporary name beside the package and
    // moves the result over the package's name. 1 when the package is
    // complete; 0 when the build could not start, the cabinet could not be
    // made or stored, or the database could not be committed: the temporary
    // file is then removed and an earlier package of that name is untouched.
    // A stop request of the thread's token (StopToken.h), seen between steps,
    // ends the cabinet maker the same way and returns 0 after one log line.
    int BuildMSI();
    // Closes what is still open and forgets the build's name tables.
    void Uninitialize();

    const MsiBuildCounts& Counts() const noexcept { return m_results.counts; }
    // Real paths of the captured files that are not in the package (not
    // readable, temporary files and links, 2 GiB or larger, not expressible
    // in the cabinet maker's code page).
    const std::vector<std::wstring>& LeftOutFiles() const noexcept { return m_results.leftOut; }
    // Every item of the project the package lacks, with the reason.
    const std::vector<LeftOutItem>& LeftOutItems() const noexcept { return m_results.leftOutItems; }
    // Lines for the user about how the package was made (a version text that
    // had to change, for example); each is also in the log. Kept after
    // Uninitialize until the next Initialize.
    const std::vector<std::wstring>& BuildNotes() const noexcept { return m_results.notes; }
    // The UpgradeCode and ProductVersion of the last build.
    const std::wstring& UpgradeCode() const noexcept { return m_results.upgradeCode; }
    const std::wstring& ProductVersion() const noexcept { return m_results.productVersion; }
    // Where the last build read each packed file and icon (the WiX source's Source attributes).
    const PackageSources& Sources() const noexcept { return m_results.sources; }
    const std::wstring& ProductCode() const noexcept { return m_results.productCode; }
    // The package's final path, known after Initialize.
    const std::wstring& PackagePath() const noexcept { return m_packagePath; }

    // The cabinet maker to run: %SystemRoot%\System32\makecab.exe where the
    // platform has one, else the program folder's makecab.exe. A test may name another.
    static std::wstring DefaultCabinetMaker(const std::wstring& programFolder);
    void SetCabinetMaker(const std::wstring& path) { m_cabinetMaker = path; }

    // Why the last build failed, as its log line said (the cabinet maker's
    // own message included); empty after a build that succeeded.
    const std::string& FailureReason() const noexcept { return m_results.failure; }
    // Receives a line about once a second while a long build packs its
    // files ("Packed 1200 of 4000 files, 512 of 3072 MB"); none by default.
    void SetProgressReport(std::function<void(const std::wstring&)> report) { m_progressReport = std::move(report); }
    // The cabinets of the last build: their Media.Cabinet names ("#" and the
    // stream name when embedded), in DiskId order.
    const std::vector<std::wstring>& CabinetNames() const noexcept { return m_results.cabinetNames; }

private:
    // The package's file name in the packages folder: the requested one, else
    // one made of the product name.
    std::wstring PackageFileName(const std::wstring& requested) const;
    int InitializeFailed(const std::wstring& line);

    CProgressState m_ownProgress;
    CProgressState& m_progress;
    std::unique_ptr<XmlDocument> m_project;
    ProjectModel m_model;
    bool m_isProjectLoaded = false;
    ProductInfo m_productInfo;
    std::wstring m_packagePath;
    std::wstring m_cabinetMaker;
    BuildPlace m_place;
    std::function<void(const std::wstring&)> m_progressReport;
    std::unique_ptr<CPackageTransaction> m_transaction;
    MsiBuildResults m_results;
};
