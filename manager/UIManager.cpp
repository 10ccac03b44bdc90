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

Result CUIManager::Initialize()
{
    if (m_initialized)
        return Result::Ok();
    m_session.SnapshotPending = CleanWorkspaceAtStartup(m_session.Paths);
    m_snapshotFolder = m_session.Paths.SnapshotFolder();
    m_iniBackupFolder = m_session.Paths.IniBackupFolder;
    if (Result started = m_coordinator.Initialize(); !started)
        return started;
    m_initialized = true;
    return Result::Ok();
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

Result CUIManager::WriteScanDetails()
{
    Result written = WriteScanDetailsFile(m_snapshotFolder + L"\\" + ScanDetailsFileName, m_scanDetails);
    TakeSelectionFromScanDetails();
    return written;
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

Result CUIManager::LoadProjectFile(const std::wstring& line)
{
    const std::wstring path = m_session.ProjectFilePath();
    if (Result loaded = m_loaded.Document.Load(path); !loaded)
        return LogFailure(Result::Because(line + L"Unable to Load " + path + L" File", loaded));
    return Result::Ok();
}

Result CUIManager::ParseProjectFile()
{
    if (Result loaded = LoadProjectFile(L"CUIManager::ParseProjectFile "); !loaded)
        return loaded;
    ReadProjectLists(m_loaded.Document, m_loaded.Model);
    return Result::Ok();
}

Result CUIManager::ParseSetupFileInfo(ProductInfo& destination)
{
    if (Result loaded = LoadProjectFile(L" CUIManager::ParseSetupFileInfo : "); !loaded)
        return loaded;
    ProductInfo read;
    if (ReadProductInfo(m_loaded.Document, read))
        destination = read;
    return Result::Ok();
}

Result CUIManager::ParseShortcutList(IconMap* icons, bool replaceModel)
{
    if (Result loaded = LoadProjectFile(L" CUIManager::ParseShortcutList : "); !loaded)
        return loaded;
    if (replaceModel) {
        m_loaded.Model.Shortcuts.clear();
        ReadShortcutList(m_loaded.Document, m_loaded.Model.Shortcuts, m_session.Tokens);
    }
    if (icons)
        ReadShortcutIcons(m_loaded.Document, *icons);
    return Result::Ok();
}

Result CUIManager::CreateProjectFile()
{
    Result result = m_coordinator.BuildProjectFile(m_session.Product, m_session.ProjectFilePath());
    if (result) {
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

Result CUIManager::BuildPackage(const BuildRequest& request)
{
    // The build works in this run's paths, on this machine's folders.
    BuildRequest placed = request;
    placed.Paths = m_session.Paths;
    placed.Tokens = m_session.Tokens;
    // The builder logs its own failures, with the system's or the
    // installer's code where a call failed.
    if (m_builder.Initialize(placed) != 1)
        return LogFailure(Result::Failure(ERROR_INSTALL_FAILURE, L" Failed in Initialize of MSIHandler"));
    const int built = m_builder.BuildMSI();
    m_builder.Uninitialize();
    if (built != 1) {
        const std::wstring reason = FromUtf8(m_builder.FailureReason());
        return Result::Failure(ERROR_INSTALL_FAILURE, reason.empty() ? L"The package was not built" : reason);
    }
    return Result::Ok();
}
