#pragma once
// One package build as a pipeline: the files collected, the cabinets planned
// and their directive files written, the row writers run one after another
// while the cabinet maker packs (or after them on one processor), the
// summary information and the check, then the transaction committed and the
// package published. Runs on the thread that opened the database.
#include "common/Result.h"
#include "msi/BuildContext.h"
#include "msi/BuildPacer.h"
#include "msi/DirectoryRows.h"
#include "msi/IniRows.h"
#include "msi/PackageCabinets.h"
#include "msi/RegistryRows.h"
#include "msi/ShortcutRows.h"
#include "msi/SystemSettingRows.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CPackageTransaction;

struct PackageBuildSettings
{
    std::wstring cabinetMaker;
    BuildPlace place;
    // Receives a line about once a second while the cabinets are packed; may be empty.
    std::function<void(const std::wstring&)> progressReport;
    // Receives the build's status text, step count and share of work done.
    CProgressState& progress;
};

class CPackageBuild
{
public:
    CPackageBuild(CPackageTransaction& transaction, const XmlDocument& document, ProjectModel& project,
                  const ProductInfo& product, MsiBuildResults& results, const PackageBuildSettings& settings);
    CPackageBuild(const CPackageBuild&) = delete;
    CPackageBuild& operator=(const CPackageBuild&) = delete;

    // Ok when the package is in place; a failure after its log line (or a
    // stop, ERROR_CANCELLED), the temporary file removed and an earlier
    // package untouched.
    Result Run();

private:
    // A row writer's step and the number of rows it is about to insert.
    using RowStep = std::pair<std::size_t, std::function<void()>>;

    void Collect();
    std::vector<RowStep> RowSteps();
    // The row steps with the cabinet maker beside them or after them; false
    // when a stop was seen. `cabinet` receives the cabinet job's failure.
    [[nodiscard]] bool WriteRowsAndCabinets(Result& cabinet);
    void CloseRows();
    Result Commit(Result cabinet);
    // Ends a stopped build with its log line.
    Result Stopped();
    void Discard();

    CPackageTransaction& m_transaction;
    CProgressState& m_progress;
    BuildContext m_build;
    CDirectoryRows m_directories;
    CRegistryRows m_registry;
    CIniRows m_ini;
    CShortcutRows m_shortcuts;
    CSystemSettingRows m_settings;
    CPackageCabinets m_cabinets;
    std::vector<std::wstring> m_folders;      // folders with files
    std::vector<std::wstring> m_emptyFolders; // added folders the setup left empty
    std::unique_ptr<CBuildPacer> m_pacer;     // paces the progress until the build ends
};
