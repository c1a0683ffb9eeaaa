// Step 3's renames on a file system that refuses what the local one allows.
// CTest preloads rename_fault_shim.c, which makes the system calls fail on
// cue; the files are real files in a temporary tree, some of them seen
// through a real FUSE mount.
#include "rename/rename_no_replace.h"
#include "tests/common/fuse_mount.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/windows_volume.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Sets the shim's fault for the lifetime of the object.
class RenameFault {
public:
    explicit RenameFault(const QByteArray &mode) { qputenv("QUILLMERE_RENAME_FAULT", mode); }
    ~RenameFault() { qunsetenv("QUILLMERE_RENAME_FAULT"); }
    RenameFault(const RenameFault &) = delete;
    RenameFault &operator=(const RenameFault &) = delete;
};

class RenameUnderFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.makeFile("probe", "p");
        const QByteArray probe = QFile::encodeName(tree.path("probe"));
        const QByteArray moved = QFile::encodeName(tree.path("probe2"));
        const RenameFault fault("no-safe-rename");
        errno = 0;
        const bool refused = renameat2(AT_FDCWD, probe.constData(), AT_FDCWD, moved.constData(), RENAME_NOREPLACE) != 0;
        ASSERT_TRUE(refused && errno == EINVAL) << "run through CTest, which preloads the fault library";
        QFile::remove(tree.path("probe"));
    }

    QString root() const { return tree.root() + "/"; }

    TempTree tree;
};

struct Expected {
    RowStatus status;
    RenameError error;
};

void expectOutcomes(const QList<RowOutcome> &outcomes, const QList<Expected> &expected)
{
    ASSERT_EQ(outcomes.size(), expected.size());
    for (qsizetype i = 0; i < outcomes.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(outcomes[i].rowNumber));
        EXPECT_EQ(outcomes[i].status(), expected[i].status);
        if (expected[i].status == RowStatus::FailedRename) {
            EXPECT_EQ(outcomes[i].error(), expected[i].error);
        }
    }
}

// Neither the no-replace rename nor a hard link nor a rename onto a name
// claimed first: nothing can move safely, and a taken new name must still be
// reported as taken, not as a lack of rights. File systems refuse a link with
// EPERM or with EINVAL; both mean the same.
TEST_F(RenameUnderFaults, WithoutSafeRenameNothingMovesAndTakenNamesSaySo)
{
    for (const char *name : {"a", "b", "c"})
        tree.makeFile(name, QByteArray(name).toUpper());
    tree.makeFolder("d");
    tree.makeFolder("e");
    const QStringList before = folderListing(tree.root());

    for (const QByteArray &mode : {QByteArray("no-reservation"), QByteArray("no-reservation=EINVAL")}) {
        SCOPED_TRACE(mode.toStdString());
        QList<RowOutcome> outcomes;
        {
            const RenameFault fault(mode);
            outcomes = carryOutNamingTable({{2, root(), "a", "x"}, {3, root(), "b", "c"}, {4, root(), "d", "y"},
                                              {5, root(), "e", "c"}});
        }

        const Expected noSafeWay{RowStatus::FailedRename, RenameError::NoSafeRename};
        const Expected taken{RowStatus::FailedRename, RenameError::TargetExists};
        expectOutcomes(outcomes, {noSafeWay, taken, noSafeWay, taken});
        EXPECT_EQ(folderListing(tree.root()), before);
    }
}

// Every kind of row in one run, in a new tree inside `parent` (the system's
// temporary folder when empty), with the shim's `mode` set while it runs:
// files swapped, a folder renamed with a chain inside it, a taken name, three
// folders in a cycle, a link. All rename but the taken name, which fails as
// such, and nothing is left behind.
void renameEveryKindOfRow(const QString &parent, const QByteArray &mode)
{
    SCOPED_TRACE(mode.toStdString());
    const TempTree share(parent);
    const QString top = share.root() + "/";
    for (const char *name : {"a", "b", "c", "2023 drawings/x", "2023 drawings/y", "f/1", "g/2", "h/3"})
        share.makeFile(name, QByteArray(name).toUpper());
    share.makeFolder("e");
    ASSERT_EQ(symlink("a", QFile::encodeName(share.path("l")).constData()), 0);

    QList<RowOutcome> outcomes;
    {
        const RenameFault fault(mode);
        outcomes = carryOutNamingTable({{2, top, "a", "b"}, {3, top, "b", "a"}, {4, top + "2023 drawings/", "x", "y"},
                                          {5, top + "2023 drawings/", "y", "z"}, {6, top, "2023 drawings", "2023 图纸"},
                                          {7, top, "e", "c"}, {8, top, "f", "g"}, {9, top, "g", "h"}, {10, top, "h", "f"},
                                          {11, top, "l", "链接"}});
    }

    const Expected renamed{RowStatus::Renamed, RenameError::Other};
    expectOutcomes(outcomes, {renamed, renamed, renamed, renamed, renamed,
                              {RowStatus::FailedRename, RenameError::TargetExists}, renamed, renamed,
                              renamed, renamed});
    EXPECT_EQ(treeListing(share.root()),
              QStringList({"2023 图纸/", "2023 图纸/y=2023 DRAWINGS/X", "2023 图纸/z=2023 DRAWINGS/Y", "a=B", "b=A", "c=C",
                           "e/", "f/", "f/3=H/3", "g/", "g/1=F/1", "h/", "h/2=G/2", "链接=B"}));
    EXPECT_EQ(QFile::symLinkTarget(share.path("链接")), share.path("a"));
}

// A claim is only taken over while it is still the empty entry made for it:
// an entry put in its place, or content put into it, right after it was made
// stays as it is and the row fails as taken; the entry keeps its name.
void claimTakenByAnotherProgramIsNeverReplaced(const QString &parent)
{
    struct Case {
        const char *mode;
        bool folder;
        QStringList after;
    };
    for (const Case &intrusion : {Case{"intrude:replace", false, {"a=A", "n=intruder"}},
                                  Case{"intrude:fill", false, {"a=A", "n=intruder"}},
                                  Case{"intrude:replace", true, {"a/", "a/x=X", "n=intruder"}},
                                  Case{"intrude:fill", true, {"a/", "a/x=X", "n/", "n/intruder=intruder"}}}) {
        SCOPED_TRACE(std::string(intrusion.mode) + (intrusion.folder ? " folder" : " file"));
        const TempTree share(parent);
        share.makeFile(intrusion.folder ? "a/x" : "a", intrusion.folder ? "X" : "A");

        QList<RowOutcome> outcomes;
        {
            const RenameFault fault(intrusion.mode);
            outcomes = carryOutNamingTable({{2, share.root() + "/", "a", "n"}});
        }

        expectOutcomes(outcomes, {{RowStatus::FailedRename, RenameError::TargetExists}});
        EXPECT_EQ(treeListing(share.root()), intrusion.after);
    }
}

// A share without hard links (as GNOME's network browsing mounts one): each
// new name is claimed first, then taken over by a plain rename.
TEST_F(RenameUnderFaults, WithoutHardLinksFilesAndFoldersStillRename)
{
    renameEveryKindOfRow(QString(), "no-safe-rename");
    renameEveryKindOfRow(QString(), "no-safe-rename=EINVAL");
}

TEST_F(RenameUnderFaults, ClaimTakenByAnotherProgramIsNeverReplaced)
{
    claimTakenByAnotherProgramIsNeverReplaced(QString());
}

// The same on a real FUSE mount, which refuses the no-replace rename itself:
// files move by hard link there, folders and links onto a claim; with links
// refused as well, everything moves onto a claim.
TEST(RenameOnFuseMount, EveryKindOfRowRenamesWithAndWithoutHardLinks)
{
    const FuseMountedFolder share;
    SKIP_UNLESS_MOUNTED(share);
    {
        const TempTree probe(share.mountPoint());
        probe.makeFile("a");
        errno = 0;
        const bool refused = renameat2(AT_FDCWD, QFile::encodeName(probe.path("a")).constData(), AT_FDCWD,
                                       QFile::encodeName(probe.path("b")).constData(), RENAME_NOREPLACE) != 0;
        EXPECT_TRUE(refused && errno == EINVAL) << "this FUSE mount offers the no-replace rename; nothing else is tried";
    }
    renameEveryKindOfRow(share.mountPoint(), QByteArray());
    renameEveryKindOfRow(share.mountPoint(), "no-safe-rename");
}

TEST(RenameOnFuseMount, ClaimTakenByAnotherProgramIsNeverReplaced)
{
    const FuseMountedFolder share;
    SKIP_UNLESS_MOUNTED(share);
    claimTakenByAnotherProgramIsNeverReplaced(share.mountPoint());
}

// When the rename onto the claim fails, the claim goes again; the entry and
// its name are as they were.
TEST_F(RenameUnderFaults, FailedRenameOntoTheClaimRemovesIt)
{
    tree.makeFile("a", "A");
    tree.makeFile("d/x", "X");
    const QStringList before = treeListing(tree.root());
    const RenameFault fault("fail:a>n/d>m");

    const RenameResult fileRenamed = renameByReservation(tree.path("a"), tree.path("n"));
    const RenameResult folderRenamed = renameByReservation(tree.path("d"), tree.path("m"));

    ASSERT_TRUE(!fileRenamed.ok() && !folderRenamed.ok());
    EXPECT_EQ(fileRenamed.error().error, RenameError::Other);
    EXPECT_EQ(folderRenamed.error().error, RenameError::Other);
    EXPECT_EQ(treeListing(tree.root()), before);
}

struct CycleFaultCase {
    const char *title;
    // Renames that fail, as the shim's "fail:" list; a cycle of a, b and c
    // runs a to its temporary name, c to a, b to c, then the temporary to b.
    const char *failing;
    QList<RowStatus> statuses;
    // The listing afterwards, with the temporary name's random part as "*".
    QStringList after;
};

void PrintTo(const CycleFaultCase &param, std::ostream *out) { *out << param.title; }

class CycleUnderFaults : public RenameUnderFaults, public ::testing::WithParamInterface<CycleFaultCase> {};

// Whatever step fails, every content is still there under one name, and each
// row says truly whether its entry got the new name.
TEST_P(CycleUnderFaults, KeepsEveryEntryAndReportsWhereItIs)
{
    for (const char *name : {"a", "b", "c"})
        tree.makeFile(name, QByteArray(name).toUpper());

    QList<RowOutcome> outcomes;
    {
        const RenameFault fault(QByteArray("fail:") + GetParam().failing);
        outcomes = carryOutNamingTable({{2, root(), "a", "b"}, {3, root(), "b", "c"}, {4, root(), "c", "a"}});
    }

    ASSERT_EQ(outcomes.size(), 3);
    for (qsizetype i = 0; i < 3; ++i)
        EXPECT_EQ(outcomes[i].status(), GetParam().statuses[i]) << "row " << outcomes[i].rowNumber;
    QStringList after = folderListing(tree.root());
    after.replaceInStrings(QRegularExpression("^\\.quillmere-swap-[0-9a-f]{8}-"), ".quillmere-swap-*-");
    EXPECT_EQ(after, GetParam().after);
    const bool leftAside = after.first().startsWith(cycleTemporaryPrefix());
    EXPECT_EQ(outcomes[0].leftUnderTemporaryName.startsWith(cycleTemporaryPrefix()), leftAside);
}

// A change of letter case alone, on a file system that ignores case, goes
// through a temporary name: a failed last step puts the entry back under its
// own name, and an entry whose way back fails too is reported where it stands.
TEST(LetterCaseUnderFaults, FailedStepPutsTheEntryBackOrSaysWhereItIs)
{
    const WindowsVolume volume(WindowsVolumeFormat::ExFat);
    SKIP_UNLESS_MOUNTED(volume);
    const TempTree tree(volume.mountPoint());
    tree.makeFile("report.DOC", "R");
    tree.makeFile("Notes.TXT", "N");
    const QString root = tree.root() + "/";

    QList<RowOutcome> outcomes;
    {
        const RenameFault fault("fail:.quillmere-swap-*>report.doc/.quillmere-swap-*>notes.txt/"
                                ".quillmere-swap-*>Notes.TXT");
        outcomes = carryOutNamingTable({{2, root, "report.DOC", "report.doc"}, {3, root, "Notes.TXT", "notes.txt"}});
    }

    ASSERT_EQ(outcomes.size(), 2);
    EXPECT_EQ(outcomes[0].problem, RowProblem::RenameFailed);
    EXPECT_TRUE(outcomes[0].leftUnderTemporaryName.isEmpty());
    EXPECT_EQ(outcomes[1].problem, RowProblem::RenameFailed);
    EXPECT_TRUE(outcomes[1].leftUnderTemporaryName.startsWith(cycleTemporaryPrefix()));
    QStringList after = folderListing(tree.root());
    after.replaceInStrings(QRegularExpression("^\\.quillmere-swap-[0-9a-f]{8}-"), ".quillmere-swap-*-");
    EXPECT_EQ(after, QStringList({".quillmere-swap-*-Notes.TXT=N", "report.DOC=R"}));
}

INSTANTIATE_TEST_SUITE_P(
    , CycleUnderFaults,
    ::testing::Values(
        CycleFaultCase{"stepFailsAndIsUndone", "b>c",
                       {RowStatus::FailedByOtherRow, RowStatus::FailedRename, RowStatus::FailedByOtherRow},
                       {"a=A", "b=B", "c=C"}},
        CycleFaultCase{"lastStepFailsAndIsUndone", ".quillmere-swap-*>b",
                       {RowStatus::FailedRename, RowStatus::FailedByOtherRow, RowStatus::FailedByOtherRow},
                       {"a=A", "b=B", "c=C"}},
        // The undo of b to c fails too: a stays under its temporary name.
        CycleFaultCase{"undoFailsToo", ".quillmere-swap-*>b/c>b",
                       {RowStatus::FailedRename, RowStatus::Renamed, RowStatus::Renamed},
                       {".quillmere-swap-*-a=A", "a=C", "c=B"}}),
    [](const auto &test) { return std::string(test.param.title); });

} // namespace
