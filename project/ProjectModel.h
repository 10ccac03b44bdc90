#pragma once
// What a project file holds, as a value: the changes of the capture by area
// and origin, the lists the readers collect on the way (every folder, file
// and key in the order the file lists them), the shortcuts and their icons,
// the product information, and the services and environment variables.
#include "common/ChangeTypes.h"
#include "project/ChangeSet.h"
#include "project/SystemSettings.h"

#include <string>
#include <vector>

struct ProjectModel
{
    ChangeSet Changes;
    // Filled by the file and registry list readers, in document order.
    std::vector<std::wstring> AllFiles;
    std::vector<std::wstring> AllFolders;
    std::vector<std::wstring> AllRegistryKeys;
    ShortcutList Shortcuts;
    IconMap Icons;
    ProductInfo Product;
    // Kept only when the file has their sections (HasSystemSettings).
    ServiceList Services;
    EnvironmentList Environment;
    bool HasSystemSettings = false;

    friend bool operator==(const ProjectModel&, const ProjectModel&) = default;
};
