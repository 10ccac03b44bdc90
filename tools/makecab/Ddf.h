#pragma once
// Cabinet directive files (DDF) as the cabinet maker reads them: ".Option" and
// ".Set" lines, then one line per file: source path, optionally the name in
// the cabinet, each quoted with '...' or "..." or bare; ';' starts a comment.
#include <string>
#include <string_view>
#include <vector>

struct DdfFile
{
    std::wstring source;     // path of the file to store (SourceDir applied)
    std::wstring name;       // name inside the cabinet
    int line = 0;            // DDF line, for messages
    bool compress = true;    // MSZIP when set, stored otherwise
    bool newFolder = false;  // ".New Folder" came before this file
};

struct DdfScript
{
    std::wstring cabinetName = L"1.cab";   // CabinetNameTemplate, '*' -> 1
    std::wstring diskDirectory = L"disk1"; // DiskDirectoryTemplate / DiskDirectory1
    unsigned reserveCabinet = 0;           // ReservePerCabinetSize
    unsigned reserveFolder = 0;            // ReservePerFolderSize
    unsigned reserveData = 0;              // ReservePerDataBlockSize
    unsigned long long maxDiskSize = 0;    // MaxDiskSize in bytes; 0: no limit but the format's
    std::vector<DdfFile> files;

    // Where the cabinet goes: diskDirectory\cabinetName (or cabinetName alone).
    std::wstring CabinetPath() const;
};

struct DdfError
{
    int line = 0; // 0: not about one line
    std::wstring message;
};

// Decodes DDF bytes: UTF-16 with its byte order mark, UTF-8 (with or without
// the mark), otherwise the ANSI code page.
std::wstring DecodeDdfText(std::string_view bytes);

// Parses the text of a DDF. Returns false and fills `error` for a line that
// cannot be read or a directive that would change the cabinet in a way this
// maker does not support (LZX compression, several cabinets, Cabinet=off).
[[nodiscard]] bool ParseDdf(std::wstring_view text, DdfScript& script, DdfError& error);
