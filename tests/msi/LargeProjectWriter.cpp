// Writes a project file that adds every file below a folder, for the test of
// large packages:
//   large_project_writer <folder> <project file> <product name>
// Exit code 0 when the project file was written.
#include "common/ComScope.h"
#include "common/Utf.h"
#include "project/ProjectReaders.h"
#include "project/ProjectWriters.h"
#include "common/PathSetup.h"
#include "tests/support/TestSupport.h"

#include <windows.h>

#include <cstdio>

namespace {

void Walk(const std::wstring& folder, DirectoryChangeMap& files)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(folder + L"\\" + name, files);
        else
            files[folder].push_back(folder + L"\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CComScope com;
    if (argc != 4) {
        std::fprintf(stderr, "usage: large_project_writer <folder> <project file> <product name>\n");
        return 2;
    }
    FolderTokenValues tokens;
    ReadEnvironment(tokens);
    DirectoryChangeMap files;
    Walk(argv[1], files);
    XmlDocument doc;
    if (!doc.Load(ExecutableFolder() + L"\\..\\bin\\RawProjectFile.xml"))
        return 1;
    const std::wstring save = argv[2];
    (void)WriteFileList(doc, ChangeOrigin::Added, files, tokens, save, FileListMode::KeepAll);
    (void)WriteProductInfo(doc, {argv[3], L"1.0", L"Corvane Test"}, save);
    std::size_t count = 0;
    for (const auto& [folder, list] : files)
        count += list.size();
    std::printf("%u files\n", static_cast<unsigned>(count));
    return GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES ? 0 : 1;
}
