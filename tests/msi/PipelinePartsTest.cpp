// Parts of the package build on their own: key allocation, the cabinet
// maker's directive files and the transaction's publishing of a package with
// its cabinets.
#include "common/Utf.h"
#include "msi/CabinetDirectives.h"
#include "msi/PackageTransaction.h"
#include "msi/TableKeys.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

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

        CPackageTransaction transaction(package, built);
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
