#include "msi/WixSource.h"

#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "msi/Upgrade.h"
#include "msi/WixRows.h"

#include <cwchar>
#include <set>
#include <utility>
#include <vector>

namespace {

using RowIndex = std::map<std::wstring, std::vector<const PackageRow*>>;

// The rows of a table by the text of one of their columns.
RowIndex IndexBy(const PackageTables& tables, const wchar_t* table, std::size_t column)
{
    RowIndex index;
    for (const PackageRow& row : tables.Rows(table))
        index[row[column]].push_back(&row);
    return index;
}

const std::vector<const PackageRow*>& Indexed(const RowIndex& index, const std::wstring& key)
{
    static const std::vector<const PackageRow*> none;
    const auto found = index.find(key);
    return found == index.end() ? none : found->second;
}

// The Component attributes (msidbComponentAttributes...) this builder uses.
constexpr unsigned RegistryKeyPath = 0x4;
constexpr unsigned SharedDllRefCount = 0x8;
constexpr unsigned Permanent = 0x10;
constexpr unsigned Win64 = 0x100;

// Builds the Product element's directory tree with every component inside
// the directory it installs to, and its elements inside it.
class CWixTree
{
public:
    CWixTree(const PackageTables& tables, const PackageSources& sources)
        : m_tables(tables), m_sources(sources), m_files(IndexBy(tables, L"File", 1)),
          m_registry(IndexBy(tables, L"Registry", 5)), m_shortcuts(IndexBy(tables, L"Shortcut", 3)),
          m_ini(IndexBy(tables, L"IniFile", 7)), m_removeIni(IndexBy(tables, L"RemoveIniFile", 7)),
          m_createFolders(IndexBy(tables, L"CreateFolder", 1)), m_removeFiles(IndexBy(tables, L"RemoveFile", 1)),
          m_services(IndexBy(tables, L"ServiceInstall", 11)), m_controls(IndexBy(tables, L"ServiceControl", 5)),
          m_environment(IndexBy(tables, L"Environment", 3)), m_children(IndexBy(tables, L"Directory", 1)),
          m_components(IndexBy(tables, L"Component", 2))
    {
    }

    // The directories whose parent is not a directory of the package (the
    // root, TARGETDIR), each with its subtree; then a DirectoryRef for
    // components whose directory has no row.
    void AddDirectories(WixElement& product)
    {
        std::set<std::wstring> known;
        for (const PackageRow& row : m_tables.Rows(L"Directory"))
            known.insert(row[0]);
        for (const PackageRow& row : m_tables.Rows(L"Directory"))
            if (row[1].empty() || row[1] == row[0] || !known.contains(row[1]))
                product.Add(DirectoryElement(row, 0));
        for (const auto& [directory, components] : m_components) {
            if (known.contains(directory))
                continue;
            WixElement& reference = product.Add({L"DirectoryRef"});
            reference.Set(L"Id", directory);
            for (const PackageRow* component : components)
                reference.Add(ComponentElement(*component));
        }
    }

private:
    WixElement DirectoryElement(const PackageRow& row, int depth)
    {
        WixElement element{L"Directory"};
        element.Set(L"Id", row[0]);
        SetDirectoryNames(element, row[2]);
        for (const PackageRow* component : Indexed(m_components, row[0]))
            element.Add(ComponentElement(*component));
        // The table cannot hold a cycle the installer would accept; the depth
        // keeps a damaged one from recursing without end.
        if (depth < 256)
            for (const PackageRow* child : Indexed(m_children, row[0]))
                if (child != &row)
                    element.Add(DirectoryElement(*child, depth + 1));
        return element;
    }

    WixElement ComponentElement(const PackageRow& row)
    {
        const std::wstring& id = row[0];
        const unsigned attributes = static_cast<unsigned>(std::wcstoul(row[3].c_str(), nullptr, 10));
        const std::wstring& keyPath = row[4];
        const bool registryKeyPath = attributes & RegistryKeyPath;
        WixElement element{L"Component"};
        element.Set(L"Id", id).Set(L"Guid", row[1]);
        element.Set(L"SharedDllRefCount", attributes & SharedDllRefCount ? L"yes" : L"")
            .Set(L"Permanent", attributes & Permanent ? L"yes" : L"")
            .Set(L"Win64", attributes & Win64 ? L"yes" : L"");
        for (const PackageRow* file : Indexed(m_files, id)) {
            const auto source = m_sources.files.find((*file)[0]);
            const std::wstring path = source == m_sources.files.end() ? std::wstring() : source->second;
            element.Add(FileElement(*file, path, !registryKeyPath && (*file)[0] == keyPath));
        }
        for (const PackageRow* value : Indexed(m_registry, id))
            element.Add(RegistryElement(*value, registryKeyPath && (*value)[0] == keyPath));
        for (const PackageRow* shortcut : Indexed(m_shortcuts, id))
            element.Add(ShortcutElement(*shortcut));
        for (const RowIndex* ini : {&m_ini, &m_removeIni})
            for (const PackageRow* entry : Indexed(*ini, id))
                element.Add(IniFileElement(*entry));
        for (const PackageRow* folder : Indexed(m_createFolders, id))
            element.Add({L"CreateFolder"}).Set(L"Directory", (*folder)[0] == row[2] ? L"" : (*folder)[0]);
        for (const PackageRow* removeFile : Indexed(m_removeFiles, id))
            element.Add(RemoveFileElement(*removeFile));
        for (const PackageRow* service : Indexed(m_services, id))
            element.Add(ServiceInstallElement(*service));
        for (const PackageRow* control : Indexed(m_controls, id))
            element.Add(ServiceControlElement(*control));
        for (const PackageRow* variable : Indexed(m_environment, id))
            element.Add(EnvironmentElement(*variable));
        return element;
    }

    const PackageTables& m_tables;
    const PackageSources& m_sources;
    const RowIndex m_files, m_registry, m_shortcuts, m_ini, m_removeIni, m_createFolders, m_removeFiles, m_services,
        m_controls, m_environment;
    const RowIndex m_children;   // Directory rows by parent
    const RowIndex m_components; // Component rows by directory
};

// The properties WiX writes itself from the Product and Package elements,
// from MajorUpgrade and from the properties marked secure.
bool WixWritesProperty(const std::wstring& name)
{
    static const std::set<std::wstring> own = {L"ProductName",   L"Manufacturer",   L"ProductVersion",
                                               L"ProductCode",   L"UpgradeCode",    L"ProductLanguage",
                                               L"ALLUSERS",      L"SecureCustomProperties"};
    return own.contains(name);
}

void AddProperties(const PackageTables& tables, WixElement& product)
{
    for (const PackageRow& row : tables.Rows(L"Property"))
        if (!WixWritesProperty(row[0]))
            product.Add({L"Property"}).Set(L"Id", row[0]).Set(L"Value", row[1]);
    // The secure properties other than the upgrade's, which MajorUpgrade names itself.
    const std::wstring secure = tables.Property(L"SecureCustomProperties");
    std::size_t start = 0;
    while (start < secure.size()) {
        const std::size_t end = std::min(secure.find(L';', start), secure.size());
        const std::wstring name = secure.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == PreviousVersionsProperty || name == NewerVersionProperty)
            continue;
        product.Add({L"Property"}).Set(L"Id", name).Set(L"Secure", L"yes");
    }
}

// The custom actions that set a property (type 51), with their place in the
// execute sequence.
void AddPropertyActions(const PackageTables& tables, WixElement& product)
{
    std::map<std::wstring, const PackageRow*> sequence;
    for (const PackageRow& row : tables.Rows(L"InstallExecuteSequence"))
        sequence.emplace(row[0], &row);
    WixElement execute{L"InstallExecuteSequence"};
    for (const PackageRow& action : tables.Rows(L"CustomAction")) {
        const auto scheduled = sequence.find(action[0]);
        if ((std::wcstoul(action[1].c_str(), nullptr, 10) & 0x3F) != 51 || scheduled == sequence.end())
            continue;
        product.Add({L"CustomAction"}).Set(L"Id", action[0]).Set(L"Property", action[2]).Set(L"Value", action[3]);
        WixElement custom{L"Custom", {}, {}, (*scheduled->second)[1]};
        custom.Set(L"Action", action[0]).Set(L"Sequence", (*scheduled->second)[2]);
        execute.Add(std::move(custom));
    }
    if (!execute.children.empty())
        product.Add(std::move(execute));
}

// The builder's Upgrade rows: this version and older ones replaced (the same
// version included), a newer one stops the installation with the message of
// the package's error action (type 19).
WixElement MajorUpgradeElement(const PackageTables& tables)
{
    std::wstring message = L"A newer version of [ProductName] is already installed.";
    for (const PackageRow& action : tables.Rows(L"CustomAction"))
        if ((std::wcstoul(action[1].c_str(), nullptr, 10) & 0x3F) == 19 && !action[3].empty())
            message = action[3];
    WixElement upgrade{L"MajorUpgrade"};
    upgrade.Set(L"AllowSameVersionUpgrades", L"yes")
        .Set(L"MigrateFeatures", L"no")
        .Set(L"Schedule", L"afterInstallInitialize")
        .Set(L"DowngradeErrorMessage", message);
    return upgrade;
}

void AddFeatures(const PackageTables& tables, WixElement& product)
{
    std::set<std::wstring> components;
    for (const PackageRow& row : tables.Rows(L"Component"))
        components.insert(row[0]);
    const RowIndex byFeature = IndexBy(tables, L"FeatureComponents", 0);
    for (const PackageRow& row : tables.Rows(L"Feature")) {
        WixElement& feature = product.Add({L"Feature"});
        feature.Set(L"Id", row[0]).Set(L"Title", row[1]).Set(L"Description", row[2]);
        // Odd display numbers show the feature expanded, even ones collapsed;
        // WiX numbers them again in this order.
        const unsigned long display = std::wcstoul(row[3].c_str(), nullptr, 10);
        feature.Set(L"Display", display == 0 ? L"hidden" : display % 2 ? L"expand" : L"collapse");
        feature.Set(L"Level", row[4]);
        for (const PackageRow* member : Indexed(byFeature, row[0]))
            if (components.contains((*member)[1]))
                feature.Add({L"ComponentRef"}).Set(L"Id", (*member)[1]);
    }
}

} // namespace

std::wstring WixSourcePath(const std::wstring& packagePath)
{
    const std::size_t slash = packagePath.find_last_of(L"\\/");
    const std::size_t dot = packagePath.find_last_of(L'.');
    const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    return (hasExtension ? packagePath.substr(0, dot) : packagePath) + L".wxs";
}

WixElement WixSourceOf(const PackageTables& tables, const PackageSources& sources)
{
    WixElement wix{L"Wix"};
    wix.Set(L"xmlns", WixNamespace);
    WixElement& product = wix.Add({L"Product"});
    const std::wstring language = tables.Property(L"ProductLanguage");
    product.Set(L"Id", L"*")
        .Set(L"Name", tables.Property(L"ProductName"))
        .Set(L"Language", language.empty() ? L"0" : language)
        .Set(L"Version", tables.Property(L"ProductVersion"))
        .Set(L"Manufacturer", tables.Property(L"Manufacturer"))
        .Set(L"UpgradeCode", tables.Property(L"UpgradeCode"))
        .Set(L"Codepage", tables.codePage == 0 ? L"" : std::to_wstring(tables.codePage));
    const bool x64 = tables.platform == L"x64";
    product.Add({L"Package"})
        .Set(L"InstallerVersion", L"200")
        .Set(L"Compressed", L"yes")
        .Set(L"InstallScope", L"perMachine")
        .Set(L"Platform", x64 ? L"x64" : L"x86");
    product.Add(MajorUpgradeElement(tables));
    product.Add({L"MediaTemplate"}).Set(L"EmbedCab", L"yes");
    AddProperties(tables, product);
    CWixTree(tables, sources).AddDirectories(product);
    AddFeatures(tables, product);
    for (const PackageRow& icon : tables.Rows(L"Icon")) {
        const auto source = sources.icons.find(icon[0]);
        product.Add({L"Icon"}).Set(L"Id", icon[0]).Set(L"SourceFile",
                                                       source == sources.icons.end() ? L"" : source->second);
    }
    AddPropertyActions(tables, product);
    return wix;
}

Result WriteWixSource(const std::wstring& packagePath, const PackageSources& sources, const std::wstring& wxsPath)
{
    PackageTables tables;
    if (Result read = ReadPackageTables(packagePath, tables); !read)
        return read;
    const std::string text = WixDocumentText(WixSourceOf(tables, sources));
    UniqueFile file(CreateFileW(wxsPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    DWORD written = 0;
    const bool ok = file && WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    if (!ok) {
        Result failure = Result::LastError(L"WriteWixSource: Unable to write " + wxsPath);
        LogError(failure.Text());
        file.reset();
        DeleteFileW(wxsPath.c_str());
        return failure;
    }
    return Result::Ok();
}
