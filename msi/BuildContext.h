#pragma once
// What the parts of one package build share: the open database and its
// table inserters, the package's code page, the project and its product, the
// keys handed out, the collected files, the folders left out, and the results
// (counts, notes) the caller reads afterwards. Made by the build for one run,
// used on the thread that opened the database.
#include "common/Paths.h"
#include "common/Result.h"
#include "msi/BuildCounts.h"
#include "msi/MachineValues.h"
#include "msi/MsiHandle.h"
#include "msi/PackedFile.h"
#include "msi/TableKeys.h"
#include "project/ProjectModel.h"
#include "project/XmlDocument.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CTableInserter;

// The Component attribute of the registry and INI components, whose key path
// is a registry value (msidbComponentAttributesRegistryKeyPath).
inline constexpr int RegistryKeyPathAttribute = 0x4;

// Where a build works and the machine it runs on: the working temp folder
// (directive files, staged files), the configuration file (cabinet limits)
// and the environment values behind the folder tokens.
struct BuildPlace
{
    std::wstring tempFolder;
    std::wstring configFile;
    FolderTokenValues tokens;
};

struct BuildContext
{
    BuildContext(MSIHANDLE database, UINT codePage, const XmlDocument& document, ProjectModel& project,
                 const ProductInfo& product, MsiBuildResults& results, const BuildPlace& place);
    ~BuildContext();
    BuildContext(const BuildContext&) = delete;
    BuildContext& operator=(const BuildContext&) = delete;

    // The table's inserter, opened at its first use.
    CTableInserter& Table(int id);
    // Closes every table's inserter; returns how many rows the tables refused.
    std::size_t CloseTables();
    // True when the text survives the package's code page unchanged; a text
    // that does not fit the ANSI code page switches the package to UTF-8.
    [[nodiscard]] bool FitsCodePage(const std::wstring& text);
    UINT CodePage() const noexcept { return m_codePage; }
    // A line for the user, also written to the log.
    void Note(const std::wstring& line);
    // The first failure's line is kept as the build's failure reason.
    void Fail(const std::string& line);
    // The same for a failed result, whose text is the line; returns it.
    Result Fail(Result failure);
    // A captured value as the formatted text of a column (MachineValues.h);
    // `where` names the value in the error log.
    std::wstring MachineValue(const std::wstring& raw, const std::wstring& where);
    // The component code for a component identity (Upgrade.h).
    std::wstring ComponentId(std::wstring_view identity) const;
    // A value of the component's own below the product's key, its key path;
    // the Registry key of the row, "" when it could not be inserted.
    std::wstring AddKeyPathValue(const std::wstring& component, const std::wstring& valueName);
    // Records a folder left out of the package (off the system drive); true
    // the first time, when the caller logs it.
    bool LeaveOutFolder(const std::wstring& folder);
    bool IsLeftOutFolder(const std::wstring& folder) const;
    // Records an item of the project the package lacks, with the reason.
    void LeftOut(std::wstring kind, std::wstring item, std::wstring reason)
    {
        results.leftOutItems.push_back({std::move(kind), std::move(item), std::move(reason)});
    }

    const MSIHANDLE database;
    const BuildPlace place;
    // The loaded project file and what the build reads out of it.
    const XmlDocument& document;
    ProjectModel& project;
    const ProductInfo& product;
    MsiBuildResults& results;
    MsiBuildCounts& counts;
    const bool x64Capture;
    bool ddfIsUtf8 = true;      // the cabinet maker reads UTF-8 directive files
    bool has64BitComponent = false; // makes the package an x64 package
    TableKeys keys;
    std::vector<PackedFile> files;
    std::map<std::wstring, std::wstring> firstKeyOfName; // upper-case file name -> its first File key
    CMachineValues machineValues;

private:
    // A failure after its log line leaves the ANSI code page.
    Result SwitchToUtf8();

    UINT m_codePage;
    std::map<int, std::unique_ptr<CTableInserter>> m_tables;
    std::set<std::wstring> m_leftOutFolders; // upper case
};
