// makecab: the cabinet maker the MSI build runs.
//
//   makecab /F <directive file>
//
// Reads the DDF and writes the one cabinet it describes (MSZIP compressed).
// Exit code 0 on success; 1 with one message "makecab: <ddf>(<line>): <problem>"
// on standard error for a DDF it cannot read or a file it cannot store, the
// problem naming the file and the system's reason. While it works it writes
// "Packed <files> of <total> files, <bytes> bytes" on standard output, at
// most four times a second and once at the end, and for each file stored
// "Hash <index> <four numbers>", the MD5 digest of its bytes as four
// little-endian 32-bit numbers (index 0 for the DDF's first file); "Image
// <index>" for a file that begins "MZ"; "Stored <index>" for a file whose
// bytes look compressed already: it goes uncompressed into the cabinet after
// every compressed file, the stored ones in the DDF's order.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "tools/makecab/CabinetWriter.h"
#include "tools/makecab/Ddf.h"

namespace {

void Report(const std::wstring& ddf, int line, const std::wstring& message)
{
    std::string text = "makecab: ";
    text += ToUtf8(ddf);
    if (line > 0) {
        text += '(';
        text += std::to_string(line);
        text += ')';
    }
    text += ": ";
    text += ToUtf8(message);
    text += '\n';
    std::fputs(text.c_str(), stderr);
}

bool ReadAll(const std::wstring& path, std::string& bytes, DWORD& code)
{
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        code = GetLastError();
        return false;
    }
    char buffer[65536];
    DWORD got = 0;
    for (;;) {
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            code = GetLastError();
            return false;
        }
        if (got == 0)
            return true;
        bytes.append(buffer, got);
    }
}

class ConsoleProgress final : public CabinetProgress
{
public:
    explicit ConsoleProgress(size_t total) : m_total(total) {}
    void Packed(size_t files, unsigned long long bytes, bool done) override
    {
        const ULONGLONG now = GetTickCount64();
        if (!done && now - m_last < 250)
            return;
        m_last = now;
        const std::string line = "Packed " + std::to_string(files) + " of " + std::to_string(m_total) +
                                 " files, " + std::to_string(bytes) + " bytes\n";
        std::fputs(line.c_str(), stdout);
        std::fflush(stdout);
    }

    void Hashed(size_t index, const unsigned long (&parts)[4]) override
    {
        std::string line = "Hash ";
        line += std::to_string(index);
        for (unsigned long part : parts) {
            line += ' ';
            line += std::to_string(part);
        }
        line += "\n";
        std::fputs(line.c_str(), stdout);
    }

    void Image(size_t index) override { Line("Image", index); }
    void Stored(size_t index) override { Line("Stored", index); }

private:
    static void Line(const char* what, size_t index)
    {
        std::string line = what;
        line += ' ';
        line += std::to_string(index);
        line += '\n';
        std::fputs(line.c_str(), stdout);
    }

    size_t m_total;
    ULONGLONG m_last = 0;
};

int Run(int argc, wchar_t** argv)
{
    std::wstring ddf;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if ((arg == L"/F" || arg == L"/f" || arg == L"-F" || arg == L"-f") && i + 1 < argc)
            ddf = argv[++i];
        else if (arg == L"/V" || arg == L"/v" || arg.starts_with(L"/V") || arg.starts_with(L"/v"))
            continue; // verbosity
        else {
            std::fprintf(stderr, "usage: makecab /F <directive file>\n");
            return 1;
        }
    }
    if (ddf.empty()) {
        std::fprintf(stderr, "usage: makecab /F <directive file>\n");
        return 1;
    }
    std::string bytes;
    DWORD code = 0;
    if (!ReadAll(ddf, bytes, code)) {
        Report(ddf, 0, L"cannot read the directive file: " + CabinetSystemText(code));
        return 1;
    }
    DdfScript script;
    DdfError error;
    if (!ParseDdf(DecodeDdfText(bytes), script, error)) {
        Report(ddf, error.line, error.message);
        return 1;
    }
    ConsoleProgress progress(script.files.size());
    if (!WriteCabinet(script, error, &progress)) {
        Report(ddf, error.line, error.message);
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    try {
        return Run(argc, argv);
    } catch (...) {
        std::fprintf(stderr, "makecab: unexpected failure (out of memory?)\n");
        return 1;
    }
}
