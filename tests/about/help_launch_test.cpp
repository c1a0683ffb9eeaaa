#include "about/help_launch.h"
#include "tests/common/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QWidget>

namespace {

struct FolderAndPath {
    const char *name;
    const char *programFolder;
    const char *helpPath;
};

class HelpPathFolders : public ::testing::TestWithParam<FolderAndPath> {};

TEST_P(HelpPathFolders, JoinsTheFolderAndTheGuideNameAsGiven)
{
    EXPECT_EQ(helpDocumentPath(QString::fromUtf8(GetParam().programFolder)), QString::fromUtf8(GetParam().helpPath));
}

INSTANTIATE_TEST_SUITE_P(
    HelpLaunch, HelpPathFolders,
    ::testing::Values(FolderAndPath{"PlainFolder", "/opt/quillmere/bin", "/opt/quillmere/bin/软件使用说明.chm"},
                      FolderAndPath{"RootFolder", "/", "//软件使用说明.chm"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(HelpLaunch, EachClickHandsTheGuideBesideTheExecutableToTheDesktopOnce)
{
    ScriptedDialogs dialogs;
    QWidget owner;
    const QString besideExecutable = QCoreApplication::applicationDirPath() + QStringLiteral("/软件使用说明.chm");

    openHelpDocument(&owner, dialogs);
    EXPECT_EQ(dialogs.launched, QStringList{besideExecutable});

    openHelpDocument(&owner, dialogs);
    EXPECT_EQ(dialogs.launched, QStringList({besideExecutable, besideExecutable}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

} // namespace
