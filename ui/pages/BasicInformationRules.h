#pragma once
// The rules of the Capture Basic Information page, usable without a window:
// what Next accepts or refuses (with the message, the red labels and the
// buttons), where an accepted choice leads, and the product information
// proposed from a setup program or a project file.
#include "common/ChangeTypes.h"

#include <windows.h>

#include <string>
#include <vector>

class CUIManager;
struct Session;

// The texts of the page's four fields.
struct BasicInformationFields
{
    std::wstring location;
    std::wstring applicationName;
    std::wstring version;
    std::wstring companyName;

    friend bool operator==(const BasicInformationFields&, const BasicInformationFields&) = default;
};

// The outcome of Next. When not accepted the page stays, shows `message`
// (if any), marks the labels, and applies the field and button changes.
struct BasicInformationCheck
{
    bool accepted = false;
    std::wstring message;
    std::wstring caption;
    UINT messageType = 0;
    // Back and Next give way to a disabled Finish.
    bool disableNavigation = false;
    // The four fields are emptied.
    bool clearFields = false;
    // Labels drawn in red until the next press of Next.
    std::vector<int> markedLabels;
    // The product fields were read (the location passed its checks).
    bool productRead = false;
    // Product fields that get their blank-free value written back.
    std::vector<int> writeBack;
    // The location and the blank-free product values.
    BasicInformationFields values;
};

// `choice` is the selected radio button (IDC_CREATE_PROJECT, IDC_BUILD_PACKAGE) or 0.
BasicInformationCheck CheckBasicInformation(int choice, const BasicInformationFields& typed);

// Hands accepted values to the manager and returns the identifier of the next
// page: Pre Installation Snapshot for a new capture, Project File Content
// Review for an existing project file (whose working folders are made first).
UINT AcceptBasicInformation(Session& session, CUIManager& manager, int choice, const BasicInformationFields& values);

// Product information from the version resource of a setup program; empty
// when it has none. `trim` removes leading and trailing white space.
ProductInfo ProposeFromSetupFile(const std::wstring& path, bool trim);
// The product fields after the location field of a new capture was left.
// The version resource is read only when `location` differs from
// `proposedFrom`, the location text last proposed from (then updated); each
// field takes the resource's value (trimmed) only where the resource has one
// and otherwise keeps what was typed.
ProductInfo ProposeOnLeavingLocation(const std::wstring& location, std::wstring& proposedFrom, const ProductInfo& typed);
// `typed` with every field replaced for which `proposed` has a value.
ProductInfo KeepTypedWhereEmpty(const ProductInfo& typed, const ProductInfo& proposed);
// Product information of a project file (which becomes the project file path);
// empty when it cannot be read.
ProductInfo ProposeFromProjectFile(Session& session, CUIManager& manager, const std::wstring& path);

std::wstring RemoveBlanks(std::wstring text);
// The location names an existing file: the first match of a wildcard-capable
// search is neither a folder nor "." or "..".
bool LocationNamesFile(const std::wstring& location);
