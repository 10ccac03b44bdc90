// The readers that turn a project file back into the in-memory model, and the
// rebuild of a project file from that model. Lists are walked sibling by
// sibling (indexing a child list is linear per item); only elements count.
#include "project/XMLDocumentHandler.h"

#include "common/FolderTokens.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "project/SystemSettings.h"

namespace {

// Calls `visit` for each element child of `parent`, in document order.
template <typename Visit>
void ForEachElement(const XmlNode& parent, Visit&& visit)
{
    for (XmlNode child = parent.GetFirstChild(); !child.IsNull(); child = child.GetNextSibling()) {
        if (child.IsElement())
            visit(child);
    }
}

} // namespace

void CXMLDocumentHandler::ReadProjectLists()
{
    m_allFiles.clear();
    m_allFolders.clear();
    m_allRegistryKeys.clear();
    for (const wchar_t* path : {NodePath::FilesAdded, NodePath::FilesModified, NodePath::FilesDeleted})
        ReadDirectoryList(path);
    for (const wchar_t* path : {NodePath::RegistryAdded, NodePath::RegistryModified, NodePath::RegistryDeleted})
        ReadSubKeyList(path);
}

void CXMLDocumentHandler::ReadDirectoryList(const std::wstring& listPath)
{
    DirectoryChangeMap* map = DirectoryMapFor(listPath);
    if (!map)
        return;
    map->clear();
    try {
        const XmlNode list = SelectList(listPath);
        ForEachElement(list, [&](const XmlNode& directory) {
            const std::wstring folder = directory.GetNamedAttribute(L"Name");
            m_allFolders.push_back(folder);
            // The entry exists even for a folder without files.
            std::vector<std::wstring>& files = (*map)[folder];
            ForEachElement(directory, [&](const XmlNode& file) {
                std::wstring full = folder + L"\\" + file.GetNamedAttribute(L"Name");
                m_allFiles.push_back(full);
                files.push_back(std::move(full));
            });
        });
    } catch (...) {
        WriteError(L"CXMLDocumentHandler::ReadDirectoryList Out of memory");
    }
}

void CXMLDocumentHandler::ReadSubKeyList(const std::wstring& listPath)
{
    RegistryChangeMap* map = RegistryMapFor(listPath);
    if (!map)
        return;
    map->clear();
    try {
        const XmlNode list = SelectList(listPath);
        ForEachElement(list, [&](const XmlNode& subKey) {
            const std::wstring key = subKey.GetNamedAttribute(L"Name");
            m_allRegistryKeys.push_back(key);
            std::vector<RegistryChangeEntry>& values = (*map)[key];
            ForEachElement(subKey, [&](const XmlNode& value) {
                values.push_back({key, value.GetNamedAttribute(L"Name"), value.GetNamedAttribute(L"Type"),
                                  value.GetNamedAttribute(L"Data")});
            });
        });
    } catch (...) {
        WriteError(L"CXMLDocumentHandler::ReadSubKeyList Out of memory");
    }
}

void CXMLDocumentHandler::ReadINIFileList(const std::wstring& listPath)
{
    IniChangeMap* map = IniMapFor(listPath);
    if (!map)
        return;
    map->clear();
    try {
        const XmlNode list = SelectList(listPath);
        ForEachElement(list, [&](const XmlNode& iniFile) {
            std::vector<IniChangeEntry>& entries = (*map)[iniFile.GetNamedAttribute(L"Name")];
            ForEachElement(iniFile, [&](const XmlNode& section) {
                entries.push_back({section.GetNamedAttribute(L"Name"), section.GetNamedAttribute(L"Key"),
                                   section.GetNamedAttribute(L"Value")});
            });
        });
    } catch (...) {
        WriteError(L"CXMLDocumentHandler::ReadINIFileList Out of memory");
    }
}

void CXMLDocumentHandler::ReadShortcutList(ShortcutList& destination) const
{
    try {
        const XmlNode list = SelectList(NodePath::Shortcuts);
        ForEachElement(list, [&](const XmlNode& shortcut) {
            ShortcutRecord record{shortcut.GetNamedAttribute(L"Name"), shortcut.GetNamedAttribute(L"ExeName"),
                                  shortcut.GetNamedAttribute(L"Directory"), shortcut.GetNamedAttribute(L"Icon"),
                                  shortcut.GetNamedAttribute(L"IconIndex")};
            ToRealPath(record.Icon);
            record.Subfolder = shortcut.GetNamedAttribute(L"Subfolder");
            record.Arguments = shortcut.GetNamedAttribute(L"Arguments");
            record.WorkingFolder = shortcut.GetNamedAttribute(L"WorkingFolder");
            ToRealPath(record.WorkingFolder);
            record.Description = shortcut.GetNamedAttribute(L"Description");
            record.ShowCommand = shortcut.GetNamedAttribute(L"ShowCmd");
            destination.push_back(std::move(record));
        });
    } catch (...) {
        WriteError(L"CXMLDocumentHandler::ReadShortcutList Out of memory");
    }
}

void CXMLDocumentHandler::ReadShortcutList()
{
    m_shortcuts.clear();
    ReadShortcutList(m_shortcuts);
}

void CXMLDocumentHandler::ReadShortcutICONs(IconMap& destination) const
{
    try {
        const XmlNode list = SelectList(NodePath::ShortcutIcons);
        ForEachElement(list, [&](const XmlNode& icon) {
            IconRecord& record = destination[icon.GetNamedAttribute(L"Name")];
            record.Size = icon.GetNamedAttribute(L"Size");
            record.Data = icon.GetNamedAttribute(L"Data");
            ForEachElement(icon, [&](const XmlNode& exe) {
                record.Executables.push_back(exe.GetNamedAttribute(L"Name"));
            });
        });
    } catch (...) {
        WriteError(L"CXMLDocumentHandler::ReadShortcutICONs Out of memory");
    }
}

int CXMLDocumentHandler::ReadProductInfo(ProductInfo& destination) const
{
    try {
        const XmlNode section = SelectList(NodePath::Product);
        // The newest product information stands first.
        for (XmlNode child = section.GetFirstChild(); !child.IsNull(); child = child.GetNextSibling()) {
            if (!child.IsElement())
                continue;
            // UpgradeCode and Platform are optional (empty when absent).
            destination = {child.GetNamedAttribute(L"ApplicationName"), child.GetNamedAttribute(L"Version"),
                           child.GetNamedAttribute(L"CompanyName"), child.GetNamedAttribute(L"UpgradeCode"),
                           child.GetNamedAttribute(L"Platform")};
            return 1;
        }
    } catch (...) {
        WriteError(L"CXMLDocumentHandler::ReadProductInfo Out of memory");
    }
    return 0;
}

int CXMLDocumentHandler::RegenerateProjectFile()
{
    try {
        if (!IsLoaded()) {
            WriteError(L"CXMLDocumentHandler::RegenerateProjectFile XML File Not Loaded");
            return 0;
        }
        // What the file-system and registry model does not hold comes from the
        // loaded file, before it is replaced by the skeleton.
        ReadShortcutList();
        m_icons.clear();
        ReadShortcutICONs(m_icons);
        for (const wchar_t* path : {NodePath::IniAdded, NodePath::IniModified, NodePath::IniDeleted})
            ReadINIFileList(path);
        ProductInfo product;
        if (ReadProductInfo(product))
            m_product = product;
        // Services and variables go as they are; a file without their
        // sections gets none (and builds as before).
        const bool hasSystemSettings = !GetRootNode().SelectSingleNode(SystemSection::Services).IsNull();
        const ServiceList services = ReadServiceList(*this);
        const EnvironmentList variables = ReadEnvironmentList(*this);

        if (!Load(Paths().RawProjectFilePath)) {
            WriteError(L"CXMLDocumentHandler::RegenerateProjectFile Unable to Load " + Paths().RawProjectFilePath +
                       L" File");
            return 0;
        }
        // Every step saves the whole file: it holds the repairs only when each
        // step succeeded (a read-only file fails them all).
        const std::wstring projectFile = GetProjectFilePath();
        bool written = true;
        for (const wchar_t* path : {NodePath::FilesAdded, NodePath::FilesModified, NodePath::FilesDeleted})
            written = InsertDirectoryAndFileInXML(path, *DirectoryMapFor(path), projectFile, true) && written;
        for (const wchar_t* path : {NodePath::RegistryAdded, NodePath::RegistryModified, NodePath::RegistryDeleted})
            written = InsertRegistryKeyAndValueInXML(path, *RegistryMapFor(path), projectFile) && written;
        for (const wchar_t* path : {NodePath::IniAdded, NodePath::IniModified, NodePath::IniDeleted})
            written = InsertINIKeyAndValueInXML(path, *IniMapFor(path), projectFile) && written;
        written = InsertShortcutInXML(NodePath::Shortcuts, m_shortcuts) && written;
        written = InsertShortcutICONInXML(NodePath::ShortcutIcons, m_icons) && written;
        written = InsertProductInfoInXML(NodePath::Product, m_product) && written;
        if (hasSystemSettings) {
            written = WriteServiceList(*this, services, projectFile) && written;
            written = WriteEnvironmentList(*this, variables, projectFile) && written;
        }
        // The document now stands for the project file; a later Save() must
        // never write over the raw project file.
        m_xml.SetPath(projectFile);
        if (!written) {
            WriteError(L"CXMLDocumentHandler::RegenerateProjectFile Unable to write " + projectFile);
            return 0;
        }
        return 1;
    } catch (...) {
        WriteError(L"CXMLDocumentHandler::RegenerateProjectFile Out of memory");
        return 0;
    }
}
