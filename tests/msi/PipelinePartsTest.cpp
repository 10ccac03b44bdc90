// Parts of the package build on their own: key allocation and the
// transaction's publishing of a package with its cabinets.
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
        {"reserved names are never given", {L"TARGETDIR"}, {L"TargetDir", L"targetdir"}, {L"TargetDir1", L"targetdir2"}},
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
        const std::string failure = transaction.Publish({{builtCabinet, cabinet}});
        if (c.cabinetMade) {
            EXPECT_EQ("", failure) << c.what;
            EXPECT_EQ("new package", ReadFileBytes(package)) << c.what;
            EXPECT_EQ("new cabinet", ReadFileBytes(cabinet)) << c.what;
            EXPECT_FALSE(PathExists(built)) << c.what;
        } else {
            EXPECT_EQ("CMSIHandler::BuildMSI: Unable to replace " + temp.Utf8() + "\\Product1.cab (error 2)", failure)
                << c.what;
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
