#pragma once
// Name-based identifiers: version 5 UUIDs (SHA-1 of a namespace and a name),
// so that the same product and the same file get the same codes in every
// build, on every machine, without any stored state.
#include <windows.h>

#include <string>
#include <string_view>

// The namespace of this program's product codes.
extern const GUID CorvaneUpgradeNamespace;

// The version 5 UUID of `name` (its bytes as given) in `space`. False only
// when the platform's SHA-1 is unavailable.
[[nodiscard]] bool MakeNameBasedGuid(const GUID& space, std::string_view name, GUID& out);

// A GUID given with or without braces, in either case. False for anything else.
[[nodiscard]] bool ParseGuid(std::wstring_view text, GUID& out);
// Registry form: braces, upper-case hexadecimal.
std::wstring GuidToText(const GUID& id);

// Upper case by the invariant rules, the same on every machine.
std::wstring InvariantUpper(std::wstring_view text);

// The UpgradeCode a product gets when its project file names none: from the
// company and application names, trimmed and compared without regard to
// case. Empty when it cannot be made.
std::wstring DeriveUpgradeCode(std::wstring_view company, std::wstring_view application);
