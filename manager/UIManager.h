#pragma once
// The one object through which the pages, the command line and the builder
// reach the project data: the project and include/exclude documents, the
// snapshot coordinator, the product information, the setup program and the
// scan details of the capture. Made by the entry point (the wizard, the
// command line, a test) over the session of the run, which it outlives not.
//
// Threads: the pages run the long operations (the captures and the comparison
// through Coordinator(), CreateProjectFile, BuildPackage) on a worker
// (common/Worker.h), one at a time; everything else, the setters included,
// runs on the window thread while no worker runs. The documents are
// free-threaded, so the worker may use those the window thread loaded.
#include "common/ChangeTypes.h"
#include "common/Log.h"
#include "engine/EnumerateWrapper.h"
#include "manager/Session.h"
#include "msi/MSIHandler.h"
#include "project/IncludeExclude.h"
#include "project/XMLDocumentHandler.h"

#include <mutex>
#include <string>

class CUIManager
{
public:
    explicit CUIManager(Session& session);
    ~CUIManager();

    // Start-up: cleans the working folders unless a capture is pending and
    // sets up the coordinator. 1 on success (also when already initialised).
    int Initialize();
    // End of a capture: removes the pending-capture key and ends the
    // coordinator (the working "\Temp" tree goes with it).
    int Uninitialize();
    bool IsInitialized() const noexcept { return m_initialized; }

    // ---- Include/exclude file ------------------------------------------------
    // The loads and the save below take turns (any thread).
    // Loads `file` and reads an excluded list (file-system or registry) into its
    // process-wide map. Null when the file cannot be loaded or the path names no
    // excluded list.
    ExcludedItemMap* LoadExcludedItems(const std::wstring& listPath, const std::wstring& file);
    // Loads the default include/exclude file and reads an included list.
    IncludedItemMap* LoadIncludedItems(const std::wstring& listPath);
    // Mode 0: included lists, 1: excluded lists; saved into exactly the file
    // `targetName` names ("UpdatedIncludeExclude.xml" or
    // "DefaultIncludeExclude.xml"), whose other lists stay as they were.
    void SaveIncludeExclude(int mode, const std::wstring& targetName);
    // Copies an excluded list into `destination` (replacing its content).
    void CopyExcludedItems(const std::wstring& listPath, ExcludedItemMap& destination);

    // ---- Scan details ----------------------------------------------------------
    // The selection of a new capture from the included lists: folders as real
    // paths (the system drive when the file has no folder list) and hives (the
    // five hives when it has no registry list), plus the setup program and the
    // product information held here. Also loads both excluded lists.
    ScanDetails ScanDetailsFromIncludedLists();
    void SetScanDetails(const ScanDetails& details) { m_scanDetails = details; }
    ScanDetails GetScanDetails() const { return m_scanDetails; }
    // Saves the held scan details to "ScanDetails.txt" in the snapshot folder
    // and takes the product information and project file name from them.
    int WriteScanDetails();
    // Restores the scan details from "ScanDetails.txt" (empty when missing).
    void ReadScanDetails();

    // ---- Product information and setup program --------------------------------
    void SetProductInfo(const std::wstring& name, const std::wstring& version, const std::wstring& company);
    const ProductInfo& GetProductInfo() const noexcept { return m_session.Product; }
    void SetSetupFilePath(const std::wstring& path) { m_setupFilePath = path; }
    std::wstring GetSetupFilePath() const { return m_setupFilePath; }

    // ---- Project file ---------------------------------------------------------
    // Loads the project file and reads its file-system and registry lists into
    // the project document's model. 1 or 0 (logged).
    int ParseProjectFile();
    // Reads the product information of the project file into `destination`.
    int ParseSetupFileInfo(ProductInfo& destination);
    // Reads the shortcuts (into the model when `replaceModel`) and, when
    // `icons` is given, the shortcut icons.
    int ParseShortcutList(IconMap* icons, bool replaceModel);
    // Puts the project file together; once it is completely written the
    // capture is no longer pending (IsSnapshotTaken and its key cleared) and
    // the snapshot and INI backup folders are removed. On failure all of them
    // stay, so that the capture can be resumed. Returns the coordinator's result.
    int CreateProjectFile();

    // Builds the package the request asks for: the MSI builder's whole run.
    // The builder's result (1 or 0); " Failed in Initialize of MSIHandler" is
    // logged when it cannot start.
    int BuildPackage(const BuildRequest& request);

    CEnumerateWrapper& Coordinator() noexcept { return m_coordinator; }
    CMSIHandler& Builder() noexcept { return m_builder; }
    CXMLDocumentHandler& ProjectDocument() noexcept { return m_projectDocument; }
    CXMLDocumentHandler& IncludeExcludeDocument() noexcept { return m_includeExcludeDocument; }
    const std::wstring& SnapshotFolder() const noexcept { return m_snapshotFolder; }

    CUIManager(const CUIManager&) = delete;
    CUIManager& operator=(const CUIManager&) = delete;

private:
    // The setup program, product information and project file name of the
    // held scan details.
    void TakeSelectionFromScanDetails();
    void LoadExcludedLists();

    Session& m_session;
    bool m_initialized = false;
    std::wstring m_snapshotFolder;
    std::wstring m_iniBackupFolder;
    std::wstring m_setupFilePath;
    CMSIHandler m_builder;
    CEnumerateWrapper m_coordinator;
    ScanDetails m_scanDetails;
    CXMLDocumentHandler m_projectDocument;
    CXMLDocumentHandler m_includeExcludeDocument;
    // One load or save of the include/exclude document (and of the
    // process-wide lists it fills) at a time: the advanced sheet's two pages
    // load on their own workers.
    std::mutex m_includeExcludeLock;
};

// A package or project file name made of product information (the name, the
// version, a setup's version resource), made one plain file name inside the
// packages folder; a change is logged.
std::wstring PlainNameFromProduct(const std::wstring& name);
