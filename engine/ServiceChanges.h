#pragma once
// Services among a capture's registry changes: the keys the setup added below
// the Services key of a control set, read as the service they describe.
#include "common/ChangeTypes.h"
#include "common/Paths.h"
#include "project/SystemSettings.h"

#include <string>

// The program and the arguments of a service's image path: a quoted program,
// or the text up to ".exe" (paths with blanks are often left unquoted), or up
// to the first blank. Environment references in the program are expanded and
// a "\??\" prefix is dropped; the arguments are the rest, without the blanks
// around them.
struct ImagePathParts
{
    std::wstring Program;
    std::wstring Arguments;
};
ImagePathParts SplitImagePath(const std::wstring& imagePath);

// Every service whose own key was added (it has a Type value), once even when
// the key shows under two control sets; the program in token form (of `tokens`).
ServiceList ServiceChangesOf(const RegistryChangeMap& added, const FolderTokenValues& tokens);
