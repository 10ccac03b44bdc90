#pragma once
// The test a document passes before a package is built from it.
#include "project/XmlDocument.h"

#include <string>

// The root element of every project file.
inline constexpr const wchar_t* ProjectRootName = L"CorvaneProject";

// Why the loaded document is not a project file a package can be built from
// ("" when it is): a root element other than CorvaneProject, no product
// information, an empty application name, version or company, or a file
// that the added and modified lists name twice (letter case aside).
std::wstring ProjectFileProblem(const XmlDocument& document);
