#include "about/help_launch.h"
#include "tests/common/scripted_dialogs.h"
#include "tests/common/temp_tree.h"

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
    [](const auto &test) { return std::string(test.param.name); });

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

// Program folders are "prefix/bin" in a scratch tree; the guide may lie
// beside the program, in the installed place, in both or in neither.
struct GuideLayout {
    const char *name;
    bool besideProgram;
    bool installed;
    bool desktopOpens;
    const char *opened; // relative to the tree; empty when nothing may launch
    const char *reported; // the path the message names; empty when no message
};

class HelpGuideLayouts : public ::testing::TestWithParam<GuideLayout> {};

TEST_P(HelpGuideLayouts, OpensTheFirstGuideFoundOrNamesItAndTheViewerOnce)
{
    const GuideLayout &layout = GetParam();
    TempTree tree;
    tree.makeFolder("prefix/bin");
    if (layout.besideProgram)
        tree.makeFile("prefix/bin/软件使用说明.chm", "guide");
    if (layout.installed)
        tree.makeFile("prefix/share/quillmere/软件使用说明.chm", "guide");
    ScriptedDialogs dialogs;
    dialogs.desktopOpens = layout.desktopOpens;
    QWidget owner;

    openHelpDocumentOf(tree.path("prefix/bin"), &owner, dialogs);

    const QString opened = QString::fromUtf8(layout.opened);
    EXPECT_EQ(dialogs.launched, opened.isEmpty() ? QStringList() : QStringList{tree.path(opened)});
    const QString reported = QString::fromUtf8(layout.reported);
    if (reported.isEmpty()) {
        EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('\n').toStdString();
    } else {
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("无法打开软件使用说明")));
        EXPECT_TRUE(dialogs.messages[0].contains(tree.path(reported))) << dialogs.messages[0].toStdString();
        EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("xchm")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    HelpLaunch, HelpGuideLayouts,
    ::testing::Values(
        GuideLayout{"BuildTree", true, false, true, "prefix/bin/软件使用说明.chm", ""},
        GuideLayout{"Installed", false, true, true, "prefix/share/quillmere/软件使用说明.chm", ""},
        GuideLayout{"BothPrefersBesideProgram", true, true, true, "prefix/bin/软件使用说明.chm", ""},
        GuideLayout{"MissingNamesTheInstalledPlace", false, false, true, "", "prefix/share/quillmere/软件使用说明.chm"},
        GuideLayout{"DesktopCannotOpen", false, true, false, "prefix/share/quillmere/软件使用说明.chm",
                    "prefix/share/quillmere/软件使用说明.chm"}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace
