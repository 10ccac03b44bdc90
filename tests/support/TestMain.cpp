// The tests' entry point: the log of the folder the tests run in is opened
// once for the whole run, as the program's entry point opens its own.
#include "common/ComScope.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    CComScope com;
    ::testing::InitGoogleTest(&argc, argv);
    ScopedFileLog log(CurrentDirectory());
    return RUN_ALL_TESTS();
}
