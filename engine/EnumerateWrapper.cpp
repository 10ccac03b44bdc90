#include "engine/EnumerateWrapper.h"

#include "common/Paths.h"
#include "common/Progress.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "project/IncludeExclude.h"
#include "project/SharedProjectData.h"

#include <set>
CEnumerateWrapper::~CEnumerateWrapper()
{
    if (m_log)
        CLogHandler::ReleaseInstance(m_log);
}

void CEnumerateWrapper::WriteError(const std::string& message)
{
    if (m_log) {
        m_log->WriteError(message);
    } else {
        LogError(message);
    }
}

bool CEnumerateWrapper::Initialize()
{
    if (!m_log)
        m_log = CLogHandler::GetInstance();
    bool ok = true;
    if (m_files.Initialize() != 1) {
        WriteError("CEnumerateWrapper::Initialize Failed to Initialize FileEnumerate Class");
        ok = false;
    } else if (m_registry.Initialize() != 1) {
        WriteError("CEnumerateWrapper::Initialize Failed to Initialize RegistryEnumerate Class");
        ok = false;
    }
    if (!ok) {
        CLogHandler::ReleaseInstance(m_log);
        m_log = nullptr;
    }
    m_projectLoaded = m_project.Load(Paths().RawProjectFilePath) == 1;
    return ok;
}

int CEnumerateWrapper::Uninitialize()
{
    if (m_log) {
        CLogHandler::ReleaseInstance(m_log);
        m_log = nullptr;
    }
    RemoveFolderTree(WorkingTempFolder());
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
    // scratch files) and the output folder.
    for (const auto& [key, item] : FileExcludedItems())
        m_files.AddExcludedFolder(item.Name);
    for (const std::string& own : {Paths().ProgramFolder, Paths().WorkingRoot, Paths().OutputFolder})
        if (!own.empty())
            m_files.AddExcludedFolder(FromUtf8(own));

    std::set<std::wstring> keys;
    for (const auto& [key, item] : RegistryExcludedItems())
        keys.insert(item.Name); // short or long hive names, any case
    m_registry.SetExcludedKeys(std::move(keys));
}

int CEnumerateWrapper::CaptureSnapshot(const ScanDetails& details)
{
    Progress().SetStepCount(0);
    ApplyExclusions();
    int result = 1;
    for (const auto& [type, roots] : details) {
        if (type == L"File") {
            if (m_files.CaptureSnapshot(roots) != 1) {
                WriteError("CEnumerateWrapper::CaptureSnapshot Failed to CaptureSnapShot of FileEnumerate Class");
                result = 0;
            }
        } else if (type == L"Registry") {
            if (m_registry.CaptureSnapshot(roots) != 1) {
                WriteError("CEnumerateWrapper::CaptureSnapshot Failed to CaptureSnapShot of RegistryEnumerate Class");
                result = 0;
            }
        }
    }
    return result;
}

int CEnumerateWrapper::CompareSnapshot()
{
    EnsureFolder(WorkingTempFolder());
    Progress().SetStepCount(0);
    if (m_files.CompareSnapshot() != 1) {
        WriteError("CEnumerateWrapper::CompareSnapshot Failed to CompareSnapshot of FileEnumerate Class");
        return 0;
    }
    Progress().SetStepCount(1);
    if (m_registry.CompareSnapshot() != 1) {
        WriteError("CEnumerateWrapper::CompareSnapshot Failed to CompareSnapshot of RegistryEnumerate Class");
        Progress().SetStepCount(0);
        return 0;
    }
    Progress().SetStepCount(0);
    return 1;
}

int CEnumerateWrapper::BuildProjectFile(const ProductInfo& product)
{
    EnsureFolder(PackagesFolder());
    Progress().SetStepCount(0);
    if (m_projectLoaded) {
        ReplaceNodeInProjectFile(Paths().FileChangesPath, L"FileSystem");
        ReplaceNodeInProjectFile(Paths().RegChangesPath, L"RegistrySystem");
        ReplaceNodeInProjectFile(Paths().IniChangesPath, L"INIFileSystem");
        m_project.InsertShortcutInXML(NodePath::Shortcuts, SelectedShortcuts());
        m_project.InsertShortcutICONInXML(NodePath::ShortcutIcons, ExtractedIcons());
        // The capture saw the machine as it is: a 64-bit one's paths and keys
        // name both views, and the builder needs to know.
        ProductInfo recorded = product;
        if (IsWow64Windows())
            recorded.Platform = L"x64";
        m_project.InsertProductInfoInXML(NodePath::Product, recorded);
    }
    return 1;
}

void CEnumerateWrapper::ReplaceNodeInProjectFile(const std::string& changeDocumentPath, const std::wstring& section)
{
    CXMLNodeHandler root = m_project.GetRootNode();
    CXMLNodeHandler target = root.SelectSingleNode(section);
    if (target.IsNull()) {
        WriteError("CEnumerateWrapper::ReplaceNodeInProjectFile Unable to find the Specified TAG in XML");
    } else {
        CXMLDocumentHandler changes;
        if (changes.Load(changeDocumentPath) == 1) {
            CXMLNodeHandler replacement = changes.GetRootNode().SelectSingleNode(section);
            if (replacement.IsNull()) {
                WriteError("CEnumerateWrapper::ReplaceNodeInProjectFile Unable to find the Specified TAG in XML");
            } else {
                // The section may sit anywhere below the root: replace it in its own parent.
                IXMLDOMNode* parentRaw = nullptr;
                if (SUCCEEDED(target.Get()->get_parentNode(&parentRaw)) && parentRaw) {
                    CXMLNodeHandler parent(parentRaw);
                    parentRaw->Release();
                    parent.ReplaceChild(replacement, target);
                }
            }
        }
    }
    if (m_project.Save(GetProjectFilePath()) != 1)
        WriteError("CEnumerateWrapper::ReplaceNodeInProjectFile Unable to save XML File"
                   "\t\t\t\t\t\t\t\t\t\t\tCheck the project file path is valid");
}
