#pragma once
// Readers from a loaded project file (or change document) into values, and
// the rebuild of a project file from a model. Each reader selects its list
// below the document element (first match) and walks its elements in
// document order, reading attributes by name; a missing list reads as empty.
#include "common/Paths.h"
#include "project/ProjectModel.h"
#include "project/XmlDocument.h"

#include <string>

// Replaces the model's file map of that origin and appends to its all-folders
// and all-files lists.
void ReadFileList(const XmlDocument& document, ChangeOrigin origin, ProjectModel& model);
// Replaces the model's registry map of that origin and appends to all keys.
void ReadRegistryList(const XmlDocument& document, ChangeOrigin origin, ProjectModel& model);
// The INI entries of one origin.
IniChangeMap ReadIniList(const XmlDocument& document, ChangeOrigin origin);
// Starts the all-lists afresh and reads the six file and registry lists.
void ReadProjectLists(const XmlDocument& document, ProjectModel& model);
// Appends the shortcuts to `destination`; icon paths come back real (the
// folders of `tokens`).
void ReadShortcutList(const XmlDocument& document, ShortcutList& destination, const FolderTokenValues& tokens);
// Adds the icons to `destination`.
void ReadShortcutIcons(const XmlDocument& document, IconMap& destination);
// The first (newest) inner ProductInformation: Ok when found, else
// ERROR_NOT_FOUND (not logged) and `destination` untouched.
Result ReadProductInfo(const XmlDocument& document, ProductInfo& destination);
// Everything the file holds.
ProjectModel ReadProjectModel(const XmlDocument& document, const FolderTokenValues& tokens);

// Rebuilds the loaded project file: shortcuts, icons, INI lists, the product
// information, services and environment are read from it into `model`, then
// `rawProjectFile` is loaded into the document and every section is written
// from the model, each step saving to `projectFile`, which the document then
// stands for. A failure (logged once, with the system's or the parser's
// code and text) when a file could not be loaded, or the first failed step's
// (logged by its writer) when any step could not write the project file.
// Token paths stand for the folders of `tokens`.
Result RegenerateProjectFile(XmlDocument& document, ProjectModel& model, const FolderTokenValues& tokens,
                             const std::wstring& rawProjectFile, const std::wstring& projectFile);
