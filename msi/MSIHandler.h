#pragma once
// CMSIHandler turns a project file into a Windows Installer package: the
// template database is copied to the package path, the captured files are
// listed in a cabinet directive file and packed by the cabinet maker, the
// table rows are inserted, the summary information is written and the cabinet
// is stored in the package as the stream "MSIProject.cab".
//
// Calling order: Initialize, BuildMSI, Uninitialize, once per build, all on one
// thread (installer handles are closed on the thread that opened them).
#include "common/ChangeTypes.h"
#include "common/Log.h"
#include "common/UniqueHandle.h"
#include "msi/CabinetPlan.h"
#include "msi/MachineValues.h"
#include "msi/MsiHandle.h"
#include "project/SystemSettings.h"
#include "project/XMLDocumentHandler.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class CTableInserter;
class CCabinetJob;

// The build machine's folders in a formatted text become installer folder
// properties ("C:\Program Files\x" -> "[ProgramFilesFolder]x"); MachineValues.h.
std::wstring ReplaceFolderPaths(std::wstring value);
// The Registry table's Value of a registry value's type and bytes: formatted
// text with the type's prefix (#x, #%, #, [~]). False for a type Windows
// Installer cannot write. Empty strings inside a multi-string are dropped and
// counted.
// `formatted` turns a captured string into formatted text (the capture
// machine's folders and user made the installing machine's); empty: the
// folders only.
using ValueFormatter = std::function<std::wstring(const std::wstring&)>;
bool RegistryValueField(DWORD type, const BYTE* data, std::size_t size, std::wstring& value,
                        std::size_t& emptyStringsDropped, const ValueFormatter& formatted = {});
// True when the type name a project file recorded stands for the live type.
bool RecordedTypeCovers(const std::wstring& recorded, DWORD actual);
// A Windows Installer identifier made of a name (MSIHandler.cpp).
std::wstring MsiIdentifier(const std::wstring& name);
// An INI value as the IniFile table's Value (an empty one stays empty on install).
std::wstring IniValueField(const std::wstring& value, int action, const ValueFormatter& formatted = {});

// What a build put into the package, for the command line's report.
struct MsiBuildCounts
{
    std::size_t FilesPacked = 0;
    std::size_t FilesLeftOut = 0;
    std::size_t DirectoryRows = 0;
    std::size_t RegistryRows = 0;
    std::size_t RegistryLeftOut = 0;
    std::size_t FoldersLeftOut = 0; // folders on a drive other than the system drive, with their files
    std::size_t OtherLeftOut = 0;   // shortcuts and INI entries that could not be written
    std::size_t IniRows = 0;
    std::size_t ShortcutRows = 0;
    std::size_t ServiceRows = 0;     // services installed through ServiceInstall
    std::size_t EnvironmentRows = 0; // Environment rows
    std::size_t RejectedRows = 0; // rows the database refused, any table
    // "x64" when the package has a 64-bit component, else "Intel".
    std::wstring Platform = L"Intel";
    std::size_t RuleFindings = 0; // what the package check found in the rows
    // Items that existed before the setup, in permanent components: removing
    // the package leaves them.
    std::size_t FilesKept = 0;
    std::size_t RegistryKept = 0;
    std::size_t IniKept = 0;
    std::size_t EmptyFolders = 0; // CreateFolder rows of folders the setup left empty
    std::size_t ComputerNameValues = 0; // values naming the capturing computer, packaged as they are
};

class CMSIHandler
{
public:
    CMSIHandler();
    ~CMSIHandler();
    CMSIHandler(const CMSIHandler&) = delete;
    CMSIHandler& operator=(const CMSIHandler&) = delete;

    // Loads the project file into the builder's own document,
    // copies the template to the package path and opens the package.
    // 1 on success; 0 after one log line.
    int Initialize(const std::wstring& projectFile);
    // Runs the whole pipeline under a temporary name beside the package and
    // moves the result over the package's name. 1 when the package is
    // complete; 0 when the build could not start, the cabinet could not be
    // made or stored, or the database could not be committed: the temporary
    // file is then removed and an earlier package of that name is untouched.
    // A stop request of the thread's token (StopToken.h), seen between steps,
    // ends the cabinet maker the same way and returns 0 after one log line.
    int BuildMSI();
    // Closes what is still open and forgets the build's name tables.
    void Uninitialize();

    const MsiBuildCounts& Counts() const noexcept { return m_counts; }
    // Real paths of the captured files that are not in the package (not
    // readable, temporary files and links, 2 GiB or larger, not expressible
    // in the cabinet maker's code page).
    const std::vector<std::wstring>& LeftOutFiles() const noexcept { return m_leftOut; }
    // Lines for the user about how the package was made (a version text that
    // had to change, for example); each is also in the log. Kept after
    // Uninitialize until the next Initialize.
    const std::vector<std::wstring>& BuildNotes() const noexcept { return m_notes; }
    // The UpgradeCode and ProductVersion of the last build.
    const std::wstring& UpgradeCode() const noexcept { return m_upgradeCode; }
    const std::wstring& ProductVersion() const noexcept { return m_productVersion; }
    // The package's final path, known after Initialize.
    const std::wstring& PackagePath() const noexcept { return m_packagePath; }

    // The cabinet maker to run: %SystemRoot%\System32\makecab.exe where the
    // platform has one, else ProgramFolder\makecab.exe. A test may name another.
    static std::wstring DefaultCabinetMaker();
    void SetCabinetMaker(const std::wstring& path) { m_cabinetMaker = path; }

    // Why the last build failed, as its log line said (the cabinet maker's
    // own message included); empty after a build that succeeded.
    const std::string& FailureReason() const noexcept { return m_failure; }
    // Receives a line about once a second while a long build packs its
    // files ("Packed 1200 of 4000 files, 512 of 3072 MB"); none by default.
    void SetProgressReport(std::function<void(const std::wstring&)> report) { m_progressReport = std::move(report); }
    // The cabinets of the last build: their Media.Cabinet names ("#" and the
    // stream name when embedded), in DiskId order.
    const std::vector<std::wstring>& CabinetNames() const noexcept { return m_cabinetNames; }

private:
    struct PackedFile
    {
        std::wstring folder;   // token form, as in the project file
        std::wstring name;     // file name
        std::wstring realPath; // where the bytes are read
        std::wstring key;      // File key, also the name inside the cabinet
        std::wstring component;
        std::uint32_t size = 0;
        bool is64Bit = false; // a 64-bit component (capture of 64-bit Windows)
        bool keptOnRemoval = false; // the machine had it before the setup: a permanent component
        int attributes = 0;         // read-only, hidden and system bits of File.Attributes
        // The File row's Version and Language, or (unversioned) the MsiFileHash row's parts.
        std::wstring version;
        std::wstring language;
        bool hashed = false;
        bool hashPending = false; // hashed by the cabinet maker in its read (AddDeferredHashRows)
        int hash[4] = {};
    };

    // Files
    void CollectFiles(const DirectoryChangeMap& files, bool keptOnRemoval = false);
    // The file open for reading, with its size; none when it is not packed.
    [[nodiscard]] UniqueFile OpenPackableFile(const std::wstring& realPath, std::uint64_t& size) const;
    // Version and language, or the hash, of a file being collected.
    void ReadFileIdentity(PackedFile& file, HANDLE open) const;
    std::wstring MakeUniqueName(const std::wstring& name, std::set<std::wstring>& used,
                                std::map<std::wstring, unsigned>& counts);
    // Cabinets (MsiCabinets.cpp): the plan, one DDF per cabinet, the runs of
    // the cabinet maker, the Media rows, the cabinets stored in the package or
    // moved beside it with the package.
    void PlanPackageCabinets();
    [[nodiscard]] bool WriteDdf();
    void WriteBatchFile();
    [[nodiscard]] bool StartCabinetMaker();
    [[nodiscard]] bool FinishCabinetMaker(const std::function<void(std::uint64_t, std::uint64_t)>& paced);
    void PollCabinetMaker(const std::function<void(std::uint64_t, std::uint64_t)>& paced);
    [[nodiscard]] bool StoreCabinets();
    [[nodiscard]] bool PublishPackage();
    void DiscardCabinets();
    void AddDeferredHashRows();
    void Fail(const std::string& line);
    void AddDirectoryRows(const std::vector<std::wstring>& folders);
    void AddEmptyFolderRows(const std::vector<std::wstring>& folders);
    std::wstring DirectoryKeyFor(const std::wstring& folder, bool& isProperty);
    void AddFileRows();
    void AddMediaRow();
    std::wstring ComponentDirectory(const std::wstring& folder) const;
    // Records a folder left out of the package (off the system drive); true
    // the first time, when the caller logs it.
    bool LeaveOutFolder(const std::wstring& folder);

    std::wstring FolderProperty(const std::wstring& folder);

    // Platform (MsiPlatform.cpp)
    void EnsurePlatformFolderRow(const std::wstring& property);
    std::wstring RegistryComponent(bool is64Bit);
    [[nodiscard]] bool IsSharedRegistryKey(const std::wstring& root, const std::wstring& key);
    void StageRedirectedFiles();

    // A captured value as the formatted text of a column: the capture
    // machine's folders and user name made the installing machine's, the
    // computer's name counted (MachineValues.h). `where` names the value in
    // the error log.
    std::wstring MachineValue(const std::wstring& raw, const std::wstring& where);

    // Registry
    // keptOnRemoval: values that existed before the setup (permanent components).
    void AddRegistryRows(const RegistryChangeMap& keys, int& number, bool keptOnRemoval = false);
    std::wstring KeptRegistryComponent(bool is64Bit) const;
    void AddKeptRegistryComponent(bool is64Bit, const std::wstring& firstRow);
    std::wstring IniComponent(bool keptOnRemoval);
    int QueryKey(const std::wstring& root, const std::wstring& key, const std::wstring& name,
                 const std::wstring& type, std::wstring& value);

    // Services and environment variables (MsiServiceRows.cpp,
    // MsiEnvironmentRows.cpp). TakeSystemSettings, after the files are
    // collected and before the registry rows: the project's services whose
    // program is a packed file and its variables, whose registry values leave
    // the registry maps; the other services stay registry values (a note each).
    void TakeSystemSettings();
    void AddServiceRows();
    void AddEnvironmentRows();

    // Upgrades: the UpgradeCode (pinned by the project file or derived from
    // the names), the ProductVersion, the component codes and the Upgrade rows.
    void ResolveUpgradeCodeAndVersion();
    std::wstring ComponentId(std::wstring_view identity) const;
    void AddUpgradeRows();
    void Note(const std::wstring& line);

    // Key paths of the registry and INI components, and the check of the
    // written rows (FileRules.h).
    static constexpr int RegistryKeyPathAttribute = 0x4; // msidbComponentAttributesRegistryKeyPath
    std::wstring AddKeyPathValue(const std::wstring& component, const std::wstring& valueName);
    void CheckOwnRows();

    // Properties, shortcuts, icons, INI files, summary information
    void AddProperties();
    void AddShortcutRows(const ShortcutList& shortcuts);
    std::wstring ShortcutFolderKey(const std::wstring& place, const std::wstring& subfolder,
                                   const std::wstring& component);
    std::wstring AddIconRow(const std::wstring& path);
    void AddIniRows();
    void AddIniListRows(const IniChangeMap& list, CTableInserter& table, int action, int& number,
                        bool keptOnRemoval = false);
    void WriteSummaryInformation(const std::wstring& title, const std::wstring& subject, const std::wstring& author,
                                 const std::wstring& comments);

    // True when the text survives the package's code page unchanged; a text
    // that does not fit the ANSI code page switches the package to UTF-8.
    [[nodiscard]] bool FitsCodePage(const std::wstring& text);
    [[nodiscard]] bool SwitchToUtf8();
    void CloseAll();
    // Ends a stopped build; returns 0.
    int Stopped();
    // Removes the temporary file of the build.
    void DiscardBuild();
    CTableInserter& Table(int id);

    std::unique_ptr<CXMLDocumentHandler> m_project;
    bool m_isProjectLoaded = false;
    ProductInfo m_productInfo;

    std::wstring m_templatePath;
    std::wstring m_packagePath;
    std::wstring m_buildPath;
    std::wstring m_batchPath;
    std::wstring m_ddfPath;
    std::wstring m_cabinetPath;
    std::wstring m_cabinetMaker;
    CabinetPlan m_plan;
    std::vector<std::wstring> m_cabinetNames; // Media.Cabinet of each planned cabinet
    std::vector<std::wstring> m_cabinetFiles; // where the cabinet maker writes each
    std::vector<std::wstring> m_cabinetDdfs;
    std::vector<std::wstring> m_earlierCabinets; // external cabinets of the package this build replaces
    std::unique_ptr<CCabinetJob> m_cabinetJob;
    std::string m_failure;
    std::function<void(const std::wstring&)> m_progressReport;
    bool m_ddfIsUtf8 = true;
    UINT m_codePage = 1252;

    UniqueMsiHandle m_database;
    std::map<int, std::unique_ptr<CTableInserter>> m_tables;

    std::vector<PackedFile> m_files;
    std::vector<std::wstring> m_leftOut;
    std::set<std::wstring> m_usedFileKeys;                  // upper case
    std::map<std::wstring, unsigned> m_fileKeyCounts;       // upper-case name -> suffixes used
    std::map<std::wstring, std::wstring> m_firstKeyOfName;  // upper-case file name -> its first File key
    std::set<std::wstring> m_usedDirectoryKeys;             // upper case
    std::map<std::wstring, unsigned> m_directoryNameCounts; // upper-case name -> suffixes used
    std::map<std::wstring, std::wstring> m_directoryKeys;   // upper-case folder (token form) -> key
    std::set<std::wstring> m_leftOutFolders;                // upper case
    std::map<std::wstring, std::wstring> m_shortcutFolderKeys; // upper-case place\subfolder -> key
    bool m_windowsFolderAdded = false;
    bool m_registryComponentAdded = false;
    bool m_x64Capture = false;        // the project file says Platform="x64"
    bool m_has64BitComponent = false; // makes the package an x64 package
    bool m_registry64ComponentAdded = false;
    bool m_keptRegistryComponentAdded = false;
    bool m_keptRegistry64ComponentAdded = false;
    bool m_keptIniComponentAdded = false;
    bool m_emptyFolderComponentAdded = false;
    std::set<std::wstring> m_platformFolderRows;
    std::map<std::wstring, bool> m_sharedKeys; // upper-case key path -> shared by both views
    std::map<std::wstring, int> m_iconNumbers;
    MsiBuildCounts m_counts;
    struct PackagedService
    {
        ServiceRecord Service;
        std::wstring Component; // the component of its program, which carries its rows
    };
    std::vector<PackagedService> m_services;
    EnvironmentList m_environment;
    std::wstring m_upgradeCode;
    std::wstring m_productVersion;
    std::vector<std::wstring> m_notes;
    std::unique_ptr<CMachineValues> m_machineValues; // made anew by each build
};
