#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "kestrelfind.h"

#include <QApplication>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (ctest's discovery) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    kestrel::test::PrepareGuiTestEnvironment();
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    StopKestrelfind(nullptr);
    return result;
}
