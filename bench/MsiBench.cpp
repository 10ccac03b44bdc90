// Times a whole package build (project file read, cabinet, rows, stored
// cabinet, commit) of the files below a folder:
//   msi_bench <data folder> <work folder>
// The data folder holds the payload (bench/msi_bench.sh makes 10,000 files of
// about 100 MB); one line "msi build: <seconds> s, <files> files" is printed.
#include "common/ComScope.h"
#include "common/PathSetup.h"
#include "bench/BenchSupport.h"
#include "common/Utf.h"
#include "msi/MSIHandler.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace {

void ListFiles(const std::wstring& folder, DirectoryChangeMap& map)
{
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + L"\\" + name, map);
        else
            map[folder].push_back(folder + L"\\" + name);
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CComScope com;
    if (argc != 3) {
        // Run without a payload (as the loop over every benchmark does): the
        // figures come from bench/msi_bench.sh, which makes the payload.
        std::printf("msi_bench: run bench/msi_bench.sh <build folder> for the package build figures\n");
        return 0;
    }
    const std::wstring data = argv[1], work = argv[2];
    FolderTokenValues tokens;
    ReadEnvironment(tokens);
    WorkPaths paths;
    paths.ProgramFolder = BuildBinFolder();
    paths.WorkingRoot = work;
    paths.OutputFolder = work;
    EnsureFolder(paths.WorkingRoot);
    EnsureFolder(paths.TempFolder());
    EnsureFolder(paths.PackagesFolder());

    DirectoryChangeMap files;
    ListFiles(data, files);
    std::size_t count = 0;
    for (const auto& [folder, list] : files)
        count += list.size();
    const std::wstring project = work + L"\\BenchProject.xml";
    {
        XmlDocument doc;
        if (!doc.Load(BuildBinFolder() + L"\\RawProjectFile.xml")) {
            std::fprintf(stderr, "cannot load the raw project file\n");
            return 1;
        }
        (void)WriteFileList(doc, ChangeOrigin::Added, files, tokens, project, FileListMode::KeepAll);
        (void)WriteProductInfo(doc, {L"Bench", L"1.0", L"Corvane"}, project);
    }

    const auto start = std::chrono::steady_clock::now();
    CMSIHandler builder;
    int built = 0;
    if (builder.Initialize({project, paths.OutputFolder, L"bench.msi", paths, tokens}) == 1)
        built = builder.BuildMSI();
    const std::size_t packed = builder.Counts().FilesPacked;
    builder.Uninitialize();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (built != 1 || packed != count) {
        std::fprintf(stderr, "build failed (%d), %zu of %zu files packed\n", built, packed, count);
        return 1;
    }
    std::printf("msi build: %.2f s, %zu files\n", seconds, count);
    return 0;
}
