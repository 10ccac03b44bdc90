#pragma once
// What one package build is asked for: the project file to build, the output
// folder whose "Packages" folder receives the package, and the package's file
// name there (empty: named after the product of the project file), with the
// work paths (program folder for the template and the cabinet maker, working
// temp folder, configuration file) and the machine's token values.
#include "common/Paths.h"

#include <string>

struct BuildRequest
{
    std::wstring Project;
    std::wstring OutputFolder;
    std::wstring PackageName;
    WorkPaths Paths;
    FolderTokenValues Tokens;

    std::wstring PackagesFolder() const { return OutputFolder + L"\\Packages"; }
};
