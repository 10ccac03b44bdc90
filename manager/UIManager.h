#pragma once
// The one object through which the pages and the command line reach the
// project data: the project document, the include/exclude files, the
// snapshot coordinator, the builder, the setup program and the scan details
// of the capture; the product information it keeps in the session. Made by
// the entry point (the wizard, the command line, a test) over the session of
// the run, which outlives it.
//
// Threads: the pages run the long operations (the captures and the comparison
// through Coordinator(), CreateProjectFile, BuildPackage) on a worker
// (common/Worker.h), one at a time; everything else, the setters included,
// runs on the window thread while no worker runs (the setters check it in
// debug builds). The documents are free-threaded, so the worker may use those
// the window thread loaded.
#include "common/ChangeTypes.h"
#include "common/Log.h"
#include "engine/EnumerateWrapper.h"
#include "manager/IncludeExcludeFiles.h"
#include "manager/Session.h"
#include "msi/MSIHandler.h"
#include "project/IncludeExclude.h"
#include "project/ProjectModel.h"
#include "project/XmlDocument.h"

#include <string>

// A project file's document and the model read out of it.
struct LoadedProject
{
    XmlDocument Document;
    ProjectModel Model;
};

class CUIManager
{
public:
    explicit CUIManager(Session& session);
    ~CUIManager();

    // Start-up: cleans the working folders unless a capture is pending and
    // sets up the coordinator. Ok (also when already initialised), or the
    // coordinator's failure (logged).
    Result Initialize();
    // End of a capture: removes the pending-capture key and ends the
    // coordinator (the working "\Temp" tree goes with it). Returns 1.
    int Uninitialize();

    // The include/exclude files a new capture and the advanced sheet read and save.
    CIncludeExcludeFiles& IncludeExclude() noexcept { return m_includeExclude; }

    // ---- Scan details ----------------------------------------------------------
    // The selection of a new capture from the included lists: folders as real
    // paths (the system drive when the file has no folder list) and hives (the
    // five hives when it has no registry list), plus the setup program and the
    // product information of the session. Also loads both excluded lists.
    ScanDetails ScanDetailsFromIncludedLists();
    void SetScanDetails(const ScanDetails& details)
    {
        m_session.WindowThread.AssertCurrent(L"the scan details");
        m_scanDetails = details;
    }
    ScanDetails GetScanDetails() const { return m_scanDetails; }
    // Saves the held scan details to "ScanDetails.txt" in the snapshot folder
    // and takes the product information and project file name from them. A
    // failure (logged) when the file cannot be written.
    Result WriteScanDetails();
    // Restores the scan details from "ScanDetails.txt" (empty when missing).
    void ReadScanDetails();

    // ---- Product information and setup program --------------------------------
    void SetProductInfo(const std::wstring& name, const std::wstring& version, const std::wstring& company);
    const ProductInfo& GetProductInfo() const noexcept { return m_session.Product; }
    void SetSetupFilePath(const std::wstring& path)
    {
        m_session.WindowThread.AssertCurrent(L"the setup program");
        m_setupFilePath = path;
    }
    std::wstring GetSetupFilePath() const { return m_setupFilePath; }

    // ---- Project file ---------------------------------------------------------
    // Loads the project file and reads its file-system and registry lists into
    // the project document's model. Ok, or the failure to load it (logged,
    // with the parser's or the system's code and text); the same for the two
    // below.
    Result ParseProjectFile();
    // Reads the product information of the project file into `destination`.
    Result ParseSetupFileInfo(ProductInfo& destination);
    // Reads the shortcuts (into the model when `replaceModel`) and, when
    // `icons` is given, the shortcut icons.
    Result ParseShortcutList(IconMap* icons, bool replaceModel);
    // Puts the project file together; once it is completely written the
    // capture is no longer pending (the session's flag and its key cleared) and
    // the snapshot and INI backup folders are removed. On failure all of them
    // stay, so that the capture can be resumed. Returns the coordinator's result.
    Result CreateProjectFile();

    // Builds the package the request asks for: the MSI builder's whole run.
    // Ok, or ERROR_INSTALL_FAILURE with the builder's reason (the builder
    // logs its failures); " Failed in Initialize of MSIHandler" is logged when
    // it cannot start.
    Result BuildPackage(const BuildRequest& request);

    CEnumerateWrapper& Coordinator() noexcept { return m_coordinator; }
    CMSIHandler& Builder() noexcept { return m_builder; }
    // The project file as last loaded, and what was read out of it.
    LoadedProject& Project() noexcept { return m_loaded; }

    CUIManager(const CUIManager&) = delete;
    CUIManager& operator=(const CUIManager&) = delete;

private:
    // The setup program, product information and project file name of the
    // held scan details.
    void TakeSelectionFromScanDetails();
    // Loads the project file into the project document; a failure is logged
    // as `line` + "Unable to Load <path> File" and the loader's code and text.
    Result LoadProjectFile(const std::wstring& line);

    Session& m_session;
    bool m_initialized = false;
    std::wstring m_snapshotFolder;
    std::wstring m_iniBackupFolder;
    std::wstring m_setupFilePath;
    CMSIHandler m_builder;
    CEnumerateWrapper m_coordinator;
    ScanDetails m_scanDetails;
    LoadedProject m_loaded;
    CIncludeExcludeFiles m_includeExclude;
};

// A package or project file name made of product information (the name, the
// version, a setup's version resource), made one plain file name inside the
// packages folder; a change is logged.
std::wstring PlainNameFromProduct(const std::wstring& name);
