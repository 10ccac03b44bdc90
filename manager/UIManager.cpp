#include "manager/UIManager.h"

#include "common/Config.h"
#include "common/FileNames.h"
#include "common/FolderTokens.h"
#include "common/Utf.h"
#include "common/Workspace.h"
#include "manager/ScanDetailsFile.h"
#include "project/ProjectReaders.h"


std::wstring PlainNameFromProduct(const std::wstring& name)
{
    const std::wstring plain = MakePlainFileName(name);
    if (plain != name)
        LogError(L"The file name \"" + name + L"\" taken from the product information is not a plain file "
                 L"name (" + PlainFileNameProblem(name) + L"); \"" + plain + L"\" is used");
    return plain;
}

CUIManager::CUIManager(Session& session)
    : m_session(session), m_builder(session.Progress),
      m_coordinator(session.Changes, session.SelectedShortcuts, session.ExtractedIcons, session.Progress,
                    session.Paths, session.Tokens, {session.Selection, session.ExcludedFiles, session.ExcludedRegistry}),
      m_includeExclude(session.Selection, session.Paths)
{
}

CUIManager::~CUIManager() = default;

int CUIManager::Initialize()
{
    if (m_initialized)
        return 1;
    m_session.SnapshotPending = CleanWorkspaceAtStartup(m_session.Paths);
    m_snapshotFolder = m_session.Paths.SnapshotFolder();
    m_iniBackupFolder = m_session.Paths.IniBackupFolder;
    if (!m_coordinator.Initialize())
        return 0;
    m_initialized = true;
    return 1;
}

int CUIManager::Uninitialize()
{
    if (!m_initialized)
        return 1;
    RemoveSnapshotTakenKey(m_session.Paths);
    m_coordinator.Uninitialize();
    m_initialized = false;
    return 1;
}

ScanDetails CUIManager::ScanDetailsFromIncludedLists()
{
    ScanDetails details;
    std::vector<std::wstring>& folders = details[L"File"];
    if (const IncludedItemMap* included = m_includeExclude.LoadIncludedItems(IncludeExcludePath::FilesIncluded)) {
        for (const auto& [key, name] : *included) {
            std::wstring real = name;
            ToRealPath(real, m_session.Tokens);
            folders.push_back(real);
        }
    } else {
        folders.push_back(m_session.Tokens.systemdrive);
    }
    std::vector<std::wstring>& hives = details[L"Registry"];
    if (const IncludedItemMap* included = m_includeExclude.LoadIncludedItems(IncludeExcludePath::RegistryIncluded)) {
        for (const auto& [key, name] : *included)
            hives.push_back(name);
    } else {
        hives = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE", L"HKEY_USERS",
                 L"HKEY_CURRENT_CONFIG"};
    }
    m_includeExclude.LoadExcludedLists();

    details[L"SetupFilePath"] = {m_setupFilePath};
    const ProductInfo& product = m_session.Product;
    details[L"SetupFileInfo"] = {product.ApplicationName, product.Version, product.CompanyName};
    return details;
}

void CUIManager::TakeSelectionFromScanDetails()
{
    const auto setup = m_scanDetails.find(L"SetupFilePath");
    if (setup != m_scanDetails.end() && !setup->second.empty())
        m_setupFilePath = setup->second.front();
    const auto info = m_scanDetails.find(L"SetupFileInfo");
    if (info == m_scanDetails.end() || info->second.size() < 3)
        return; // a damaged file: keep what is known
    const auto& strings = info->second;
    SetProductInfo(strings[0], strings[1], strings[2]);
    const std::wstring projectName = PlainNameFromProduct(strings[0] + L"_" + strings[1] + L".xml");
    m_session.SetProjectFilePath(m_session.Paths.PackagesFolder() + L"\\" + projectName);
}

int CUIManager::WriteScanDetails()
{
    const bool written = WriteScanDetailsFile(m_snapshotFolder + L"\\" + ScanDetailsFileName, m_scanDetails);
    TakeSelectionFromScanDetails();
    return written ? 1 : 0;
}

void CUIManager::ReadScanDetails()
{
    const std::wstring folder = m_snapshotFolder.empty() ? m_session.Paths.SnapshotFolder() : m_snapshotFolder;
    m_scanDetails = ReadScanDetailsFile(folder + L"\\" + ScanDetailsFileName);
    // The second capture of a resumed run must leave out what the first did.
    m_includeExclude.LoadExcludedLists();
    TakeSelectionFromScanDetails();
}

void CUIManager::SetProductInfo(const std::wstring& name, const std::wstring& version, const std::wstring& company)
{
    m_session.WindowThread.AssertCurrent(L"the product information");
    m_session.Product = ProductInfo{name, version, company};
}

int CUIManager::ParseProjectFile()
{
    const std::wstring path = m_session.ProjectFilePath();
    if (!m_loaded.Document.Load(path)) {
        LogError(L"CUIManager::ParseProjectFile Unable to Load " + path + L" File");
        return 0;
    }
    ReadProjectLists(m_loaded.Document, m_loaded.Model);
    return 1;
}

int CUIManager::ParseSetupFileInfo(ProductInfo& destination)
{
    const std::wstring path = m_session.ProjectFilePath();
    if (!m_loaded.Document.Load(path)) {
        LogError(L" CUIManager::ParseSetupFileInfo : Unable to Load " + path + L" File");
        return 0;
    }
    ProductInfo read;
    if (ReadProductInfo(m_loaded.Document, read))
        destination = read;
    return 1;
}

int CUIManager::ParseShortcutList(IconMap* icons, bool replaceModel)
{
    const std::wstring path = m_session.ProjectFilePath();
    if (!m_loaded.Document.Load(path)) {
        LogError(L" CUIManager::ParseShortcutList : Unable to Load " + path + L" File");
        return 0;
    }
    if (replaceModel) {
        m_loaded.Model.Shortcuts.clear();
        ReadShortcutList(m_loaded.Document, m_loaded.Model.Shortcuts, m_session.Tokens);
    }
    if (icons)
        ReadShortcutIcons(m_loaded.Document, *icons);
    return 1;
}

int CUIManager::CreateProjectFile()
{
    const int result = m_coordinator.BuildProjectFile(m_session.Product, m_session.ProjectFilePath());
    if (result == 1) {
        // The capture lives on in the project file: nothing is pending any
        // more, so a later start must not offer to continue it.
        m_session.SnapshotPending = false;
        if (!RemoveSnapshotTakenKey(m_session.Paths))
            LogError(L"CUIManager::CreateProjectFile: Unable to remove IsSnapshotTaken from " +
                     m_session.Paths.ConfigFilePath);
        RemoveFolderTree(m_snapshotFolder);
        RemoveFolderTree(m_iniBackupFolder);
    }
    return result;
}

int CUIManager::BuildPackage(const BuildRequest& request)
{
    // The build works in this run's paths, on this machine's folders.
    BuildRequest placed = request;
    placed.Paths = m_session.Paths;
    placed.Tokens = m_session.Tokens;
    const int initialized = m_builder.Initialize(placed);
    if (initialized != 1) {
        LogError(L" Failed in Initialize of MSIHandler");
        return initialized;
    }
    const int built = m_builder.BuildMSI();
    m_builder.Uninitialize();
    return built;
}
