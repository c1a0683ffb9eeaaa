#include "tests/common/run_widget_tests.h"

#include "tests/common/private_state_home.h"

#include <QApplication>

#include <gtest/gtest.h>

int runWidgetTests(int &argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    usePrivateStateHomeForEachTest();
    return RUN_ALL_TESTS();
}
