// Blank.msi as msi.dll sees it: the tables the MSI build writes into, their
// validation rows, and what the template must leave to the build.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "msi/MsiHandle.h"
#include "tests/support/TestSupport.h"

namespace {

std::wstring BlankMsiPath()
{
    return ExecutableFolder() + L"\\..\\bin\\Blank.msi";
}

std::wstring FieldText(MSIHANDLE record, UINT field)
{
    DWORD size = 0;
    wchar_t empty[1] = L"";
    if (MsiRecordGetStringW(record, field, empty, &size) != ERROR_MORE_DATA && size == 0)
        return {};
    std::wstring text(size + 1, L'\0');
    ++size;
    if (MsiRecordGetStringW(record, field, text.data(), &size) != ERROR_SUCCESS)
        return {};
    text.resize(size);
    return text;
}

// All rows of a query, each as its field texts.
std::vector<std::vector<std::wstring>> Rows(MSIHANDLE database, const std::wstring& sql)
{
    std::vector<std::vector<std::wstring>> rows;
    UniqueMsiHandle view;
    if (MsiDatabaseOpenViewW(database, sql.c_str(), view.put()) != ERROR_SUCCESS)
        return rows;
    if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS)
        return rows;
    for (;;) {
        UniqueMsiHandle record;
        if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS)
            break;
        std::vector<std::wstring> row;
        const UINT count = MsiRecordGetFieldCount(record.get());
        for (UINT i = 1; i <= count; ++i)
            row.push_back(FieldText(record.get(), i));
        rows.push_back(std::move(row));
    }
    MsiViewClose(view.get());
    return rows;
}

// Column name to its type text (for example "s72"), in table order.
std::vector<std::pair<std::wstring, std::wstring>> Columns(MSIHANDLE database, const std::wstring& table)
{
    std::vector<std::pair<std::wstring, std::wstring>> columns;
    UniqueMsiHandle view;
    const std::wstring sql = L"SELECT * FROM `" + table + L"`";
    if (MsiDatabaseOpenViewW(database, sql.c_str(), view.put()) != ERROR_SUCCESS)
        return columns;
    UniqueMsiHandle names, types;
    if (MsiViewGetColumnInfo(view.get(), MSICOLINFO_NAMES, names.put()) != ERROR_SUCCESS ||
        MsiViewGetColumnInfo(view.get(), MSICOLINFO_TYPES, types.put()) != ERROR_SUCCESS)
        return columns;
    const UINT count = MsiRecordGetFieldCount(names.get());
    for (UINT i = 1; i <= count; ++i)
        columns.emplace_back(FieldText(names.get(), i), FieldText(types.get(), i));
    return columns;
}

class BlankMsiTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS),
                  MsiOpenDatabaseW(BlankMsiPath().c_str(), MSIDBOPEN_READONLY, m_database.put()));
    }
    void TearDown() override
    {
        m_database.reset();
        EXPECT_EQ(0u, MsiCloseAllHandles());
    }
    MSIHANDLE Db() const { return m_database.get(); }

private:
    UniqueMsiHandle m_database;
};

// The columns the build's INSERT statements name, table by table.
const std::map<std::wstring, std::vector<std::wstring>> kBuildColumns = {
    {L"Component", {L"Component", L"ComponentId", L"Directory_", L"Attributes"}},
    {L"FeatureComponents", {L"Feature_", L"Component_"}},
    {L"Directory", {L"Directory", L"Directory_Parent", L"DefaultDir"}},
    {L"File", {L"File", L"Component_", L"FileName", L"FileSize", L"Version", L"Language", L"Attributes", L"Sequence"}},
    {L"Icon", {L"Name", L"Data"}},
    {L"Media", {L"DiskId", L"LastSequence", L"Cabinet"}},
    {L"Registry", {L"Registry", L"Root", L"Key", L"Name", L"Value", L"Component_"}},
    {L"Property", {L"Property", L"Value"}},
    {L"Shortcut",
     {L"Shortcut", L"Directory_", L"Name", L"Component_", L"Target", L"Icon_", L"IconIndex", L"Arguments",
      L"Description", L"ShowCmd", L"WkDir"}},
    {L"RemoveFile", {L"FileKey", L"Component_", L"FileName", L"DirProperty", L"InstallMode"}},
    {L"IniFile", {L"IniFile", L"FileName", L"DirProperty", L"Section", L"Key", L"Value", L"Action", L"Component_"}},
    {L"RemoveIniFile",
     {L"RemoveIniFile", L"FileName", L"DirProperty", L"Section", L"Key", L"Value", L"Action", L"Component_"}},
    {L"Upgrade",
     {L"UpgradeCode", L"VersionMin", L"VersionMax", L"Language", L"Attributes", L"Remove", L"ActionProperty"}},
};

TEST_F(BlankMsiTest, FitsTheBuildsFixedCopyBuffer)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(BlankMsiPath().c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(0u, data.nFileSizeHigh);
    EXPECT_LE(data.nFileSizeLow, 330000u);
}

TEST_F(BlankMsiTest, TablesHaveTheColumnsTheBuildInserts)
{
    for (const auto& [table, wanted] : kBuildColumns) {
        const auto columns = Columns(Db(), table);
        ASSERT_FALSE(columns.empty()) << "no table " << std::string(table.begin(), table.end());
        std::set<std::wstring> names;
        for (const auto& c : columns)
            names.insert(c.first);
        for (const std::wstring& column : wanted)
            EXPECT_EQ(1u, names.count(column)) << std::string(table.begin(), table.end()) << "."
                                               << std::string(column.begin(), column.end());
    }
    // The build writes file sequences past 32767 on large captures.
    const auto file = Columns(Db(), L"File");
    EXPECT_EQ(L"i4", file.back().second);
    const auto icon = Columns(Db(), L"Icon");
    ASSERT_EQ(2u, icon.size());
    EXPECT_EQ(L'v', icon[1].second[0]) << "Icon.Data must be a stream column";
}

TEST_F(BlankMsiTest, EveryColumnOfTheBuildsTablesHasAValidationRow)
{
    for (const auto& entry : kBuildColumns) {
        const std::wstring& table = entry.first;
        std::set<std::wstring> validated;
        for (const auto& row : Rows(Db(), L"SELECT `Column`, `Nullable` FROM `_Validation` WHERE `Table` = '" + table + L"'")) {
            validated.insert(row[0]);
            EXPECT_TRUE(row[1] == L"Y" || row[1] == L"N");
        }
        const auto columns = Columns(Db(), table);
        ASSERT_FALSE(columns.empty());
        for (const auto& [column, type] : columns) {
            EXPECT_EQ(1u, validated.count(column)) << std::string(table.begin(), table.end()) << "."
                                                   << std::string(column.begin(), column.end());
            validated.erase(column);
        }
        EXPECT_TRUE(validated.empty()) << "validation rows for missing columns of "
                                       << std::string(table.begin(), table.end());
    }
}

TEST_F(BlankMsiTest, LeavesTheBuildsKeysFree)
{
    // An existing row would make the build's INSERT fail and keep the template's value.
    for (const wchar_t* property : {L"ProductName", L"Manufacturer", L"ProductVersion", L"ProductCode", L"UpgradeCode"})
        EXPECT_TRUE(Rows(Db(), std::wstring(L"SELECT `Value` FROM `Property` WHERE `Property` = '") + property + L"'").empty())
            << std::string(property, property + wcslen(property));
    // The build makes both fixed components with fresh component codes.
    EXPECT_TRUE(Rows(Db(), L"SELECT `Component` FROM `Component`").empty());
    EXPECT_TRUE(Rows(Db(), L"SELECT `File` FROM `File`").empty());
    EXPECT_TRUE(Rows(Db(), L"SELECT `DiskId` FROM `Media`").empty());
    EXPECT_TRUE(Rows(Db(), L"SELECT `Directory` FROM `Directory` WHERE `Directory` = 'WindowsFolder'").empty());
}

TEST_F(BlankMsiTest, FeatureLinksTheFixedComponents)
{
    const auto feature = Rows(Db(), L"SELECT `Feature`, `Level` FROM `Feature`");
    ASSERT_EQ(1u, feature.size());
    EXPECT_EQ(L"MSIFeature", feature[0][0]);
    EXPECT_EQ(L"1", feature[0][1]);
    std::set<std::wstring> linked;
    for (const auto& row : Rows(Db(), L"SELECT `Feature_`, `Component_` FROM `FeatureComponents`")) {
        EXPECT_EQ(L"MSIFeature", row[0]);
        linked.insert(row[1]);
    }
    EXPECT_EQ((std::set<std::wstring>{L"REGDIFFCOMP", L"INIHANDLECOMP"}), linked);
}

TEST_F(BlankMsiTest, DirectoriesChainToTargetDir)
{
    std::map<std::wstring, std::wstring> parent;
    for (const auto& row : Rows(Db(), L"SELECT `Directory`, `Directory_Parent` FROM `Directory`"))
        parent[row[0]] = row[1];
    for (const wchar_t* folder : {L"TARGETDIR", L"ProgramFilesFolder", L"SystemFolder", L"System16Folder",
                                  L"AppDataFolder", L"APPDATA", L"USERPROFILE", L"ALLUSERSPROFILE", L"INSTALLDIR",
                                  L"DesktopFolder", L"ProgramMenuFolder", L"QuickLaunchFolder"}) {
        ASSERT_EQ(1u, parent.count(folder)) << std::string(folder, folder + wcslen(folder));
        // Every chain ends at TARGETDIR, the one root.
        std::wstring at = folder;
        for (int hops = 0; at != L"TARGETDIR" && hops < 10; ++hops)
            at = parent.count(at) ? parent[at] : L"";
        EXPECT_EQ(L"TARGETDIR", at) << std::string(folder, folder + wcslen(folder));
    }
    EXPECT_EQ(L"", parent[L"TARGETDIR"]);
}

TEST_F(BlankMsiTest, FoldersWithoutInstallerPropertiesAreSetBeforeCosting)
{
    for (const wchar_t* sequence : {L"InstallExecuteSequence", L"InstallUISequence"}) {
        std::map<std::wstring, int> at;
        for (const auto& row : Rows(Db(), std::wstring(L"SELECT `Action`, `Sequence` FROM `") + sequence + L"`"))
            at[row[0]] = _wtoi(row[1].c_str());
        ASSERT_EQ(1u, at.count(L"CostFinalize"));
        for (const auto& row : Rows(Db(), L"SELECT `Action`, `Type`, `Source` FROM `CustomAction` WHERE `Type` = 51")) {
            ASSERT_EQ(1u, at.count(row[0])) << "custom action not sequenced";
            EXPECT_LT(at[row[0]], at[L"CostFinalize"]);
        }
    }
    std::set<std::wstring> set;
    for (const auto& row : Rows(Db(), L"SELECT `Source` FROM `CustomAction` WHERE `Type` = 51"))
        set.insert(row[0]);
    EXPECT_EQ(1u, set.count(L"USERPROFILE"));
    EXPECT_EQ(1u, set.count(L"ALLUSERSPROFILE"));
}

TEST_F(BlankMsiTest, SequencesFindAndRemoveEarlierVersionsAndRefuseADowngrade)
{
    for (const wchar_t* sequence : {L"InstallExecuteSequence", L"InstallUISequence"}) {
        std::map<std::wstring, int> at;
        std::map<std::wstring, std::wstring> condition;
        for (const auto& row : Rows(Db(), std::wstring(L"SELECT `Action`, `Sequence`, `Condition` FROM `") + sequence +
                                              L"` ORDER BY `Sequence`")) {
            at[row[0]] = _wtoi(row[1].c_str());
            condition[row[0]] = row[2];
        }
        ASSERT_EQ(1u, at.count(L"FindRelatedProducts"));
        ASSERT_EQ(1u, at.count(L"PreventDowngrade"));
        EXPECT_LT(at[L"FindRelatedProducts"], at[L"PreventDowngrade"]);
        EXPECT_LT(at[L"PreventDowngrade"], at[L"CostInitialize"]);
        EXPECT_EQ(L"NEWERVERSIONDETECTED AND NOT Installed", condition[L"PreventDowngrade"]);
    }
    // The old product goes within the new one's installation script: right
    // after InstallInitialize, with no action between them.
    std::vector<std::wstring> execute;
    for (const auto& row : Rows(Db(), L"SELECT `Action` FROM `InstallExecuteSequence` ORDER BY `Sequence`"))
        execute.push_back(row[0]);
    const auto initialize = std::find(execute.begin(), execute.end(), L"InstallInitialize");
    ASSERT_NE(execute.end(), initialize);
    ASSERT_NE(execute.end(), initialize + 1);
    EXPECT_EQ(L"RemoveExistingProducts", *(initialize + 1));

    EXPECT_EQ((std::vector<std::vector<std::wstring>>{{L"19", L"", L"A newer version of [ProductName] is already installed."}}),
              Rows(Db(), L"SELECT `Type`, `Source`, `Target` FROM `CustomAction` WHERE `Action` = 'PreventDowngrade'"));
    // Both action properties must reach the server side of a managed installation.
    const auto secure = Rows(Db(), L"SELECT `Value` FROM `Property` WHERE `Property` = 'SecureCustomProperties'");
    ASSERT_EQ(1u, secure.size());
    std::set<std::wstring> listed;
    for (std::size_t start = 0; start <= secure[0][0].size();) {
        const std::size_t end = std::min(secure[0][0].find(L';', start), secure[0][0].size());
        listed.insert(secure[0][0].substr(start, end - start));
        start = end + 1;
    }
    EXPECT_EQ(1u, listed.count(L"PREVIOUSVERSIONSINSTALLED"));
    EXPECT_EQ(1u, listed.count(L"NEWERVERSIONDETECTED"));
    EXPECT_TRUE(Rows(Db(), L"SELECT `UpgradeCode` FROM `Upgrade`").empty()) << "the build writes the Upgrade rows";
}

TEST_F(BlankMsiTest, SummaryInformationTheBuildLeavesAlone)
{
    UniqueMsiHandle info;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetSummaryInformationW(Db(), nullptr, 0, info.put()));
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    wchar_t text[256] = {};
    DWORD size = 256;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiSummaryInfoGetPropertyW(info.get(), 7, &type, &number, &time, text, &size));
    EXPECT_EQ(std::wstring(L"Intel;1033"), text);
    size = 256;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiSummaryInfoGetPropertyW(info.get(), 14, &type, &number, &time, text, &size));
    EXPECT_EQ(200, number);
    size = 256;
    ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiSummaryInfoGetPropertyW(info.get(), 15, &type, &number, &time, text, &size));
    EXPECT_EQ(2, number) << "word count 2: long names, compressed files";
}

} // namespace
