// Step 3's renames on a file system that refuses what the local one allows.
// CTest preloads rename_fault_shim.c, which makes the system calls fail on
// cue; the files are real files in a temporary tree.
#include "rename/batch_rename.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>

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
        EXPECT_EQ(outcomes[i].status, expected[i].status);
        if (expected[i].status == RowStatus::FailedRename) {
            EXPECT_EQ(outcomes[i].error, expected[i].error);
        }
    }
}

// Neither the no-replace rename nor a hard link: nothing can move safely, and
// a taken new name must still be reported as taken, not as a lack of rights.
// File systems refuse a link with EPERM or with EINVAL; both mean the same.
TEST_F(RenameUnderFaults, WithoutSafeRenameNothingMovesAndTakenNamesSaySo)
{
    for (const char *name : {"a", "b", "c"})
        tree.makeFile(name, QByteArray(name).toUpper());
    tree.makeFolder("d");
    tree.makeFolder("e");
    const QStringList before = folderListing(tree.root());

    for (const QByteArray &mode : {QByteArray("no-safe-rename"), QByteArray("no-safe-rename=EINVAL")}) {
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
        EXPECT_EQ(outcomes[i].status, GetParam().statuses[i]) << "row " << outcomes[i].rowNumber;
    QStringList after = folderListing(tree.root());
    after.replaceInStrings(QRegularExpression("^\\.quillmere-swap-[0-9a-f]{8}-"), ".quillmere-swap-*-");
    EXPECT_EQ(after, GetParam().after);
    const bool leftAside = after.first().startsWith(cycleTemporaryPrefix());
    EXPECT_EQ(outcomes[0].leftUnderTemporaryName.startsWith(cycleTemporaryPrefix()), leftAside);
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
