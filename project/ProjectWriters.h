#pragma once
// Writers from values into a loaded project file or change document. Each
// new element becomes the first child of its parent, so a list ends up in the
// reverse of the order written. Each writer checks that the document is
// loaded, logs its failures, and saves the whole document to `savePath` once
// at its end: Ok when it was saved, else the failure it logged (a failed save
// with the system's code and text), which the caller passes on without a line
// of its own. The file and registry writers end without saving, silently,
// with ERROR_CANCELLED, when the thread's stop token asks to stop
// (StopToken.h); their caller reports it.
#include "common/Paths.h"
#include "common/Result.h"
#include "project/ChangeSet.h"
#include "project/XmlDocument.h"

#include <string>
#include <vector>

// Whether the file writer keeps every listed file or only packable ones.
enum class FileListMode { PackableOnly, KeepAll };

// Writes Directory/File elements into the list of that origin. With
// PackableOnly, files that are not packable (".tmp"/".lnk" in the path, or no
// longer there) are removed from `files`; folders with nothing to write are
// removed from `files` either way (an added leaf folder without files stays:
// it is an empty folder). With PackableOnly and the added list, the written
// ".exe" files are appended to `addedExecutables` when given. The folders are
// written as token paths of `tokens`, which also name the files checked.
Result WriteFileList(XmlDocument& document, ChangeOrigin origin, DirectoryChangeMap& files,
                     const FolderTokenValues& tokens, const std::wstring& savePath, FileListMode mode,
                     std::vector<std::wstring>* addedExecutables = nullptr);
// A key without value records writes nothing.
Result WriteRegistryList(XmlDocument& document, ChangeOrigin origin, const RegistryChangeMap& keys,
                         const std::wstring& savePath);
Result WriteIniList(XmlDocument& document, ChangeOrigin origin, const IniChangeMap& files,
                    const std::wstring& savePath);
// The icons and working folders as token paths of `tokens`.
Result WriteShortcutList(XmlDocument& document, const ShortcutList& shortcuts, const FolderTokenValues& tokens,
                         const std::wstring& savePath);
Result WriteShortcutIcons(XmlDocument& document, const IconMap& icons, const std::wstring& savePath);
// Adds a ProductInformation in front of the older ones.
Result WriteProductInfo(XmlDocument& document, const ProductInfo& product, const std::wstring& savePath);
// Empty the list first, then write (the write's result).
Result ReplaceShortcutList(XmlDocument& document, const ShortcutList& shortcuts, const FolderTokenValues& tokens,
                           const std::wstring& savePath);
Result ReplaceShortcutIcons(XmlDocument& document, const IconMap& icons, const std::wstring& savePath);
