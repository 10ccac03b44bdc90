// Speed and memory of the file system snapshot: a first capture of 100,000
// files in 10,000 folders against a bare FindFirstFileExW walk of the same
// tree, the memory the in-memory snapshot takes per entry, and the comparison
// plus FileChanges.xml for 10,000 and 100,000 added files.
#include "bench/BenchSupport.h"
#include "common/PathSetup.h"
#include "common/Utf.h"
#include "engine/FileEnumerate.h"

#include <windows.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int TopFolders = 100;
constexpr int SubFoldersPerTop = 99; // 100 + 9,900 = 10,000 folders
constexpr int FilesPerFolder = 10;   // 100,000 files
constexpr int Runs = 3;

std::size_t PeakWorkingSet()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

void WriteSmallFile(const std::wstring& path, const char* text)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(std::char_traits<char>::length(text)), &written, nullptr);
    CloseHandle(h);
}

void MakeTree(const std::wstring& root)
{
    CreateDirectoryW(root.c_str(), nullptr);
    for (int t = 0; t < TopFolders; ++t) {
        const std::wstring top = root + L"\\top" + std::to_wstring(t);
        CreateDirectoryW(top.c_str(), nullptr);
        for (int f = 0; f < FilesPerFolder; ++f)
            WriteSmallFile(top + L"\\file" + std::to_wstring(f) + L".dat", "data");
        for (int s = 0; s < SubFoldersPerTop; ++s) {
            const std::wstring sub = top + L"\\sub folder " + std::to_wstring(s);
            CreateDirectoryW(sub.c_str(), nullptr);
            for (int f = 0; f < FilesPerFolder; ++f)
                WriteSmallFile(sub + L"\\component_" + std::to_wstring(f) + L".dll", "binary");
        }
    }
}

// The reference: a recursive walk that reads the same names, times and sizes.
struct WalkTotals
{
    std::uint64_t Entries = 0;
    std::uint64_t Checksum = 0;
};

void BareWalk(std::wstring& folder, WalkTotals& totals)
{
    const std::size_t base = folder.size();
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW((folder + L"*").c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0)))
            continue;
        folder.resize(base);
        folder += name;
        ++totals.Entries;
        totals.Checksum += data.ftCreationTime.dwLowDateTime + data.ftLastWriteTime.dwLowDateTime +
                           data.nFileSizeLow + folder.size();
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            folder += L'\\';
            BareWalk(folder, totals);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
    folder.resize(base);
}

double TimeBareWalk(const std::wstring& root, WalkTotals& totals)
{
    totals = {};
    std::wstring folder = root + L"\\";
    const double start = Now();
    BareWalk(folder, totals);
    return Now() - start;
}

double TimeCapture(const std::vector<std::wstring>& roots, CFileEnumerate& e)
{
    const double start = Now();
    if (!e.CaptureSnapshot(roots))
        std::printf("file_bench: capture reported a failure\n");
    return Now() - start;
}

// A comparison in which every captured entry is new. With `withDocument`
// clear the raw project file is out of reach, so the writer stops at once and
// only the comparison itself is timed.
double TimeCompareAdded(WorkPaths& paths, const FolderTokenValues& tokens, const std::vector<std::wstring>& roots,
                        std::size_t& files, bool withDocument = true)
{
    const std::wstring raw = paths.RawProjectFilePath;
    CFileEnumerate e(paths, tokens);
    (void)e.Initialize();
    e.IsFirstSnapshotTaken();
    e.SetFirstSnapshotTaken(false);
    (void)e.CaptureSnapshot(roots);
    e.SetSnapshots({}, SnapshotMap(e.Snapshot(SnapshotKind::First)));
    e.SetFirstSnapshotTaken(true);
    files = 0;
    for (const auto& [path, entry] : e.Snapshot(SnapshotKind::Second))
        files += entry.IsDirectory ? 0 : 1;
    EnsureFolder(paths.TempFolder());
    if (!withDocument)
        paths.RawProjectFilePath = raw + L".absent";
    const double start = Now();
    if (e.CompareSnapshot())
        (void)e.WriteChangeDocuments();
    const double elapsed = Now() - start;
    paths.RawProjectFilePath = raw;
    if (!withDocument)
        return elapsed;
    std::size_t written = 0;
    for (const auto& [folder, list] : e.Changes().Files(ChangeOrigin::Added))
        written += list.size();
    if (written != files)
        std::printf("file_bench: only %u of %u added files were written\n", static_cast<unsigned>(written),
                    static_cast<unsigned>(files));
    return elapsed;
}

} // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring benchRoot = temp;
    if (!benchRoot.empty() && benchRoot.back() == L'\\')
        benchRoot.pop_back();
    GUID guid{};
    CoCreateGuid(&guid);
    wchar_t guidText[64] = {};
    StringFromGUID2(guid, guidText, 64);
    benchRoot += L"\\CorvaneFileBench" + std::wstring(guidText);
    CreateDirectoryW(benchRoot.c_str(), nullptr);
    // A quiet log: the benchmark's own configuration file, level 0.
    {
        HANDLE h = CreateFileW((benchRoot + L"\\CorvaneRepackager.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, 0, nullptr);
        const char text[] = "[LogFileDetails]\r\nLogLevel=0\r\n";
        DWORD written = 0;
        WriteFile(h, text, sizeof text - 1, &written, nullptr);
        CloseHandle(h);
        SetCurrentDirectoryW(benchRoot.c_str());
    }

    FolderTokenValues tokens;
    ReadEnvironment(tokens);
    WorkPaths p;
    p.WorkingRoot = benchRoot + L"\\work";
    p.IniBackupFolder = benchRoot + L"\\INIBackup";
    p.RawProjectFilePath = benchRoot + L"\\Raw.xml";
    p.FileChangesPath = p.WorkingRoot + L"\\Temp\\FileChanges.xml";
    p.IniChangesPath = p.WorkingRoot + L"\\Temp\\INIChanges.xml";
    EnsureFolder(p.WorkingRoot);
    EnsureFolder(p.SnapshotFolder());
    EnsureFolder(p.IniBackupFolder);
    {
        const std::string skeleton =
            "<?xml version=\"1.0\"?>\r\n<Project><FileSystem><AddedItems><DirectoryList/></AddedItems>"
            "<ModifiedItems><DirectoryList/></ModifiedItems><DeletedItems><DirectoryList/></DeletedItems>"
            "</FileSystem><RegistrySystem><AddedItems><SubKeyList/></AddedItems><ModifiedItems><SubKeyList/>"
            "</ModifiedItems><DeletedItems><SubKeyList/></DeletedItems></RegistrySystem><INIFileSystem>"
            "<AddedItems><FileList/></AddedItems><ModifiedItems><FileList/></ModifiedItems><DeletedItems>"
            "<FileList/></DeletedItems></INIFileSystem><ShortcutList/><ShortcutICONs/><ProductInformation/>"
            "</Project>";
        HANDLE h = CreateFileW((benchRoot + L"\\Raw.xml").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(h, skeleton.data(), static_cast<DWORD>(skeleton.size()), &written, nullptr);
        CloseHandle(h);
    }

    const std::wstring tree = benchRoot + L"\\tree";
    std::printf("file_bench: building %d files in %d folders...\n", TopFolders * (SubFoldersPerTop + 1) * FilesPerFolder,
                TopFolders * (SubFoldersPerTop + 1));
    MakeTree(tree);
    const std::vector<std::wstring> allRoots{tree + L"\\"};

    // Memory first, while the peak working set is still that of a small process.
    {
        WalkTotals totals;
        TimeBareWalk(tree, totals); // warms the file system caches
        std::size_t pathBytes = 0;
        const std::size_t before = PeakWorkingSet();
        CFileEnumerate e(p, tokens);
        (void)e.Initialize();
        e.IsFirstSnapshotTaken();
        e.SetFirstSnapshotTaken(false);
        TimeCapture(allRoots, e);
        const std::size_t after = PeakWorkingSet();
        const std::size_t entries = e.Snapshot(SnapshotKind::First).size();
        for (const auto& [path, entry] : e.Snapshot(SnapshotKind::First))
            pathBytes += (path.size() + 1) * sizeof(wchar_t);
        const double perEntry = static_cast<double>(after - before) / static_cast<double>(entries);
        const double beyondPath = static_cast<double>(after - before - pathBytes) / static_cast<double>(entries);
        std::printf("file_bench: memory: peak working set %u -> %u bytes for %u entries: %.1f bytes per entry, "
                    "%.1f beyond the UTF-16 path (limit 200)\n",
                    static_cast<unsigned>(before), static_cast<unsigned>(after), static_cast<unsigned>(entries),
                    perEntry, beyondPath);
    }

    // Capture against the bare walk, alternating; the best of each.
    double bestWalk = 1e300, bestCapture = 1e300;
    WalkTotals totals;
    std::size_t captured = 0;
    for (int run = 0; run < Runs; ++run) {
        bestWalk = std::min(bestWalk, TimeBareWalk(tree, totals));
        CFileEnumerate e(p, tokens);
        (void)e.Initialize();
        e.IsFirstSnapshotTaken();
        e.SetFirstSnapshotTaken(false);
        bestCapture = std::min(bestCapture, TimeCapture(allRoots, e));
        captured = e.Snapshot(SnapshotKind::First).size();
    }
    std::printf("file_bench: bare FindFirstFileExW walk, %u entries: %.1f ms\n", static_cast<unsigned>(totals.Entries),
                bestWalk);
    std::printf("file_bench: first capture with snapshot file, %u entries: %.1f ms\n", static_cast<unsigned>(captured),
                bestCapture);
    std::printf("file_bench: capture / bare walk = %.2f (limit 1.50)\n", bestCapture / bestWalk);

    // Comparison plus the change document, 10,000 and 100,000 added files.
    std::vector<std::wstring> tenthRoots;
    for (int t = 0; t < TopFolders / 10; ++t)
        tenthRoots.push_back(tree + L"\\top" + std::to_wstring(t) + L"\\");
    std::size_t smallFiles = 0, largeFiles = 0;
    double small = 1e300, large = 1e300;
    for (int run = 0; run < 2; ++run) {
        small = std::min(small, TimeCompareAdded(p, tokens, tenthRoots, smallFiles));
        large = std::min(large, TimeCompareAdded(p, tokens, allRoots, largeFiles));
    }
    std::printf("file_bench: compare + FileChanges.xml, %u added files: %.1f ms\n", static_cast<unsigned>(smallFiles),
                small);
    std::printf("file_bench: compare + FileChanges.xml, %u added files: %.1f ms\n", static_cast<unsigned>(largeFiles),
                large);
    std::printf("file_bench: 10x entries / 1x = %.2f (limit 12); compare / capture = %.2f (limit 1.00)\n",
                large / small, large / bestCapture);
    std::size_t ignored = 0;
    const double smallMaps = TimeCompareAdded(p, tokens, tenthRoots, ignored, false);
    const double largeMaps = TimeCompareAdded(p, tokens, allRoots, ignored, false);
    std::printf("file_bench: of which the comparison into the change maps: %.1f ms and %.1f ms (ratio %.2f); "
                "the rest is FileChanges.xml\n",
                smallMaps, largeMaps, largeMaps / smallMaps);

    SetCurrentDirectoryW(temp);
    RemoveFolderTree(benchRoot);
    CoUninitialize();
    return 0;
}
