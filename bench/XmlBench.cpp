// Times the file-system change writer (keep-all, as the rewrite of the change
// document does) on 10,000 and 100,000 files. The second figure should be
// about ten times the first: writing must stay linear in the number of files.
#include "common/ComScope.h"
#include "bench/BenchSupport.h"
#include "common/Utf.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

DirectoryChangeMap MakeMap(int folders, int filesPerFolder)
{
    DirectoryChangeMap map;
    for (int d = 0; d < folders; ++d) {
        const std::wstring folder = L"C:\\Program Files\\Bench App\\Module" + std::to_wstring(d);
        std::vector<std::wstring>& files = map[folder];
        files.reserve(filesPerFolder);
        for (int f = 0; f < filesPerFolder; ++f)
            files.push_back(folder + L"\\component_file_" + std::to_wstring(f) + L".dll");
    }
    return map;
}

// Seconds for one writer call (including its save); -1 on failure.
double TimeWriter(int folders, int filesPerFolder, const std::wstring& output)
{
    DirectoryChangeMap map = MakeMap(folders, filesPerFolder);
    XmlDocument doc;
    if (!doc.Load(BuildBinFolder() + L"\\RawProjectFile.xml"))
        return -1;
    const FolderTokenValues noTokens; // the folders are written as they are
    const double start = Now();
    (void)WriteFileList(doc, ChangeOrigin::Added, map, noTokens, output, FileListMode::KeepAll);
    const double milliseconds = Now() - start;
    XmlDocument check;
    if (!check.Load(output))
        return -1;
    return milliseconds / 1000.0;
}

} // namespace

int main()
{
    CComScope com;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring output = std::wstring(temp) + L"CorvaneXmlBench.xml";

    // Warm-up: the first document pays for loading the XML library.
    (void)TimeWriter(10, 10, output);
    const double small = TimeWriter(1000, 10, output);
    const double large = TimeWriter(10000, 10, output);
    DeleteFileW(output.c_str());
    if (small <= 0 || large <= 0) {
        std::printf("xml_bench: writer failed\n");
        return 1;
    }
    std::printf("xml_bench: InsertDirectoryAndFileInXML keep-all, 10,000 files in 1,000 folders: %.3f s\n", small);
    std::printf("xml_bench: InsertDirectoryAndFileInXML keep-all, 100,000 files in 10,000 folders: %.3f s\n", large);
    std::printf("xml_bench: ratio 100,000/10,000 = %.2f (linear target <= 12)\n", large / small);
    return 0;
}
