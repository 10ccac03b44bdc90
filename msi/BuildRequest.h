#pragma once
// What one package build is asked for: the project file to build, the output
// folder whose "Packages" folder receives the package, and the package's file
// name there (empty: named after the product of the project file).
#include <string>

struct BuildRequest
{
    std::wstring Project;
    std::wstring OutputFolder;
    std::wstring PackageName;

    std::wstring PackagesFolder() const { return OutputFolder + L"\\Packages"; }
};
