// Speed of the registry snapshot: the export against a bare walk of the same
// keys that reads every value, and the comparison of two exports (full and
// half size, to show that it grows linearly with the files).
#include "common/ComScope.h"
#include "bench/BenchSupport.h"
#include "common/Paths.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "engine/RegistryEnumerate.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const wchar_t* const BenchKey = L"Software\\CorvaneBench";
constexpr int Halves = 2;
constexpr int TopKeys = 10;    // per half
constexpr int LeafKeys = 1000; // per top key
constexpr int Runs = 3;

std::wstring LeafPath(int half, int top, int leaf)
{
    wchar_t path[96];
    std::swprintf(path, 96, L"%ls\\%lc\\T%02d\\K%04d", BenchKey, L'A' + half, top, leaf);
    return path;
}

bool SetLeafValues(HKEY key, int n)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"Product component number %d", n);
    const DWORD count = static_cast<DWORD>(n);
    BYTE blob[16];
    for (int i = 0; i < 16; ++i)
        blob[i] = static_cast<BYTE>(n * 7 + i);
    const wchar_t* expand = L"%ProgramFiles%\\Vendor\\App\\bin";
    const std::uint64_t big = 0x100000000ull * static_cast<unsigned>(n) + 5;
    const auto size = [](const wchar_t* s) { return static_cast<DWORD>((wcslen(s) + 1) * sizeof(wchar_t)); };
    return RegSetValueExW(key, L"Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size(text)) == 0 &&
           RegSetValueExW(key, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), 4) == 0 &&
           RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, sizeof blob) == 0 &&
           RegSetValueExW(key, L"Path", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), size(expand)) == 0 &&
           RegSetValueExW(key, L"Big", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&big), 8) == 0;
}

bool CreateLeaf(int half, int top, int leaf)
{
    UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, LeafPath(half, top, leaf).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return SetLeafValues(key.get(), (half * TopKeys + top) * LeafKeys + leaf);
}

// The least a snapshot has to do: open every key, size the buffers, read
// every value with its data and every subkey name.
long BareWalk(HKEY key)
{
    long keys = 1;
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values, &maxName, &maxData,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return keys;
    std::vector<wchar_t> name(std::max<DWORD>(maxName, maxSubkey) + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength) != ERROR_SUCCESS)
            break;
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        if (RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        UniqueHKey child;
        if (RegOpenKeyExW(key, name.data(), 0, KEY_READ, child.put()) == ERROR_SUCCESS)
            keys += BareWalk(child.get());
    }
    return keys;
}

double FileMegabytes(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (double(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / (1024.0 * 1024.0);
}

double TimeExport(CRegistryEnumerate& registry, const std::wstring& root, const std::wstring& file)
{
    double best = 1e30;
    for (int run = 0; run < Runs; ++run) {
        DWORD writeError = 0;
        const double start = Now();
        (void)registry.ExportKey(root, file, writeError);
        best = std::min(best, Now() - start);
        if (writeError != 0)
            std::printf("export to %s failed: %lu\n", ToUtf8(file).c_str(), writeError);
    }
    return best;
}

double TimeCompare(CRegistryEnumerate& registry, const std::wstring& first, const std::wstring& second,
                   const std::wstring& difference, std::size_t* changedKeys)
{
    double best = 1e30;
    for (int run = 0; run < Runs; ++run) {
        registry.Reset();
        const double start = Now();
        const Result ok = registry.CompareSnapshotFiles(first, second, difference);
        best = std::min(best, Now() - start);
        if (!ok)
            std::printf("comparison of %s failed\n", ToUtf8(first).c_str());
    }
    *changedKeys = 0;
    for (const ChangeOrigin origin : Origins)
        *changedKeys += registry.Changes().Registry(origin).size();
    return best;
}

} // namespace

int main()
{
    CComScope com;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"CorvaneRegistryBench";
    RemoveFolderTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring base = folder + L"\\";

    RegDeleteTreeW(HKEY_CURRENT_USER, BenchKey);
    for (int half = 0; half < Halves; ++half)
        for (int top = 0; top < TopKeys; ++top)
            for (int leaf = 0; leaf < LeafKeys; ++leaf)
                if (!CreateLeaf(half, top, leaf)) {
                    std::printf("cannot create the benchmark keys\n");
                    RegDeleteTreeW(HKEY_CURRENT_USER, BenchKey);
                    return 1;
                }

    const std::wstring fullRoot = std::wstring(L"HKEY_CURRENT_USER\\") + BenchKey;
    const std::wstring halfRoot = fullRoot + L"\\A";
    const WorkPaths paths;
    CRegistryEnumerate registry(paths);

    // Warm both paths once, then take the best of several runs of each.
    UniqueHKey benchKey;
    RegOpenKeyExW(HKEY_CURRENT_USER, BenchKey, 0, KEY_READ, benchKey.put());
    long keys = BareWalk(benchKey.get());
    double walk = 1e30;
    for (int run = 0; run < Runs; ++run) {
        const double start = Now();
        keys = BareWalk(benchKey.get());
        walk = std::min(walk, Now() - start);
    }
    const double exportFull = TimeExport(registry, fullRoot, base + L"before_full.reg");
    (void)TimeExport(registry, halfRoot, base + L"before_half.reg");

    std::printf("Registry export, %ld keys with 5 values each: %.1f ms (%.1f MB)\n", keys, exportFull,
                FileMegabytes(base + L"before_full.reg"));
    std::printf("Bare registry walk reading every value, same keys: %.1f ms\n", walk);
    std::printf("Export / bare walk ratio: %.2f (limit 1.50)\n", exportFull / walk);

    // 1% of keys and values change: values modified, added and deleted, keys added and deleted.
    for (int half = 0; half < Halves; ++half)
        for (int top = 0; top < TopKeys; ++top)
            for (int leaf = 0; leaf < LeafKeys; leaf += 50) {
                const std::wstring path = LeafPath(half, top, leaf);
                UniqueHKey key;
                if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key.put()) != ERROR_SUCCESS)
                    continue;
                const DWORD changed = 0xC0FFEE;
                switch (leaf / 50 % 4) {
                case 0: RegSetValueExW(key.get(), L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&changed), 4); break;
                case 1: RegSetValueExW(key.get(), L"Extra", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&changed), 4); break;
                case 2: RegDeleteValueW(key.get(), L"Blob"); break;
                default:
                    key.reset();
                    RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
                    CreateLeaf(half, top, leaf + LeafKeys); // a new key elsewhere
                    break;
                }
            }
    (void)TimeExport(registry, fullRoot, base + L"after_full.reg");
    (void)TimeExport(registry, halfRoot, base + L"after_half.reg");

    std::size_t fullChanges = 0, halfChanges = 0;
    const double compareFull =
        TimeCompare(registry, base + L"before_full.reg", base + L"after_full.reg", base + L"diff_full.reg",
                    &fullChanges);
    const double compareHalf =
        TimeCompare(registry, base + L"before_half.reg", base + L"after_half.reg", base + L"diff_half.reg",
                    &halfChanges);
    std::printf("Comparison of two full exports (1%% changed, %zu keys reported): %.1f ms\n", fullChanges, compareFull);
    std::printf("Comparison of two half-size exports (%zu keys reported): %.1f ms\n", halfChanges, compareHalf);
    std::printf("Full / half comparison ratio: %.2f (linear: about 2)\n", compareFull / compareHalf);
    std::printf("Comparison / export ratio: %.2f (limit 1.00)\n", compareFull / exportFull);

    registry.Reset();
    benchKey.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, BenchKey);
    RemoveFolderTree(folder);
    return 0;
}
