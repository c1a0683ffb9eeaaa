#include "tests/common/private_state_home.h"

#include <gtest/gtest.h>

#include <QApplication>

// Widget tests run against a real QApplication; without a display they use
// the offscreen platform so CI needs no X server for them. Each test keeps
// its run records in a state folder of its own.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    usePrivateStateHomeForEachTest();
    return RUN_ALL_TESTS();
}
