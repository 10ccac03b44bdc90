#pragma once
// One captured file as the package holds it: its File row, its component and
// where the cabinet maker reads its bytes.
#include <cstdint>
#include <string>

struct PackedFile
{
    std::wstring folder;   // token form, as in the project file
    std::wstring name;     // file name
    std::wstring realPath; // where the bytes are read
    std::wstring key;      // File key, also the name inside the cabinet
    std::wstring component;
    std::uint32_t size = 0;
    bool is64Bit = false; // a 64-bit component (capture of 64-bit Windows)
    bool keptOnRemoval = false; // the machine had it before the setup: a permanent component
    int attributes = 0;         // read-only, hidden and system bits of File.Attributes
    // The File row's Version and Language, or (unversioned) the MsiFileHash row's parts.
    std::wstring version;
    std::wstring language;
    bool hashed = false;
    int hash[4] = {};
};
