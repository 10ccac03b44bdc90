#include "msi/MsiTableIds.h"

#define OPEN_FAILURE(what) "CMSIHandler::PopulateMSITable: Error in function \t\t\t\t\t\t\t\t\t\t\t\t\t\t " what

const std::vector<TableLayout>& TableLayouts()
{
    static const std::vector<TableLayout> layouts = [] {
        std::vector<TableLayout> s(TableId::Count);
        s[TableId::Component] = {L"Component", {L"Component", L"ComponentId", L"Directory_", L"Attributes", L"KeyPath"},
                                 OPEN_FAILURE("MsiDatabaseOpenViewA in COMPONENT_TABLE case")};
        s[TableId::FeatureComponent] = {L"FeatureComponents", {L"Feature_", L"Component_"},
                                        OPEN_FAILURE("MsiDatabaseOpenViewA in FEATURE_COMPONENT_TABLE case")};
        s[TableId::Directory] = {L"Directory", {L"Directory", L"Directory_Parent", L"DefaultDir"},
                                 OPEN_FAILURE("MsiDatabaseOpenViewA in DIRECTORY_TABLE case")};
        s[TableId::File] = {L"File",
                            {L"File", L"Component_", L"FileName", L"FileSize", L"Version", L"Language", L"Attributes",
                             L"Sequence"},
                            OPEN_FAILURE("MsiDatabaseOpenViewA in FILE_TABLE case")};
        s[TableId::Icon] = {L"Icon", {L"Name", L"Data"}, OPEN_FAILURE("MsiDatabaseOpenViewA in ICON_TABLE case")};
        s[TableId::Media] = {L"Media", {L"DiskId", L"LastSequence", L"Cabinet"},
                             OPEN_FAILURE("MsiDatabaseOpenViewA in MEDIA_TABLE case")};
        s[TableId::Registry] = {L"Registry", {L"Registry", L"Root", L"Key", L"Name", L"Value", L"Component_"},
                                OPEN_FAILURE("MsiDatabaseOpenViewA in REGISTRY_TABLE case")};
        s[TableId::Property] = {L"Property", {L"Property", L"Value"},
                                OPEN_FAILURE("MsiDatabaseOpenViewA in PROPERTY_TABLE case")};
        s[TableId::Shortcut] = {L"Shortcut",
                                {L"Shortcut", L"Directory_", L"Name", L"Component_", L"Target", L"Icon_", L"IconIndex",
                                 L"Arguments", L"Description", L"ShowCmd", L"WkDir"},
                                OPEN_FAILURE("MsiDatabaseOpenViewA in SHORTCUT_TABLE case")};
        const std::vector<const wchar_t*> ini = {L"IniFile", L"FileName", L"DirProperty", L"Section",
                                                 L"Key",     L"Value",    L"Action",      L"Component_"};
        s[TableId::IniFile] = {L"IniFile", ini, OPEN_FAILURE("MsiDatabaseOpenViewA in INI_FILE_TABLE case")};
        std::vector<const wchar_t*> removeIni = ini;
        removeIni[0] = L"RemoveIniFile";
        s[TableId::RemoveIniFile] = {L"RemoveIniFile", removeIni,
                                     OPEN_FAILURE("MsiDatabaseOpenViewA in REMOVE_INI_FILE_TABLE case")};
        s[TableId::Upgrade] = {L"Upgrade",
                               {L"UpgradeCode", L"VersionMin", L"VersionMax", L"Language", L"Attributes", L"Remove",
                                L"ActionProperty"},
                               OPEN_FAILURE("MsiDatabaseOpenViewA in UPGRADE_TABLE case")};
        s[TableId::MsiFileHash] = {L"MsiFileHash",
                                   {L"File_", L"Options", L"HashPart1", L"HashPart2", L"HashPart3", L"HashPart4"},
                                   OPEN_FAILURE("MsiDatabaseOpenViewA in MSI_FILE_HASH_TABLE case")};
        s[TableId::RemoveFile] = {L"RemoveFile", {L"FileKey", L"Component_", L"FileName", L"DirProperty", L"InstallMode"},
                                  OPEN_FAILURE("MsiDatabaseOpenViewA in REMOVE_FILE_TABLE case")};
        s[TableId::CreateFolder] = {L"CreateFolder", {L"Directory_", L"Component_"},
                                    OPEN_FAILURE("MsiDatabaseOpenViewA in CREATE_FOLDER_TABLE case")};
        return s;
    }();
    return layouts;
}

// The icon stream's message has one tab more than the others.
extern const char* const IconStreamFailure =
    "CMSIHandler::PopulateMSITable: Error in function \t\t\t\t\t\t\t\t\t\t\t\t\t\t\t MsiRecordSetStream in ICON_TABLE case";
