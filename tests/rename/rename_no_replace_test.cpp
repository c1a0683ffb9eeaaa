#include "rename/rename_no_replace.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Why the rename failed; Other for one that did not fail, which no case here
// expects.
RenameError errorOf(const RenameResult &result)
{
    return result.ok() ? RenameError::Other : result.error().error;
}

// Where the file system refuses the no-replace flag, files move by link.
TEST(RenameNoReplace, LinkFallbackMovesOnlyFilesAndNeverReplaces)
{
    TempTree tree;
    tree.makeFile("a", "A");
    tree.makeFile("b", "B");
    tree.makeFolder("d");

    EXPECT_EQ(errorOf(renameFileByLink(tree.path("a"), tree.path("b"))), RenameError::TargetExists);
    EXPECT_FALSE(renameFileByLink(tree.path("d"), tree.path("e")).ok());
    EXPECT_TRUE(renameFileByLink(tree.path("a"), tree.path("c")).ok());

    EXPECT_EQ(folderListing(tree.root()), QStringList({"b=B", "c=A", "d/"}));
    struct stat status {};
    ASSERT_EQ(lstat(QFile::encodeName(tree.path("c")).constData(), &status), 0);
    EXPECT_EQ(status.st_nlink, 1u);
}

// What a run cut off left at a new name goes only while it is an empty file
// or folder made since the run began; content, an older entry, or another
// kind of entry stays. Told by the entry made, a claim goes whatever time
// the volume stamped on it, and any other entry stays.
TEST(RenameNoReplace, LeftClaimGoesOnlyWhileEmptyAndNewer)
{
    TempTree tree;
    tree.makeFile("older");
    const QDateTime runStarted = QDateTime::currentDateTime().addSecs(1);
    const QDateTime claimsMade = QDateTime::currentDateTime();
    tree.makeFile("empty-file");
    tree.makeFolder("empty-folder");
    tree.makeFile("written", "W");
    tree.makeFile("filled/x", "X");
    ASSERT_EQ(symlink("written", QFile::encodeName(tree.path("link")).constData()), 0);

    EXPECT_TRUE(removeLeftClaim(tree.path("empty-file"), claimsMade).ok());
    EXPECT_TRUE(removeLeftClaim(tree.path("empty-folder"), claimsMade).ok());
    for (const char *name : {"written", "filled", "link"})
        EXPECT_EQ(errorOf(removeLeftClaim(tree.path(name), claimsMade)), RenameError::TargetExists) << name;
    EXPECT_EQ(errorOf(removeLeftClaim(tree.path("older"), runStarted)), RenameError::TargetExists);
    EXPECT_EQ(errorOf(removeLeftClaim(tree.path("empty-file"), claimsMade)), RenameError::SourceMissing);
    EXPECT_EQ(treeListing(tree.root()), QStringList({"filled/", "filled/x=X", "link=W", "older=", "written=W"}));

    const EntryId older = *entryIdOf(tree.path("older"));
    const EntryId written = *entryIdOf(tree.path("written"));
    EXPECT_EQ(errorOf(removeLeftClaim(tree.path("older"), written)), RenameError::TargetExists);
    EXPECT_EQ(errorOf(removeLeftClaim(tree.path("written"), written)), RenameError::TargetExists);
    EXPECT_EQ(errorOf(removeLeftClaim(tree.path("filled"), *entryIdOf(tree.path("filled")))), RenameError::TargetExists);
    EXPECT_TRUE(removeLeftClaim(tree.path("older"), older).ok());
    EXPECT_EQ(treeListing(tree.root()), QStringList({"filled/", "filled/x=X", "link=W", "written=W"}));
}

// Where links are refused too, the new name is claimed first. A claim never
// lands on a taken name, not even an empty folder, and a refusal leaves no
// claim behind.
TEST(RenameNoReplace, ReservationMovesAnyEntryAndNeverReplaces)
{
    TempTree tree;
    tree.makeFile("a", "A");
    tree.makeFile("b", "B");
    tree.makeFile("d/x", "X");
    tree.makeFolder("empty");
    ASSERT_EQ(symlink("a", QFile::encodeName(tree.path("l")).constData()), 0);

    for (const auto &[from, to] : {std::pair("a", "b"), std::pair("a", "empty"), std::pair("d", "empty"), std::pair("d", "b")}) {
        SCOPED_TRACE(std::string(from) + " onto " + to);
        EXPECT_EQ(errorOf(renameByReservation(tree.path(from), tree.path(to))),
                  RenameError::TargetExists);
    }
    EXPECT_EQ(errorOf(renameByReservation(tree.path("gone"), tree.path("n"))),
              RenameError::SourceMissing);
    EXPECT_EQ(errorOf(renameByReservation(tree.path("d"), tree.path("d/inside"))),
              RenameError::InvalidName);
    EXPECT_EQ(treeListing(tree.root()), QStringList({"a=A", "b=B", "d/", "d/x=X", "empty/", "l=A"}));

    EXPECT_TRUE(renameByReservation(tree.path("a"), tree.path("c")).ok());
    EXPECT_TRUE(renameByReservation(tree.path("d"), tree.path("图纸")).ok());
    EXPECT_TRUE(renameByReservation(tree.path("l"), tree.path("m")).ok());
    EXPECT_EQ(treeListing(tree.root()), QStringList({"b=B", "c=A", "empty/", "图纸/", "图纸/x=X"}));
    EXPECT_EQ(QFileInfo(tree.path("m")).symLinkTarget(), tree.path("a"));
}

} // namespace
