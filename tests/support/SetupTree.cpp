// setup_tree: a stand-in setup that behaves like a bootstrapper.
//
//   setup_tree.exe <depth> <milliseconds> <exit code> <marker file>
//
// With a depth above 0 it starts itself with depth - 1 (exit code 0) and exits
// at once with <exit code>; at depth 0 it sleeps <milliseconds>, then writes
// its process id into <marker file> and exits 0. So depth 1 is a bootstrapper
// whose inner setup finishes later, depth 2 a bootstrapper of a bootstrapper.
// Without arguments it reads the four from the variable SETUP_TREE_ARGS (a
// program the wizard launches gets none).
#include <windows.h>
#include <shellapi.h>

#include <string>

int wmain(int argc, wchar_t** argv)
{
    std::wstring fromEnvironment;
    if (argc == 1) {
        wchar_t buffer[2048] = {};
        if (GetEnvironmentVariableW(L"SETUP_TREE_ARGS", buffer, 2048) == 0)
            return 2;
        fromEnvironment = std::wstring(L"setup_tree ") + buffer;
        argv = CommandLineToArgvW(fromEnvironment.c_str(), &argc);
    }
    if (argc != 5)
        return 2;
    const int depth = _wtoi(argv[1]);
    const std::wstring milliseconds = argv[2];
    const int exitCode = _wtoi(argv[3]);
    const std::wstring marker = argv[4];
    if (depth > 0) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + std::to_wstring(depth - 1) + L" " +
                                   milliseconds + L" 0 \"" + marker + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            return 3;
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return exitCode;
    }
    Sleep(static_cast<DWORD>(_wtoi(milliseconds.c_str())));
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 4;
    const std::string id = std::to_string(GetCurrentProcessId());
    DWORD written = 0;
    WriteFile(file, id.data(), static_cast<DWORD>(id.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
