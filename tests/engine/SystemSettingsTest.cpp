// Services and environment variables among a capture's registry changes: the
// list-variable rules and the reading of a service's key.
#include "engine/EnvironmentChanges.h"
#include "engine/ServiceChanges.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <tuple>

namespace {

using Entries = std::vector<std::wstring>;

const std::wstring MachineEnvironment =
    L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

// A string value as the comparison keeps it: REG_SZ quoted, other string types as hex(n) bytes.
RegistryChangeEntry Value(const std::wstring& key, const std::wstring& name, const std::wstring& type,
                          const std::wstring& data)
{
    return {L"[" + key + L"]", L"\"" + name + L"\"", type, data};
}

std::wstring HexOf(const Entries& strings, bool multi)
{
    std::wstring hex;
    wchar_t bytes[5];
    const auto put = [&](wchar_t c) { std::swprintf(bytes, 5, L"%02x%02x", c & 0xff, (c >> 8) & 0xff), hex += bytes; };
    for (const std::wstring& s : strings) {
        for (wchar_t c : s)
            put(c);
        put(L'\0');
    }
    if (multi)
        put(L'\0');
    return hex;
}

TEST(EnvironmentRules, ListVariableChanges)
{
    struct Case { const char* what; std::wstring before, after; bool extension; Entries prepend, append; bool inner; };
    const Case cases[] = {
        {"prepended", L"C:\\A;C:\\B", L"C:\\P1;C:\\P2;C:\\A;C:\\B", true, {L"C:\\P1", L"C:\\P2"}, {}, false},
        {"both", L"C:\\A", L"C:\\P;C:\\A;C:\\Z", true, {L"C:\\P"}, {L"C:\\Z"}, false},
        {"kept entries reordered", L"C:\\A;C:\\B", L"C:\\B;C:\\A", true, {}, {}, false},
        {"reordered and appended", L"C:\\A;C:\\B", L"C:\\B;C:\\A;C:\\N", true, {}, {L"C:\\N"}, false},
        {"case, trailing backslash, empty entries", L"C:\\A\\;C:\\B", L"c:\\a;;C:\\B;C:\\N;", true, {}, {L"C:\\N"},
         false},
        {"added between kept entries", L"C:\\A;C:\\B", L"C:\\A;C:\\M;C:\\B", true, {}, {L"C:\\M"}, true},
        {"added twice", L"C:\\A", L"C:\\A;C:\\N;C:\\N", true, {}, {L"C:\\N"}, false},
        {"an entry removed", L"C:\\A;C:\\B", L"C:\\A;C:\\N", false, {}, {}, false},
        {"a non-list value replaced", L"C:\\jdk8", L"C:\\jdk11", false, {}, {}, false},
        {"empty before", L"", L"C:\\N", true, {}, {L"C:\\N"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ListVariableChange d = CompareListValues(c.before, c.after);
        EXPECT_EQ(std::tie(d.IsExtension, d.Prepend, d.Append, d.AddedBetween),
                  std::tie(c.extension, c.prepend, c.append, c.inner));
    }
}

TEST(EnvironmentRules, WhatThePackageDoes)
{
    struct Case { const char* what; std::optional<std::wstring> before; std::wstring after; EnvironmentAction action;
                  std::wstring value; Entries append; bool noted; };
    const Case cases[] = {
        {"new variable", std::nullopt, L"C:\\App", EnvironmentAction::Create, L"C:\\App", {}, false},
        {"list extended", L"C:\\A", L"C:\\A;C:\\App\\bin", EnvironmentAction::Extend, L"", {L"C:\\App\\bin"}, false},
        {"value replaced", L"old", L"new", EnvironmentAction::Set, L"new", {}, true},
        {"order only", L"C:\\A;C:\\B", L"C:\\B;C:\\A", EnvironmentAction::Extend, L"", {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring note;
        const EnvironmentRecord r = ClassifyVariable(MachineEnvironment, L"Path", true, c.before, c.after, note);
        EXPECT_TRUE(r.Action == c.action && r.Value == c.value && r.Append == c.append) << ToUtf8(r.Value);
        EXPECT_EQ(!note.empty(), c.noted) << ToUtf8(note);
    }
}

TEST(EnvironmentRules, ChangeMapsGiveOneRecordPerVariable)
{
    const std::wstring numbered = L"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Control\\Session Manager\\Environment";
    RegistryChangeMap added, modified, deleted;
    added[MachineEnvironment] = {Value(MachineEnvironment, L"CORVANE_HOME", L"REG_SZ", L"\"C:\\App\"")};
    added[numbered] = {Value(numbered, L"CORVANE_HOME", L"REG_SZ", L"\"C:\\App\"")};
    const std::wstring user = L"HKEY_CURRENT_USER\\Environment", other = L"HKEY_LOCAL_MACHINE\\Software\\Other";
    added[user] = {Value(user, L"CORVANE_USER", L"REG_EXPAND_SZ", HexOf({L"%USERPROFILE%\\x"}, false))};
    modified[MachineEnvironment] = {
        Value(MachineEnvironment, L"Path", L"REG_EXPAND_SZ", HexOf({L"C:\\windows;C:\\App\\bin"}, false))};
    deleted[MachineEnvironment] = {Value(MachineEnvironment, L"OLD", L"REG_SZ", L"\"x\"")};
    added[other] = {Value(other, L"Path", L"REG_SZ", L"\"C:\\x\"")};
    const std::vector<RegistryChangeEntry> previous = {
        Value(MachineEnvironment, L"Path", L"REG_EXPAND_SZ", HexOf({L"C:\\windows"}, false))};

    const EnvironmentList variables = EnvironmentChangesOf(added, modified, deleted, previous);
    // In the maps' order: the user's key sorts first.
    ASSERT_EQ(variables.size(), 3u);
    const EnvironmentRecord& user0 = variables[0];
    EXPECT_TRUE(user0.Name == L"CORVANE_USER" && !user0.System && user0.Value == L"%USERPROFILE%\\x");
    EXPECT_TRUE(variables[1].Name == L"CORVANE_HOME" && variables[1].System);
    EXPECT_TRUE(variables[2].Action == EnvironmentAction::Extend && variables[2].Append == Entries{L"C:\\App\\bin"});

    // Without its old value a changed variable is left alone, never written whole.
    const EnvironmentList unknown = EnvironmentChangesOf({}, modified, {}, {});
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_TRUE(unknown[0].Action == EnvironmentAction::Extend && unknown[0].Append.empty() &&
                unknown[0].Prepend.empty());
}

TEST(ServiceKeys, ImagePathSplitsIntoProgramAndArguments)
{
    wchar_t windows[MAX_PATH];
    ASSERT_GT(GetEnvironmentVariableW(L"SystemRoot", windows, MAX_PATH), 0u);
    struct Case { std::wstring imagePath, program, arguments; };
    const Case cases[] = {
        {L"\"C:\\Program Files\\App\\svc.exe\" -service  x ", L"C:\\Program Files\\App\\svc.exe", L"-service  x"},
        {L"C:\\Program Files\\App\\svc.exe -k", L"C:\\Program Files\\App\\svc.exe", L"-k"},
        {L"C:\\Apps\\my.exefile\\svc.exe", L"C:\\Apps\\my.exefile\\svc.exe", L""},
        {L"%SystemRoot%\\system32\\svchost.exe -k netsvcs", std::wstring(windows) + L"\\system32\\svchost.exe",
         L"-k netsvcs"},
        {L"\\??\\C:\\Drivers\\x.sys", L"C:\\Drivers\\x.sys", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.imagePath));
        const ImagePathParts parts = SplitImagePath(c.imagePath);
        EXPECT_EQ(parts.Program + L"|" + parts.Arguments, c.program + L"|" + c.arguments);
    }
}

TEST(ServiceKeys, AddedServiceKeyReadOnceAcrossControlSets)
{
    const std::wstring current = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\CorvaneSvc";
    const std::wstring numbered = L"HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services\\CorvaneSvc";
    const std::vector<RegistryChangeEntry> values = {
        Value(current, L"Type", L"REG_DWORD", L"110"), Value(current, L"Start", L"REG_DWORD", L"2"),
        Value(current, L"ErrorControl", L"REG_DWORD", L"1"),
        Value(current, L"ImagePath", L"REG_EXPAND_SZ", HexOf({L"\"C:\\Program Files\\Svc\\svc.exe\" -run"}, false)),
        Value(current, L"DisplayName", L"REG_SZ", L"\"Corvane Service\""),
        Value(current, L"ObjectName", L"REG_SZ", L"\"NT AUTHORITY\\LocalService\""),
        Value(current, L"DependOnService", L"REG_SZ", L"hex(7):" + HexOf({L"RpcSs", L"Tcpip"}, true)),
    };
    RegistryChangeMap added;
    added[current] = values;
    added[numbered] = values;
    FolderTokenValues tokens;
    tokens.programfiles = L"C:\\Program Files";
    added[current + L"\\Parameters"] = {Value(current + L"\\Parameters", L"Type", L"REG_SZ", L"\"not a service\"")};
    added[L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\NoType"] = {
        Value(L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\NoType", L"Start", L"REG_SZ", L"\"3\"")};

    const ServiceList services = ServiceChangesOf(added, tokens);
    ASSERT_EQ(services.size(), 1u);
    const ServiceRecord& s = services[0];
    EXPECT_TRUE(s.Name == L"CorvaneSvc" && s.Type == 0x110u && s.Start == 2u && s.DisplayName == L"Corvane Service");
    EXPECT_EQ(s.Account, L"NT AUTHORITY\\LocalService");
    EXPECT_EQ(s.Program + L" " + s.Arguments, L"%PROGRAMFILES%\\Svc\\svc.exe -run");
    EXPECT_EQ(s.DependOnService, (Entries{L"RpcSs", L"Tcpip"}));
}

} // namespace
