#pragma once
// Folder tokens make stored paths machine-independent: the leading well-known
// folder of a path is replaced by a token such as %PROGRAMFILES%. Both
// conversions work in place and apply at most one token kind per call; the
// folders behind the tokens are those of `tokens` (the run's).
#include "common/Paths.h"

#include <string>

void ToTokenPath(std::wstring& path, const FolderTokenValues& tokens);
void ToRealPath(std::wstring& path, const FolderTokenValues& tokens);
