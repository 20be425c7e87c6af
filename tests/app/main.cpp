// The program's test main: the program's own application object and set-up, then the tests.

#include "app/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // The test discovery at build time runs without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TZelwanApplication app(argc, argv);
    InitApplication();
    return RUN_ALL_TESTS();
}
