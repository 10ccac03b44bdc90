#include "engine/EnumerateWrapper.h"

#include "common/NameUuid.h"
#include "common/StopToken.h"
#include "common/SnapshotSeal.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "project/ProjectWriters.h"

#include <functional>
#include <set>
CEnumerateWrapper::~CEnumerateWrapper() = default;

void CEnumerateWrapper::WriteError(const std::wstring& message)
{
    LogError(message);
}

Result CEnumerateWrapper::Initialize()
{
    Result result = Result::Ok();
    if (Result files = m_files.Initialize(); !files)
        result = LogFailure(
            Result::Because(L"CEnumerateWrapper::Initialize Failed to Initialize FileEnumerate Class", files));
    else if (Result registry = m_registry.Initialize(); !registry)
        result = LogFailure(
            Result::Because(L"CEnumerateWrapper::Initialize Failed to Initialize RegistryEnumerate Class", registry));
    m_projectLoad = m_project.Load(m_paths.RawProjectFilePath);
    m_projectLoaded = static_cast<bool>(m_projectLoad);
    return result;
}

int CEnumerateWrapper::Uninitialize()
{
    RemoveFolderTree(m_paths.TempFolder());
    m_files.Reset();
    m_registry.Reset();
    return 1;
}

bool CEnumerateWrapper::IsFirstSnapshotTaken()
{
    const bool files = m_files.IsFirstSnapshotTaken() != 0;
    const bool registry = m_registry.IsFirstSnapshotTaken() != 0;
    const bool both = files && registry;
    m_files.SetFirstSnapshotTaken(both);
    m_registry.SetFirstSnapshotTaken(both);
    return both;
}

void CEnumerateWrapper::ApplyExclusions()
{
    // The user's excluded folders, and the program's own files: the program
    // folder, the working root (snapshot files, change documents, setups'
    // scratch files) and the packages folder of the output folder. The output
    // folder itself may be where the setup installs (-Path="C:\Program Files").
    for (const auto& [key, item] : m_exclusions.Selection.FilesExcluded)
        m_files.AddExcludedFolder(item.Name);
    const std::wstring packages = m_paths.OutputFolder.empty() ? std::wstring() : m_paths.PackagesFolder();
    for (const std::wstring& own : {m_paths.ProgramFolder, m_paths.WorkingRoot, packages})
        if (!own.empty())
            m_files.AddExcludedFolder(own);

    std::set<std::wstring> keys;
    for (const auto& [key, item] : m_exclusions.Selection.RegistryExcluded)
        keys.insert(item.Name); // short or long hive names, any case
    m_registry.SetExcludedKeys(std::move(keys));
}

Result CEnumerateWrapper::CaptureSnapshot(const ScanDetails& details)
{
    m_progress.SetStepCount(0);
    ApplyExclusions();
    const bool firstFiles = !m_files.FirstSnapshotTaken();
    // Each side logs its own failure; the first one is the result.
    Result result = Result::Ok();
    for (const auto& [type, roots] : details) {
        if (type != L"File" && type != L"Registry")
            continue;
        if (StopRequested()) {
            result = LogFailure(Result::Failure(
                ERROR_CANCELLED, L"CEnumerateWrapper::CaptureSnapshot Stopped before the capture was complete"));
            break;
        }
        Result side = type == L"File" ? m_files.CaptureSnapshot(roots) : m_registry.CaptureSnapshot(roots);
        if (!side) {
            if (result)
                result = std::move(side);
            if (StopRequested()) // the side logged the stop
                break;
        }
    }
    if (!result && firstFiles) {
        // Half a first snapshot is none: what one side took goes as well, so
        // that the next capture is a first one again on both sides.
        if (m_files.FirstSnapshotTaken()) {
            DeleteFileW(m_files.FirstSnapshotPath().c_str());
            m_files.SetFirstSnapshotTaken(false); // its entries go with it
        }
        m_registry.SetFirstSnapshotTaken(false);
    }
    return result;
}

Result CEnumerateWrapper::CompareSnapshot()
{
    EnsureFolder(m_paths.TempFolder());
    m_progress.SetStepCount(0);
    // A side logs its own failure, a stop included. Each side's documents are
    // written before the next side compares, so that a stop leaves what the
    // sides finished.
    Result files = m_files.CompareSnapshot();
    if (files)
        files = m_files.WriteChangeDocuments();
    if (!files)
        return files;
    m_progress.SetStepCount(1);
    Result registry = m_registry.CompareSnapshot();
    if (registry)
        registry = m_registry.WriteChangeDocument();
    m_progress.SetStepCount(0);
    if (!registry)
        return registry;
    CleanCapture();
    return Result::Ok();
}

PerUserDataCount CEnumerateWrapper::PerUserData()
{
    return CountPerUserData({&m_changes.Files(ChangeOrigin::Added), &m_changes.Files(ChangeOrigin::Modified)},
                            {&m_changes.Registry(ChangeOrigin::Added), &m_changes.Registry(ChangeOrigin::Modified)},
                            m_tokens.userprofile);
}

Result CEnumerateWrapper::CheckFirstSnapshot(std::size_t registryRoots)
{
    bool ok = CheckSnapshotSeal(m_files.FirstSnapshotPath());
    const std::size_t files = registryRoots == 0 ? 1 : registryRoots;
    for (std::size_t i = 0; i < files; ++i)
        ok = CheckSnapshotSeal(m_registry.FirstSnapshotFilePrefix() + std::to_wstring(i) + L".reg") && ok;
    if (!ok) // each file logged by its check
        return Result::Win32(ERROR_FILE_CORRUPT,
                             L"CEnumerateWrapper::CheckFirstSnapshot The first snapshot is damaged or unfinished");
    return Result::Ok();
}

Result CEnumerateWrapper::BuildProjectFile(const ProductInfo& product, const std::wstring& projectFile)
{
    EnsureFolder(m_paths.PackagesFolder());
    m_progress.SetStepCount(0);
    if (!m_projectLoaded)
        return LogFailure(Result::Because(L"CEnumerateWrapper::BuildProjectFile Unable to load " +
                                              m_paths.RawProjectFilePath,
                                          m_projectLoad));
    // Every new capture names its UpgradeCode, so that a user can pin it.
    ProductInfo written = product;
    if (written.UpgradeCode.empty())
        written.UpgradeCode = DeriveUpgradeCode(product.CompanyName, product.ApplicationName);
    // The capture saw the machine as it is: a 64-bit one's paths and keys
    // name both views, and the builder needs to know.
    if (IsWow64Windows())
        written.Platform = L"x64";
    // Every step saves the whole document: the project file is complete only
    // when each save succeeded. A stop between them leaves none, since a file
    // without all its sections would build a short package.
    const std::function<Result()> steps[] = {
        [&] { return ReplaceNodeInProjectFile(m_paths.FileChangesPath, L"FileSystem", projectFile); },
        [&] { return ReplaceNodeInProjectFile(m_paths.RegChangesPath, L"RegistrySystem", projectFile); },
        [&] { return CopySystemSettingsToProjectFile(projectFile); },
        [&] { return ReplaceNodeInProjectFile(m_paths.IniChangesPath, L"INIFileSystem", projectFile); },
        [&] { return WriteShortcutList(m_project, m_shortcuts, m_tokens, projectFile); },
        [&] { return WriteShortcutIcons(m_project, m_icons, projectFile); },
        [&] { return WriteProductInfo(m_project, written, projectFile); },
    };
    for (const auto& step : steps) {
        if (StopRequested()) {
            DeleteFileW(projectFile.c_str());
            return LogFailure(Result::Failure(ERROR_CANCELLED,
                                              L"CEnumerateWrapper::BuildProjectFile Stopped before the project file "
                                              L"was complete; " + projectFile + L" removed"));
        }
        if (Result done = step(); !done) {
            // What the earlier steps saved lacks this step's part; the step
            // logged why.
            DeleteFileW(projectFile.c_str());
            return done;
        }
    }
    return Result::Ok();
}

Result CEnumerateWrapper::ReplaceNodeInProjectFile(const std::wstring& changeDocumentPath, const std::wstring& section,
                                                   const std::wstring& projectFile)
{
    XmlNode root = m_project.Root();
    XmlNode target = root.SelectSingleNode(section);
    if (target.IsNull()) {
        WriteError(L"CEnumerateWrapper::ReplaceNodeInProjectFile Unable to find the Specified TAG in XML");
    } else {
        XmlDocument changes;
        const bool exists = GetFileAttributesW(changeDocumentPath.c_str()) != INVALID_FILE_ATTRIBUTES;
        // A damaged change document is no empty one: the project file would
        // lack every change it holds.
        Result loaded = exists ? changes.Load(changeDocumentPath) : Result::Ok();
        if (!loaded)
            return LogFailure(Result::Because(L"CEnumerateWrapper::ReplaceNodeInProjectFile Unable to load the change "
                                              L"document " + changeDocumentPath + L"; the project file is not written",
                                              loaded));
        if (exists) {
            XmlNode replacement = changes.Select(section);
            if (replacement.IsNull()) {
                WriteError(L"CEnumerateWrapper::ReplaceNodeInProjectFile Unable to find the Specified TAG in XML");
            } else {
                // The section may sit anywhere below the root: replace it in its own parent.
                IXMLDOMNode* parentRaw = nullptr;
                if (SUCCEEDED(target.Get()->get_parentNode(&parentRaw)) && parentRaw) {
                    XmlNode parent(parentRaw);
                    parentRaw->Release();
                    parent.ReplaceChild(replacement, target);
                }
            }
        }
    }
    if (Result saved = m_project.Save(projectFile); !saved)
        return LogFailure(Result::Because(L"CEnumerateWrapper::ReplaceNodeInProjectFile Unable to save XML File"
                                          L"\t\t\t\t\t\t\t\t\t\t\tCheck the project file path is valid",
                                          saved));
    return Result::Ok();
}
