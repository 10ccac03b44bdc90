#pragma once
// Services and environment variables that a setup created or changed, as the
// project file records them beside the registry values they consist of. The
// capture decides what each one is (it alone knows a variable's value before
// the setup ran); the build turns them into Windows Installer's own service
// and environment rows instead of plain registry values.
//
// In the project file they are two sections below the root element, which
// readers of earlier versions do not look for:
//   <EnvironmentList><Variable Key= Name= System= Action= Value= Prepend= Append=/></EnvironmentList>
//   <ServiceList><Service Key= Name= DisplayName= Description= Type= Start= ErrorControl= Group=
//                         DependOnService= DependOnGroup= Account= Program= Arguments=/></ServiceList>
// A project file without them builds as before: every value a registry value.
#include "project/XmlDocument.h"

#include <cstdint>
#include <string>
#include <vector>

namespace SystemSection {
inline constexpr const wchar_t* Environment = L"EnvironmentList";
inline constexpr const wchar_t* Services = L"ServiceList";
} // namespace SystemSection

// What the package does with one variable.
enum class EnvironmentAction
{
    Create, // new variable: set on install, removed on removal
    Extend, // list variable: the added entries put in front and at the end, taken out on removal
    Set,    // another change: the new value set on install and left on removal
};

struct EnvironmentRecord
{
    std::wstring Key;  // the registry key the value lies under (as the change lists name it)
    std::wstring Name; // the variable's name
    bool System = false; // machine-wide (Session Manager) rather than the user's
    EnvironmentAction Action = EnvironmentAction::Create;
    std::wstring Value = {};                // Create and Set
    std::vector<std::wstring> Prepend = {}; // Extend: entries in front, in their order
    std::vector<std::wstring> Append = {};  // Extend: entries at the end, in their order

    friend bool operator==(const EnvironmentRecord&, const EnvironmentRecord&) = default;
};
using EnvironmentList = std::vector<EnvironmentRecord>;

// A service as the setup created it: the values of its key.
struct ServiceRecord
{
    std::wstring Key; // the service's key
    std::wstring Name;
    std::wstring DisplayName = {};
    std::wstring Description = {};
    std::uint32_t Type = 0;
    std::uint32_t Start = 3;
    std::uint32_t ErrorControl = 1;
    std::wstring Group = {};
    std::vector<std::wstring> DependOnService = {};
    std::vector<std::wstring> DependOnGroup = {};
    std::wstring Account = {};   // ObjectName; empty means LocalSystem
    std::wstring Program = {};   // the image path's program, in token form
    std::wstring Arguments = {}; // the rest of the image path

    friend bool operator==(const ServiceRecord&, const ServiceRecord&) = default;
};
using ServiceList = std::vector<ServiceRecord>;

// ---- Keys -----------------------------------------------------------------

// A key below HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet (or one of the
// numbered control sets it links to) as the part below the control set
// ("Services\Name"); "" for any other key. Any letter case.
std::wstring ControlSetRelativePath(const std::wstring& keyPath);

// True for the two keys that hold environment variables: the machine's
// (Session Manager\Environment of a control set) and the user's
// (HKEY_CURRENT_USER\Environment); `system` tells which.
bool IsEnvironmentKey(const std::wstring& keyPath, bool* system = nullptr);

// The service a key of the Services key belongs to: its name, and whether
// the key is the service's own key (not one of its subkeys). "" otherwise.
std::wstring ServiceOfKey(const std::wstring& keyPath, bool* ownKey = nullptr);

// Case-insensitive equality of names and paths.
bool SameName(const std::wstring& a, const std::wstring& b);

// ---- Project file -----------------------------------------------------------

// Replace the section's content (the section is added below the root when
// missing) and save to `savePath`. Ok when saved, else the failure they
// logged (a failed save with the system's code and text).
Result WriteEnvironmentList(XmlDocument& document, const EnvironmentList& variables, const std::wstring& savePath);
Result WriteServiceList(XmlDocument& document, const ServiceList& services, const std::wstring& savePath);
// The section's records in document order; empty when the section is missing.
EnvironmentList ReadEnvironmentList(const XmlDocument& document);
ServiceList ReadServiceList(const XmlDocument& document);
