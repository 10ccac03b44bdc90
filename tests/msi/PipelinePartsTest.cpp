// Parts of the package build on their own: key allocation, the cabinet
// maker's directive files and the transaction's publishing of a package with
// its cabinets, and the page cache under the stored cabinets.
#include "common/Utf.h"
#include "msi/CabinetDirectives.h"
#include "msi/CabinetStore.h"
#include "msi/PackageTransaction.h"
#include "msi/PagedLockBytes.h"
#include "msi/TableKeys.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>
#include <utility>
#include <vector>

TEST(UniqueKeys, FirstNameItselfThenNumberedWithoutRegardToCase)
{
    struct Case
    {
        const char* what;
        std::vector<std::wstring> reserved;
        std::vector<std::wstring> asked;
        std::vector<std::wstring> given;
    };
    const Case cases[] = {
        {"new names stay", {}, {L"a.txt", L"b.txt"}, {L"a.txt", L"b.txt"}},
        {"case does not make a name new", {}, {L"Same", L"SAME", L"same"}, {L"Same", L"SAME1", L"same2"}},
        {"a taken number is passed over", {}, {L"x1", L"x", L"x"}, {L"x1", L"x", L"x2"}},
        {"reserved names are never given",
         {L"TARGETDIR"},
         {L"TargetDir", L"targetdir"},
         {L"TargetDir1", L"targetdir2"}},
    };
    for (const Case& c : cases) {
        CUniqueKeys keys;
        for (const std::wstring& name : c.reserved)
            keys.Reserve(name);
        std::vector<std::wstring> given;
        for (const std::wstring& name : c.asked)
            given.push_back(keys.Make(name));
        EXPECT_EQ(c.given, given) << c.what;
    }
}

TEST(PackageTransaction, PublishMovesEverythingOrPutsTheEarlierPackageBack)
{
    struct Case
    {
        const char* what;
        bool cabinetMade; // false: the cabinet's move fails (its file is missing)
    };
    for (const Case c : {Case{"complete", true}, Case{"a cabinet missing", false}}) {
        TempFolder temp;
        const std::wstring package = temp / L"Product.msi";
        const std::wstring cabinet = temp / L"Product1.cab";
        const std::wstring built = temp / L"~build.msi.tmp";
        const std::wstring builtCabinet = temp / L"~build-Product1.cab.tmp";
        WriteFileBytes(package, "earlier package");
        WriteFileBytes(cabinet, "earlier cabinet");
        WriteFileBytes(built, "new package");
        if (c.cabinetMade)
            WriteFileBytes(builtCabinet, "new cabinet");

        CPackageTransaction transaction(package, built, temp.Path());
        const Result published = transaction.Publish({{builtCabinet, cabinet}});
        const std::string failure = ToUtf8(published.Text());
        if (c.cabinetMade) {
            EXPECT_TRUE(published) << c.what;
            EXPECT_EQ("", failure) << c.what;
            EXPECT_EQ("new package", ReadFileBytes(package)) << c.what;
            EXPECT_EQ("new cabinet", ReadFileBytes(cabinet)) << c.what;
            EXPECT_FALSE(PathExists(built)) << c.what;
        } else {
            EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), published.Code()) << c.what;
            EXPECT_TRUE(failure.starts_with("CMSIHandler::BuildMSI: Unable to replace " + temp.Utf8() +
                                            "\\Product1.cab (error 2: ") &&
                        failure.ends_with(")"))
                << failure;
            EXPECT_EQ("earlier package", ReadFileBytes(package)) << c.what;
            EXPECT_EQ("earlier cabinet", ReadFileBytes(cabinet)) << c.what;
            transaction.Discard();
            EXPECT_FALSE(PathExists(built)) << c.what << ": the temporary file goes with the failed build";
        }
        // Nothing moved aside is left behind.
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((temp / L"*.~old-*").c_str(), &found);
        EXPECT_EQ(INVALID_HANDLE_VALUE, search) << c.what;
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
    }
}

TEST(CabinetDirectives, OneFilePerCabinetInTheCabinetMakersEncoding)
{
    TempFolder temp;
    std::vector<PackedFile> files(3);
    files[0].realPath = L"C:\\data\\a.txt";
    files[0].key = L"a.txt";
    files[1].realPath = L"C:\\data\\O'Brien.txt";
    files[1].key = L"O_Brien.txt";
    files[2].realPath = L"C:\\data\\big.bin";
    files[2].key = L"big.bin";
    CabinetPlan plan;
    plan.cabinets = {{1, 2, 0, 2, 1000}, {2, 3, 2, 1, 700000000ull}};
    DirectiveFiles target;
    target.packagesFolder = L"C:\\out";
    target.singleDdf = temp / L"MSIProject.ddf";
    target.ddfs = {temp / L"MSIProject.ddf", temp / L"MSIProject2.ddf"};
    target.cabinetFiles = {L"C:\\out\\MSIProject.cab", L"C:\\out\\~build-1-data2.cab.tmp"};
    for (const bool utf8 : {true, false}) {
        target.utf8 = utf8;
        ASSERT_TRUE(WriteDirectiveFiles(target, plan, files));
        const struct
        {
            std::string text;
            const char* maxDisk;
            const char* cabinet;
            const char* fileLines;
        } written[] = {
            {ReadFileBytes(target.ddfs[0]), "CDROM", "MSIProject.cab",
             "\n'C:\\data\\a.txt' 'a.txt'\n\"C:\\data\\O'Brien.txt\" 'O_Brien.txt'\n"},
            // Larger than a CD: the cabinet maker must not split it.
            {ReadFileBytes(target.ddfs[1]), "0", "~build-1-data2.cab.tmp", "\n'C:\\data\\big.bin' 'big.bin'\n"},
        };
        for (const auto& w : written) {
            EXPECT_EQ(utf8, w.text.starts_with("\xEF\xBB\xBF.Option EXPLICIT\n")) << w.text;
            EXPECT_NE(std::string::npos, w.text.find(std::string(".Set MaxDiskSize = ") + w.maxDisk + "\n")) << w.text;
            EXPECT_NE(std::string::npos, w.text.find(".Set DiskDirectoryTemplate = 'C:\\out'\n")) << w.text;
            EXPECT_NE(std::string::npos, w.text.find(std::string(".Set CabinetNameTemplate = '") + w.cabinet + "'\n"))
                << w.text;
            EXPECT_TRUE(w.text.ends_with(std::string(".Set UniqueFiles=off") + w.fileLines)) << w.text;
        }
    }
    // Without files: the header alone, in the single directive file.
    target.ddfs.clear();
    target.cabinetFiles.clear();
    target.utf8 = true;
    ASSERT_TRUE(WriteDirectiveFiles(target, CabinetPlan{}, {}));
    const std::string alone = ReadFileBytes(target.singleDdf);
    EXPECT_NE(std::string::npos, alone.find(".Set CabinetNameTemplate = 'MSIProject.cab'\n")) << alone;
    EXPECT_EQ(std::string::npos, alone.find("' '")) << "no file line: " << alone;
    // A folder that does not exist cannot take the directive file.
    target.singleDdf = temp / L"missing\\MSIProject.ddf";
    EXPECT_FALSE(WriteDirectiveFiles(target, CabinetPlan{}, {}));
}

// Reads and writes through a cache of two 512-byte pages, so that most steps
// evict a page: the file must end up as the same steps make a plain array.
TEST(PagedLockBytes, FileEndsAsTheWritesLeftItWhateverThePagesHeld)
{
    struct Step
    {
        char what; // 'w' write, 'r' read back, 's' set size, 'f' flush
        std::uint64_t at;
        std::uint32_t count; // bytes written or read; the size for 's'
    };
    struct Case
    {
        const char* what;
        std::uint32_t start; // bytes the file holds before
        std::vector<Step> steps;
    };
    const Case cases[] = {
        {"writes inside the file", 2000, {{'w', 10, 30}, {'w', 1500, 600}, {'r', 0, 2000}}},
        {"a write across three pages", 100, {{'w', 500, 1100}, {'r', 400, 1300}}},
        {"the file grows at its end, one sector at a time",
         0,
         {{'w', 0, 512}, {'w', 512, 512}, {'w', 1024, 512}, {'w', 1536, 4}, {'w', 4, 4}, {'r', 0, 1540}}},
        {"a write past the end leaves zeros before it", 300, {{'w', 1400, 10}, {'r', 0, 1410}}},
        {"shrunk, then grown: zeros past the cut", 1800, {{'s', 0, 700}, {'f', 0, 0}, {'s', 0, 1200}, {'r', 0, 1200}}},
        {"a read past the end stops at it", 600, {{'r', 500, 400}}},
        {"flushed twice between writes", 0, {{'w', 0, 900}, {'f', 0, 0}, {'w', 100, 50}, {'f', 0, 0}}},
    };
    for (const Case& c : cases) {
        TempFolder temp;
        const std::wstring path = temp / L"lockbytes.bin";
        std::string model(c.start, '\0');
        for (std::size_t i = 0; i < model.size(); ++i)
            model[i] = static_cast<char>('a' + i % 26);
        WriteFileBytes(path, model);
        DWORD error = ERROR_SUCCESS;
        CPagedLockBytes* bytes = CPagedLockBytes::Open(path, error, 512, 2);
        ASSERT_NE(nullptr, bytes) << c.what << ": error " << error;
        char fill = '0';
        for (const Step& step : c.steps) {
            ULARGE_INTEGER at{};
            at.QuadPart = step.at;
            if (step.what == 'w') {
                const std::string piece(step.count, fill++);
                ULONG written = 0;
                EXPECT_EQ(S_OK, bytes->WriteAt(at, piece.data(), step.count, &written)) << c.what;
                EXPECT_EQ(step.count, written) << c.what;
                if (model.size() < step.at + step.count)
                    model.resize(step.at + step.count, '\0');
                model.replace(step.at, step.count, piece);
            } else if (step.what == 'r') {
                std::string got(step.count, '?');
                ULONG read = 0;
                EXPECT_EQ(S_OK, bytes->ReadAt(at, got.data(), step.count, &read)) << c.what;
                const std::string expected = step.at < model.size() ? model.substr(step.at, step.count) : "";
                got.resize(read);
                EXPECT_EQ(expected, got) << c.what;
            } else if (step.what == 's') {
                ULARGE_INTEGER size{};
                size.QuadPart = step.count;
                EXPECT_EQ(S_OK, bytes->SetSize(size)) << c.what;
                model.resize(step.count, '\0');
            } else {
                EXPECT_EQ(S_OK, bytes->Flush()) << c.what;
            }
        }
        STATSTG stat{};
        EXPECT_EQ(S_OK, bytes->Stat(&stat, STATFLAG_NONAME)) << c.what;
        EXPECT_EQ(model.size(), stat.cbSize.QuadPart) << c.what;
        EXPECT_EQ(S_OK, bytes->Flush()) << c.what;
        EXPECT_EQ(0u, bytes->Release()) << c.what;
        EXPECT_EQ(model, ReadFileBytes(path)) << c.what;
    }
    DWORD error = ERROR_SUCCESS;
    TempFolder temp;
    EXPECT_EQ(nullptr, CPagedLockBytes::Open(temp / L"missing.bin", error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
}

// A stream larger than the page cache goes into a copy of the template and
// reads back whole; a package that cannot hold it fails naming it.
TEST(CabinetStore, StreamsReadBackWholeOrTheFailureNamesThePackage)
{
    struct Case
    {
        const char* what;
        std::string package; // "template", "text" (not a compound file) or "missing"
        bool sourceMade;
        HRESULT code; // S_OK: stored
        std::string textStart;
    };
    const Case cases[] = {
        {"stored", "template", true, S_OK, ""},
        {"not a compound file", "text", true, STG_E_INVALIDHEADER, "Unable to open "},
        {"no package", "missing", true, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "Unable to open "},
        {"no cabinet", "template", false, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "Unable to read "},
    };
    std::string cabinet(9u << 20, '\0');
    for (std::size_t i = 0; i < cabinet.size(); ++i)
        cabinet[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (const Case& c : cases) {
        TempFolder temp;
        const std::wstring package = temp / L"Product.msi";
        const std::wstring source = temp / L"Product.cab";
        if (c.package == "template")
            ASSERT_TRUE(CopyFileW((ExecutableFolder() + L"\\..\\bin\\Blank.msi").c_str(), package.c_str(), FALSE));
        else if (c.package == "text")
            WriteFileBytes(package, std::string(4096, 'x'));
        if (c.sourceMade)
            WriteFileBytes(source, cabinet);
        const Result stored = StoreStreams(package, {{L"Product.cab", source}});
        EXPECT_EQ(static_cast<DWORD>(c.code), stored.Code()) << c.what;
        EXPECT_TRUE(ToUtf8(stored.Text()).starts_with(c.textStart)) << c.what << ": " << ToUtf8(stored.Text());
        if (c.code != S_OK)
            continue;
        IStorage* storage = nullptr;
        ASSERT_EQ(S_OK, StgOpenStorage(package.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &storage));
        IStream* stream = nullptr;
        EXPECT_EQ(S_OK, storage->OpenStream(MsiStreamStorageName(L"Product.cab").c_str(), nullptr,
                                            STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &stream));
        std::string back(cabinet.size() + 1, '?');
        ULONG got = 0;
        if (stream) {
            EXPECT_EQ(S_OK, stream->Read(back.data(), static_cast<ULONG>(back.size()), &got));
            stream->Release();
        }
        storage->Release();
        back.resize(got);
        EXPECT_TRUE(back == cabinet) << c.what << ": " << got << " bytes read back";
    }
}
