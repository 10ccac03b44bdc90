// The cabinet maker: its DDF reader, and makecab.exe run as the MSI build runs
// it, with the cabinet read back through cabinet.dll's FDI.
#include <windows.h>
#include <fcntl.h>
#include <fdi.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "tests/support/TestSupport.h"
#include "tools/makecab/CabinetWriter.h"
#include "tools/makecab/Ddf.h"
#include "tools/makecab/FciGuard.h"

namespace {

const char kBuildHeader[] =
    ".Option EXPLICIT\n.Set Cabinet = off\n.Set Compress = off\n.Set MaxDiskSize = CDROM\n"
    ".Set ReservePerCabinetSize = 6144\n.Set DiskDirectoryTemplate = 'C:\\Out\\Packages'\n"
    ".Set CompressionType = MSZIP\n.Set CompressionLevel = 7\n.Set CompressionMemory = 21\n"
    ".Set CabinetNameTemplate = 'MSIProject.cab'\n.Set Cabinet=on\n.Set Compress=on\n.Set UniqueFiles=off\n";

bool Parse(const std::wstring& text, DdfScript& script, DdfError& error)
{
    return ParseDdf(text, script, error);
}

TEST(DdfTest, ReadsTheBuildsHeaderAndFileLines)
{
    DdfScript script;
    DdfError error;
    const std::wstring text = FromUtf8(kBuildHeader) +
                              L"'C:\\Program Files\\App\\a b.exe' 'a b.exe'\n'C:\\App\\setup.ini' 'setup.ini1'\n";
    ASSERT_TRUE(Parse(text, script, error)) << ToUtf8(error.message);
    EXPECT_EQ(L"C:\\Out\\Packages\\MSIProject.cab", script.CabinetPath());
    EXPECT_EQ(6144u, script.reserveCabinet);
    ASSERT_EQ(2u, script.files.size());
    EXPECT_EQ(L"C:\\Program Files\\App\\a b.exe", script.files[0].source);
    EXPECT_EQ(L"a b.exe", script.files[0].name);
    EXPECT_EQ(14, script.files[0].line);
    EXPECT_TRUE(script.files[0].compress);
    EXPECT_EQ(L"setup.ini1", script.files[1].name);
}

TEST(DdfTest, QuotingCommentsAndDefaults)
{
    DdfScript script;
    DdfError error;
    const std::wstring text =
        L"; a comment line\r\n"
        L".Set DiskDirectory1=\"D:\\Cabs\"   ; trailing comment\r\n"
        L".Set CabinetNameTemplate=data*.cab\r\n"
        L"\"C:\\x\\it's.txt\" \"it's.txt\" /inf=no\r\n"
        L"'C:\\x\\O''Brien.txt'\r\n"
        L"C:\\x\\bare.txt ; no name given\r\n"
        L".Set Compress=off\r\n"
        L".New Folder\r\n"
        L"C:\\x\\stored.bin\r\n";
    ASSERT_TRUE(Parse(text, script, error)) << ToUtf8(error.message);
    EXPECT_EQ(L"D:\\Cabs\\data1.cab", script.CabinetPath());
    ASSERT_EQ(4u, script.files.size());
    EXPECT_EQ(L"it's.txt", script.files[0].name);
    EXPECT_EQ(L"C:\\x\\O'Brien.txt", script.files[1].source);
    EXPECT_EQ(L"O'Brien.txt", script.files[1].name);
    EXPECT_EQ(L"bare.txt", script.files[2].name);
    EXPECT_TRUE(script.files[2].compress);
    EXPECT_FALSE(script.files[2].newFolder);
    EXPECT_FALSE(script.files[3].compress);
    EXPECT_TRUE(script.files[3].newFolder);
}

TEST(DdfTest, RefusesWhatItCannotWriteAndNamesTheLine)
{
    struct Case
    {
        const wchar_t* text;
        int line;
    };
    const Case cases[] = {
        {L".Option EXPLICIT\n\n'C:\\a.txt' 'a.txt\n", 3},                 // unclosed quote
        {L".Set CompressionType = LZX\n", 1},                             // other compression
        {L"C:\\a.txt\n.New Cabinet\n", 2},                                // a second cabinet
        {L".Set Cabinet=off\nC:\\a.txt\n", 2},                            // files outside a cabinet
        {L"C:\\a\\x.txt\nC:\\b\\X.TXT\n", 2},                             // UniqueFiles is on by default
        {L".Set ReservePerCabinetSize = 6143\n", 1},                      // not a multiple of 4
        {L".Define x=1\n", 1},                                            // unknown directive
        {L"'C:\\a.txt' 'a.txt' extra\n", 1},                              // a third name
        {L".Set Compress\n", 1},                                          // no '='
    };
    for (const Case& c : cases) {
        DdfScript script;
        DdfError error;
        EXPECT_FALSE(Parse(c.text, script, error)) << ToUtf8(c.text);
        EXPECT_EQ(c.line, error.line) << ToUtf8(c.text);
        EXPECT_FALSE(error.message.empty());
    }
    // Settings that do not change the one cabinet are taken as they are.
    DdfScript script;
    DdfError error;
    EXPECT_TRUE(Parse(L".Set MaxDiskSize=0\n.Set RptFileName=nul\n.Set SomethingNew=1\n.Set UniqueFiles=off\n"
                      L"C:\\a\\x.txt\nC:\\b\\X.TXT\n",
                      script, error))
        << ToUtf8(error.message);
    EXPECT_EQ(2u, script.files.size());
}

TEST(DdfTest, DecodesUtf16Utf8AndAnsi)
{
    const std::string utf16("\xFF\xFE" "a\0\xE9\0", 6);
    EXPECT_EQ(L"a\u00E9", DecodeDdfText(utf16));
    EXPECT_EQ(L"\u00E9\u4E2D", DecodeDdfText("\xEF\xBB\xBF\xC3\xA9\xE4\xB8\xAD"));
    EXPECT_EQ(L"\u00E9\u4E2D", DecodeDdfText("\xC3\xA9\xE4\xB8\xAD"));
    // Not UTF-8: read in the ANSI code page, as a DDF written by 8-bit code is.
    wchar_t ansi[4] = {};
    ASSERT_EQ(1, MultiByteToWideChar(CP_ACP, 0, "\xE9", 1, ansi, 4));
    EXPECT_EQ(std::wstring(ansi, 1), DecodeDdfText("\xE9"));
}

// --- makecab.exe ----------------------------------------------------------

struct RunResult
{
    DWORD exitCode = 0xFFFFFFFF;
    std::string errors;
};

RunResult RunMakecab(const TempFolder& folder, const std::wstring& ddf)
{
    RunResult result;
    const std::wstring exe = ExecutableFolder() + L"\\..\\bin\\makecab.exe";
    static int runs = 0;
    const std::wstring errPath = folder / (L"stderr" + std::to_wstring(++runs) + L".txt");
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    UniqueFile err(CreateFileW(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr));
    if (!err) {
        result.errors = "cannot create the output file: " + std::to_string(GetLastError());
        return result;
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdError = err.get();
    si.hStdOutput = err.get();
    std::wstring command = L"\"" + exe + L"\" /f \"" + ddf + L"\"";
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        folder.Path().c_str(), &si, &pi)) {
        result.errors = "cannot start makecab: " + std::to_string(GetLastError());
        return result;
    }
    UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    GetExitCodeProcess(process.get(), &result.exitCode);
    err.reset();
    result.errors = ReadFileBytes(errPath);
    return result;
}

// FDI, reading into memory. Its file callbacks take no context, so the test
// keeps the extracted files in one place.
struct Extracted
{
    std::string bytes;
    USHORT attribs = 0;
    size_t position = 0; // in the cabinet, from 0
};
std::map<std::string, Extracted>* g_extracted = nullptr;
std::string g_current;

FNALLOC(FdiAlloc) { return std::malloc(cb); }
FNFREE(FdiFree) { std::free(pv); }
FNOPEN(FdiOpen)
{
    (void)oflag, (void)pmode;
    HANDLE h = CreateFileW(FromUtf8(pszFile).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<INT_PTR>(h);
}
FNREAD(FdiRead)
{
    DWORD got = 0;
    return ReadFile(reinterpret_cast<HANDLE>(hf), pv, cb, &got, nullptr) ? got : static_cast<UINT>(-1);
}
FNWRITE(FdiWrite)
{
    (void)hf;
    (*g_extracted)[g_current].bytes.append(static_cast<const char*>(pv), cb);
    return cb;
}
FNCLOSE(FdiClose) { return CloseHandle(reinterpret_cast<HANDLE>(hf)) ? 0 : -1; }
FNSEEK(FdiSeek)
{
    return static_cast<__LONG32>(SetFilePointer(reinterpret_cast<HANDLE>(hf), dist, nullptr, static_cast<DWORD>(seektype)));
}
FNFDINOTIFY(FdiNotify)
{
    if (fdint == fdintCOPY_FILE) {
        g_current = pfdin->psz1;
        (*g_extracted)[g_current].attribs = pfdin->attribs;
        (*g_extracted)[g_current].position = g_extracted->size() - 1;
        return 1; // any non-zero, non -1 handle; writes go to memory
    }
    if (fdint == fdintCLOSE_FILE_INFO)
        return TRUE;
    return 0;
}

bool ExtractAll(const std::wstring& cabinet, std::map<std::string, Extracted>& files)
{
    g_extracted = &files;
    ERF erf{};
    HFDI fdi = FDICreate(FdiAlloc, FdiFree, FdiOpen, FdiRead, FdiWrite, FdiClose, FdiSeek, cpuUNKNOWN, &erf);
    if (!fdi)
        return false;
    const size_t slash = cabinet.find_last_of(L'\\');
    std::string name = ToUtf8(cabinet.substr(slash + 1));
    std::string path = ToUtf8(cabinet.substr(0, slash + 1));
    const BOOL ok = FDICopy(fdi, name.data(), path.data(), 0, FdiNotify, nullptr, nullptr);
    FDIDestroy(fdi);
    g_extracted = nullptr;
    return ok != FALSE;
}

std::string RandomBytes(size_t n)
{
    std::string bytes(n, '\0');
    unsigned x = 2463534242u;
    for (char& c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x >> 24);
    }
    return bytes;
}

std::wstring Ddf(const TempFolder& folder, const std::string& lines)
{
    std::string header = kBuildHeader;
    const std::string out = ToUtf8(folder.Path()) + "\\Packages";
    header.replace(header.find("C:\\Out\\Packages"), 15, out);
    const std::wstring path = folder / L"MSIProject.ddf";
    WriteFileBytes(path, header + lines);
    return path;
}

std::string Line(const std::wstring& source, const std::wstring& name)
{
    return "'" + ToUtf8(source) + "' '" + ToUtf8(name) + "'\n";
}

TEST(MakecabTest, StoresEveryFileByteForByte)
{
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 4000; ++i)
        text += "a line of very compressible text " + std::to_string(i % 10) + "\r\n";
    const std::string random = RandomBytes(200000);
    const std::wstring nonAscii = L"r\u00E9sum\u00E9 \u4E2D\u6587.txt";
    CreateDirectoryW((folder / L"src").c_str(), nullptr);
    CreateDirectoryW((folder / L"src\\nested").c_str(), nullptr);
    CreateDirectoryW((folder / L"src\\nested\\deeper").c_str(), nullptr);
    WriteFileBytes(folder / L"src\\text.txt", text);
    WriteFileBytes(folder / L"src\\random.bin", random);
    WriteFileBytes(folder / L"src\\empty.dat", "");
    WriteFileBytes(folder / (L"src\\" + nonAscii), "non-ASCII name\r\n");
    WriteFileBytes(folder / L"src\\nested\\deeper\\text.txt", "same name, other folder");
    const std::string image = "MZ" + text.substr(0, 3000);
    WriteFileBytes(folder / L"src\\tool.exe", image);

    const std::wstring ddf =
        Ddf(folder, Line(folder / L"src\\text.txt", L"text.txt") + Line(folder / L"src\\random.bin", L"random.bin") +
                        Line(folder / L"src\\empty.dat", L"empty.dat") +
                        Line(folder / (L"src\\" + nonAscii), nonAscii) +
                        Line(folder / L"src\\nested\\deeper\\text.txt", L"text.txt1") +
                        Line(folder / L"src\\tool.exe", L"tool.exe"));
    const RunResult run = RunMakecab(folder, ddf);
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    // Progress lines only, the last one for the whole cabinet.
    EXPECT_EQ(std::string::npos, run.errors.find("makecab:")) << run.errors;
    EXPECT_TRUE(run.errors.ends_with("Packed 6 of 6 files, " +
                                     std::to_string(text.size() + random.size() + 16 + 23 + image.size()) +
                                     " bytes\r\n"))
        << run.errors;
    // The random bytes do not compress: stored, behind the others. The image is told.
    EXPECT_NE(std::string::npos, run.errors.find("\nStored 1\r\n")) << run.errors;
    EXPECT_EQ(std::string::npos, run.errors.find("Stored 0")) << run.errors;
    EXPECT_NE(std::string::npos, run.errors.find("\nImage 5\r\n")) << run.errors;
    EXPECT_EQ(std::string::npos, run.errors.find("Image 0")) << run.errors;
    // The digest of every file read, as msi.dll counts it.
    const std::wstring sources[] = {folder / L"src\\text.txt", folder / L"src\\random.bin", L"",
                                    folder / (L"src\\" + nonAscii), folder / L"src\\nested\\deeper\\text.txt"};
    for (int i = 0; i < 5; ++i) {
        if (sources[i].empty())
            continue;
        MSIFILEHASHINFO hash{};
        hash.dwFileHashInfoSize = sizeof hash;
        ASSERT_EQ(ERROR_SUCCESS, MsiGetFileHashW(sources[i].c_str(), 0, &hash));
        std::string line = "Hash " + std::to_string(i);
        for (unsigned long part : hash.dwData)
            line += " " + std::to_string(part);
        EXPECT_NE(std::string::npos, run.errors.find(line + "\r\n")) << line << "\n" << run.errors;
    }

    const std::wstring cabinet = folder / L"Packages\\MSIProject.cab";
    const std::string cab = ReadFileBytes(cabinet);
    ASSERT_GT(cab.size(), 36u);
    EXPECT_EQ("MSCF", cab.substr(0, 4));
    // MSZIP: the text shrinks, so the cabinet is far smaller than its contents.
    EXPECT_LT(cab.size(), random.size() + text.size() / 4);

    std::map<std::string, Extracted> files;
    ASSERT_TRUE(ExtractAll(cabinet, files));
    ASSERT_EQ(6u, files.size());
    EXPECT_EQ(text, files["text.txt"].bytes);
    EXPECT_EQ(random, files["random.bin"].bytes);
    EXPECT_EQ(image, files["tool.exe"].bytes);
    EXPECT_EQ(0u, files["text.txt"].position);
    EXPECT_EQ(4u, files["tool.exe"].position);
    EXPECT_EQ(5u, files["random.bin"].position);
    EXPECT_EQ(1u, files.count("empty.dat"));
    EXPECT_EQ("", files["empty.dat"].bytes);
    EXPECT_EQ("same name, other folder", files["text.txt1"].bytes);
    const std::string utf8 = ToUtf8(nonAscii);
    ASSERT_EQ(1u, files.count(utf8));
    EXPECT_EQ("non-ASCII name\r\n", files[utf8].bytes);
    EXPECT_EQ(_A_NAME_IS_UTF, files[utf8].attribs & _A_NAME_IS_UTF);
    EXPECT_EQ(0, files["text.txt"].attribs & _A_NAME_IS_UTF);
}

TEST(MakecabTest, OnlyBytesAsVariedAsRandomOnesAreLeftUncompressed)
{
    std::string text;
    while (text.size() < 65536)
        text += "alpha beta gamma delta " + std::to_string(text.size()) + "\r\n";
    // Machine code and tables: many values, unevenly used.
    std::string code(65536, '\0');
    const std::string random = RandomBytes(65536);
    for (size_t i = 0; i < code.size(); ++i)
        code[i] = i % 3 ? random[i] : static_cast<char>(i % 7);
    const struct
    {
        const char* what;
        std::string bytes;
        bool incompressible;
    } cases[] = {
        {"random, a whole probe", random, true},
        {"random, the least that can tell", random.substr(0, kProbeMinimum), true},
        {"random, too little to tell", random.substr(0, kProbeMinimum - 1), false},
        {"text", text, false},
        {"zeros", std::string(65536, '\0'), false},
        {"code-like", code, false},
        {"empty", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.incompressible,
                  LooksIncompressible(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()))
            << c.what;
}

TEST(MakecabTest, MissingSourceFailsNamingTheLineAndLeavesNoCabinet)
{
    TempFolder folder;
    WriteFileBytes(folder / L"here.txt", "here");
    const std::wstring missing = folder / L"not-here.txt";
    const std::wstring ddf = Ddf(folder, Line(folder / L"here.txt", L"here.txt") + Line(missing, L"not-here.txt"));
    const RunResult run = RunMakecab(folder, ddf);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("MSIProject.ddf(15)")) << run.errors;
    EXPECT_NE(std::string::npos, run.errors.find(ToUtf8(missing))) << run.errors;
    EXPECT_FALSE(PathExists(folder / L"Packages\\MSIProject.cab"));
}

TEST(MakecabTest, SourceThatIsAFolderFailsNamingTheLineAndLeavesNoCabinet)
{
    // The sources are checked as they are packed: the files before the bad
    // line are already in the cabinet when it fails, and the cabinet goes.
    TempFolder folder;
    WriteFileBytes(folder / L"first.txt", "first");
    CreateDirectoryW((folder / L"folder.txt").c_str(), nullptr);
    const std::wstring ddf =
        Ddf(folder, Line(folder / L"first.txt", L"first.txt") + Line(folder / L"folder.txt", L"folder.txt"));
    const RunResult run = RunMakecab(folder, ddf);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("MSIProject.ddf(15): source '" + ToUtf8(folder / L"folder.txt") +
                                                 "' is a folder, not a file"))
        << run.errors;
    EXPECT_FALSE(PathExists(folder / L"Packages\\MSIProject.cab"));
}

TEST(MakecabTest, UnreadableDdfFailsNamingTheLine)
{
    TempFolder folder;
    WriteFileBytes(folder / L"a.txt", "a");
    const std::wstring ddf = Ddf(folder, Line(folder / L"a.txt", L"a.txt") + "'unclosed.txt\n");
    const RunResult run = RunMakecab(folder, ddf);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("MSIProject.ddf(15): missing closing quote")) << run.errors;
    EXPECT_FALSE(PathExists(folder / L"Packages\\MSIProject.cab"));

    const RunResult none = RunMakecab(folder, folder / L"no-such.ddf");
    EXPECT_EQ(1u, none.exitCode);
    EXPECT_NE(std::string::npos, none.errors.find("no-such.ddf: cannot read the directive file")) << none.errors;
}

TEST(MakecabTest, RefusesFilesOfTwoGibibytes)
{
    TempFolder folder;
    const std::wstring big = folder / L"big.bin";
    {
        UniqueFile file(CreateFileW(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file.valid());
        LARGE_INTEGER size{};
        size.QuadPart = 0x80000000LL;
        ASSERT_TRUE(SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.get())) << "no room for a sparse 2 GiB file";
    }
    const std::wstring ddf = Ddf(folder, Line(big, L"big.bin"));
    const RunResult run = RunMakecab(folder, ddf);
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.errors.find("(14)")) << run.errors;
    EXPECT_NE(std::string::npos, run.errors.find(ToUtf8(big) + "' is 2 GiB or larger")) << run.errors;
    EXPECT_FALSE(PathExists(folder / L"Packages\\MSIProject.cab"));
}

TEST(MakecabTest, CallbackExceptionsBecomeFailuresInsteadOfUnwindingThroughCabinetDll)
{
    struct Case
    {
        const char* what;
        void (*body)();
    };
    const Case throwing[] = {
        {"out of memory", [] { throw std::bad_alloc(); }},
        {"a library error", [] { throw std::length_error("too long"); }},
        {"anything else", [] { throw 42; }},
    };
    for (const Case& c : throwing) {
        int err = 0;
        const UINT result = FciGuard(static_cast<UINT>(-1), &err, [&]() -> UINT {
            c.body();
            return 7;
        });
        EXPECT_EQ(static_cast<UINT>(-1), result) << c.what;
        EXPECT_EQ(ENOMEM, err) << c.what;
    }
    int err = 0;
    EXPECT_EQ(7u, FciGuard(static_cast<UINT>(-1), &err, [] { return 7u; }));
    EXPECT_EQ(0, err);
    EXPECT_EQ(FALSE, FciGuard(BOOL(FALSE), nullptr, []() -> BOOL { throw std::bad_alloc(); })) << "no error slot to set";
}

} // namespace

TEST(MakecabTest, EveryFailureNamesItsFileAndTheSystemsReason)
{
    TempFolder folder;
    const std::wstring big = folder / L"big.bin";
    WriteFileBytes(big, RandomBytes(200000));
    const std::wstring missing = folder / L"missing.bin";
    const std::string header = ".Set MaxDiskSize=50000\n";
    struct Case
    {
        const char* name;
        std::string lines;
        bool cabinetIsAFolder;
        std::string expected; // in the message
        const char* code;     // the system's error code in the message, if any
    };
    const std::string ddf = ToUtf8(folder / L"MSIProject.ddf");
    const std::string cabinet = ToUtf8(folder / L"Packages\\MSIProject.cab");
    const Case cases[] = {
        {"a file that cannot be read", Line(missing, L"missing.bin"), false,
         "(14): cannot open source file '" + ToUtf8(missing) + "': ", "(error 2)"},
        {"the cabinet's limit", header + Line(big, L"big.bin"), false,
         "the cabinet '" + cabinet + "' would pass its limit of 50000 bytes at '" + ToUtf8(big) + "'", nullptr},
        {"a cabinet that cannot be written", Line(big, L"big.bin"), true, ": cannot write the cabinet '" + cabinet +
         "': cannot open '" + cabinet + "': ", "(error 5)"},
        {"a bad directive file", Line(big, L"big.bin") + "'unclosed\n", false, "(15): missing closing quote", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CreateDirectoryW((folder / L"Packages").c_str(), nullptr);
        if (c.cabinetIsAFolder) {
            ASSERT_TRUE(CreateDirectoryW((folder / L"Packages\\MSIProject.cab").c_str(), nullptr));
        }
        const RunResult run = RunMakecab(folder, Ddf(folder, c.lines));
        RemoveDirectoryW((folder / L"Packages\\MSIProject.cab").c_str());
        EXPECT_EQ(1u, run.exitCode);
        EXPECT_NE(std::string::npos, run.errors.find("makecab: " + ddf)) << run.errors;
        EXPECT_NE(std::string::npos, run.errors.find(c.expected)) << run.errors;
        if (c.code) {
            // The system's text stands before its code.
            const std::size_t at = run.errors.find(c.code);
            ASSERT_NE(std::string::npos, at) << run.errors;
            EXPECT_GT(at, run.errors.find(c.expected) + c.expected.size() + 3) << run.errors;
        }
        EXPECT_FALSE(PathExists(folder / L"Packages\\MSIProject.cab"));
    }
}
