#pragma once
// Stores files as streams of a Windows Installer package after its database
// is committed and closed: each stream is written into the package's compound
// file in large pieces, so that no file is ever held in memory whole. The
// installer lists such streams in its `_Streams` table like any other.
#include "common/Result.h"

#include <string>
#include <utility>
#include <vector>

// The name a stream of the given `_Streams` name has inside the compound
// file: two characters of [0-9A-Za-z._] packed into one, as the installer
// stores them; other characters kept. Names of at most 31 stored characters.
std::wstring MsiStreamStorageName(const std::wstring& name);

struct StreamSource
{
    std::wstring name; // the `_Streams` name, for example "MSIProject.cab"
    std::wstring file; // the file whose bytes it holds
};

// Writes each file into the package as a stream of its name. A failure's
// code is the HRESULT, its text a log-ready reason naming the file and the
// system's error text.
Result StoreStreams(const std::wstring& package, const std::vector<StreamSource>& streams);
