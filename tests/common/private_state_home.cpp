#include "tests/common/private_state_home.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<QTemporaryDir> newStateHome()
{
    auto stateHome = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/quillmere-state-XXXXXX"));
    if (!stateHome->isValid()) {
        std::fprintf(stderr, "cannot make a private XDG_STATE_HOME\n");
        std::exit(1);
    }
    qputenv("XDG_STATE_HOME", stateHome->path().toLocal8Bit());
    return stateHome;
}

class StateHomePerTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { stateHome = newStateHome(); }
    void OnTestEnd(const ::testing::TestInfo &) override { stateHome.reset(); }

    std::unique_ptr<QTemporaryDir> stateHome;
};

} // namespace

void usePrivateStateHome()
{
    static const std::unique_ptr<QTemporaryDir> stateHome = newStateHome();
}

void usePrivateStateHomeForEachTest()
{
    usePrivateStateHome();
    ::testing::UnitTest::GetInstance()->listeners().Append(new StateHomePerTest);
}
