#pragma once
// Key allocation: the table keys a build hands out, unique without regard to
// case within their table.
#include <map>
#include <set>
#include <string>

// A Windows Installer identifier made of a name: ASCII letters, digits,
// underscores and periods, never starting with a digit or a period; every
// other character becomes "_".
std::wstring MsiIdentifier(const std::wstring& name);

// Names unique without regard to case: a name the first time it is asked
// for, then name1, name2, ... (a number another name already took is passed
// over).
class CUniqueKeys
{
public:
    [[nodiscard]] std::wstring Make(const std::wstring& name);
    // Marks a name as taken (a key the template already has).
    void Reserve(const std::wstring& name);

private:
    std::set<std::wstring> m_used;            // upper case
    std::map<std::wstring, unsigned> m_counts; // upper-case name -> suffixes used
};

// The keys of one build: File keys (also the names inside the cabinet) and
// Directory keys (captured folders and shortcut folders share them).
struct TableKeys
{
    CUniqueKeys files;
    CUniqueKeys directories;
};
