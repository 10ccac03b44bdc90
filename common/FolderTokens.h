#pragma once
// Folder tokens make stored paths machine-independent: the leading well-known
// folder of a path is replaced by a token such as %PROGRAMFILES%. Both
// conversions work in place and apply at most one token kind per call.
#include <string>

void ToTokenPath(std::wstring& path);
void ToRealPath(std::wstring& path);
