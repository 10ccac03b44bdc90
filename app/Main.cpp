// Start-up: the command-line modes run without a window and end the process
// with an exit code; without arguments the wizard runs.
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "common/Utf.h"
#include "ui/wizard/Wizard.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <optional>
#include <string>
#include <vector>

namespace {

// Writes the report to the console: the standard output when the program was
// given one (a pipe, a file, Wine's terminal), else the console of the
// process that started it.
class ConsoleReport
{
public:
    ConsoleReport()
    {
        m_out = GetStdHandle(STD_OUTPUT_HANDLE);
        if (m_out == nullptr || m_out == INVALID_HANDLE_VALUE) {
            if (AttachConsole(ATTACH_PARENT_PROCESS))
                m_out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        }
        DWORD mode = 0;
        m_isConsole = m_out != INVALID_HANDLE_VALUE && m_out != nullptr && GetConsoleMode(m_out, &mode);
    }

    void Line(const std::wstring& text) const
    {
        if (m_out == nullptr || m_out == INVALID_HANDLE_VALUE)
            return;
        DWORD written = 0;
        if (m_isConsole) {
            const std::wstring line = text + L"\r\n";
            WriteConsoleW(m_out, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
        } else {
            const std::string line = ToUtf8(text) + "\n";
            WriteFile(m_out, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        }
    }

private:
    HANDLE m_out = nullptr;
    bool m_isConsole = false;
};

std::wstring ExecutableFolder()
{
    std::vector<wchar_t> path(32768);
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring full(path.data(), n);
    return full.substr(0, full.find_last_of(L'\\'));
}

std::wstring FullPath(const std::wstring& path)
{
    if (path.empty())
        return path;
    const DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(path.c_str(), n, full.data(), nullptr);
    full.resize(got);
    return full;
}

// Paths given on the command line are relative to the folder the program was
// started in; the program then works from its own folder.
void MakePathsAbsolute(std::vector<std::wstring>& arguments)
{
    if (arguments.empty())
        return;
    const bool capture = IsCaptureCommand(arguments[0]);
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::wstring& argument = arguments[i];
        if (!capture && i == 0) {
            argument = FullPath(argument);
            continue;
        }
        if (capture && i == 1 && !argument.starts_with(L"-")) {
            argument = FullPath(argument);
            continue;
        }
        for (const wchar_t* prefix : {L"-path=", L"-setup="}) {
            const std::size_t length = wcslen(prefix);
            if (argument.size() > length && CompareStringOrdinal(argument.c_str(), static_cast<int>(length), prefix,
                                                                 static_cast<int>(length), TRUE) == CSTR_EQUAL)
                argument = argument.substr(0, length) + FullPath(argument.substr(length));
        }
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    try {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);

        int count = 0;
        LPWSTR* raw = CommandLineToArgvW(GetCommandLineW(), &count);
        std::vector<std::wstring> arguments;
        for (int i = 1; raw && i < count; ++i)
            arguments.emplace_back(raw[i]);
        if (raw)
            LocalFree(raw);

        MakePathsAbsolute(arguments);
        const std::wstring programFolder = ExecutableFolder();
        SetCurrentDirectoryW(programFolder.c_str());

        // The console is reached only when there is something to say on it:
        // the wizard attaches to none.
        std::optional<ConsoleReport> console;
        const auto line = [&console](const std::wstring& text) {
            if (!console)
                console.emplace();
            console->Line(text);
        };
        return RunProgram(arguments, programFolder, line, RunWizard);
    } catch (...) {
        return ExitFailure;
    }
}
