#pragma once
// What a captured value must not carry from the capture machine to the
// machines the package is installed on: paths to the machine's folders (the
// capturing user's profile folders among them) become the installer's folder
// properties, and the capturing user's name becomes [LogonUser], so that each
// value names the installing user's folders and name. The capturing
// computer's name is left as it is (it may be meant) but counted, and each
// value holding it is named in the error log.
//
// Used for the Registry table's string values, IniFile values, Shortcut
// arguments and Environment values.
#include "common/Paths.h"

#include <cstddef>
#include <string>
#include <vector>

// A folder of the capture machine and the formatted text that stands for it
// in the package ("[AppDataFolder]": the property's value ends with "\").
struct FolderProperty
{
    std::wstring folder;
    std::wstring property;
};

struct CaptureMachine
{
    std::vector<FolderProperty> folders; // longest folder first
    std::wstring userName;
    std::vector<std::wstring> computerNames; // NetBIOS and DNS host name

    // This machine: the folders of the environment values (Program Files,
    // Windows, application data, temp, profile, all users' profile) and the
    // user's shell folders (local application data, documents, desktop, Start
    // menu, programs, startup, templates, favorites), with the user's and the
    // computer's names. A folder the platform does not report is left out.
    static CaptureMachine Current(const FolderTokenValues& env);
};

// Orders `folders` longest first (the application-data folder before the
// profile that holds it) and drops empty and repeated folders.
void SortLongestFirst(std::vector<FolderProperty>& folders);

// The folders in `value` become their properties, the longest folder first,
// compared without regard to case and only where the folder is a whole path:
// it starts the value or follows a character other than a letter or digit,
// and "\" (taken into the property, which ends with one), ";", ",", "|", a
// quote or the end of the value follows it. Before a quote the property is
// followed by "." ("C:\Users\Ann\." for "C:\Users\Ann"), so that the
// property's trailing backslash does not escape the quote in a command line.
std::wstring ReplaceFolderPaths(std::wstring value, const std::vector<FolderProperty>& folders);

// How many of `names` occur in `value` as a whole word (no letter, digit, "-"
// or "_" on either side), without regard to case.
std::size_t CountComputerNames(const std::wstring& value, const std::vector<std::wstring>& names);

// The rewriting of one build: holds the capture machine and counts the values
// that name the computer.
class CMachineValues
{
public:
    explicit CMachineValues(CaptureMachine machine);

    // `raw` as the formatted text of a package column: "[LogonUser]" when it
    // is the capturing user's name (without regard to case); otherwise
    // escaped for formatted text, with the folders replaced. A value naming
    // the computer is counted, and logged with `where` (the key and value
    // name, the INI file and key, the shortcut, the variable).
    std::wstring Formatted(const std::wstring& raw, const std::wstring& where);
    // The folders only, in a text that is already formatted.
    std::wstring Folders(std::wstring formatted) const
    {
        return ReplaceFolderPaths(std::move(formatted), m_machine.folders);
    }

    std::size_t ComputerNameValues() const noexcept { return m_computerNameValues; }
    const CaptureMachine& Machine() const noexcept { return m_machine; }

private:
    CaptureMachine m_machine;
    std::size_t m_computerNameValues = 0;
};
