// The check before step 3 against what step 3 then does on the same files:
// no row the check passes fails for a reason it could have known, and no
// row it fails renames (of rows sharing a new path, at most the first).
#include "rename/listed_entries.h"
#include "rename/run_record_folder.h"
#include "rename/table_check.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"
#include "tests/common/windows_volume.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstdio>
#include <map>
#include <optional>

namespace {

struct CheckCase {
    const char *name;
    QStringList files; // below the folder; "sub/x" makes a folder too
    // Rows of the table: folder below the root ("" for the root), current name, new name.
    QList<QStringList> rows;
    // The problem expected per row number (rows start at 2); rows not named pass.
    std::map<qint64, CheckProblem> expected;
    QList<qint64> hidden = {};
    // Files replaced after they were listed: another file saved in their place.
    QStringList replaced = {};
};

void PrintTo(const CheckCase &c, std::ostream *out)
{
    *out << c.name;
}

QList<NamingTableRow> tableRows(const QString &root, const CheckCase &c)
{
    QList<NamingTableRow> rows;
    qint64 number = 2;
    for (const QStringList &cells : c.rows) {
        NamingTableRow row{number, root + "/" + (cells[0].isEmpty() ? QString() : cells[0] + "/"), cells[1], cells[2]};
        row.hidden = c.hidden.contains(number);
        rows.append(row);
        ++number;
    }
    return rows;
}

// The entries of `files` below `root` as step 1 lists them.
ListedEntries listingOf(const QString &root, const QStringList &files)
{
    ListedEntries listed;
    for (const QString &file : files) {
        const qsizetype slash = file.lastIndexOf(u'/');
        listed.add(root + "/" + file.first(slash + 1), file.sliced(slash + 1), *entryIdOf(root + "/" + file));
    }
    listed.sort();
    return listed;
}

// Saves another file in the place of `path`, as drawing programs save: a new
// file renamed over the old one, so that it is surely another entry.
void replaceFile(const QString &path)
{
    QFile newer(path + ".saving");
    ASSERT_TRUE(newer.open(QIODevice::WriteOnly));
    newer.close();
    ASSERT_EQ(::rename(QFile::encodeName(path + ".saving").constData(), QFile::encodeName(path).constData()), 0);
}

std::map<qint64, CheckProblem> problemsOf(const TableCheck &check)
{
    std::map<qint64, CheckProblem> found;
    for (const RowFinding &finding : check.findings)
        found[finding.rowNumber] = finding.problem;
    return found;
}

// What step 3 makes of the rows the check judged, row by row.
void expectStepThreeAgrees(const TableCheck &check, const QList<NamingTableRow> &rows, const QList<RowOutcome> &outcomes)
{
    const std::map<qint64, CheckProblem> problems = problemsOf(check);
    std::map<QString, int> renamedPerSharedPath;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].rowNumber);
        const auto problem = problems.find(rows[i].rowNumber);
        const RowStatus status = outcomes[i].status();
        if (problem == problems.end() || isWarning(problem->second)) {
            EXPECT_FALSE(outcomes[i].failed()) << "passed by the check, failed by step 3";
        } else if (problem->second == CheckProblem::SameNewPath) {
            renamedPerSharedPath[outcomes[i].newName] += status == RowStatus::Renamed ? 1 : 0;
        } else {
            EXPECT_NE(status, RowStatus::Renamed) << "failed by the check, renamed by step 3";
        }
    }
    for (const auto &[path, renamed] : renamedPerSharedPath)
        EXPECT_LE(renamed, 1) << path.toStdString();
}

class TableCheckCases : public ::testing::TestWithParam<CheckCase> {};

TEST_P(TableCheckCases, FindsBeforeTheRunWhatTheRunMeets)
{
    const CheckCase &c = GetParam();
    TempTree tree;
    for (const QString &file : c.files)
        tree.makeFile(file, file.toUtf8());
    const QList<NamingTableRow> rows = tableRows(tree.root(), c);
    const ListedEntries listed = listingOf(tree.root(), c.files);
    for (const QString &file : c.replaced)
        replaceFile(tree.path(file));

    const QStringList before = folderListing(tree.root());
    const TableCheck check = checkNamingTable(rows, tree.path("table.xls"), tree.path("records"), &listed);
    EXPECT_EQ(problemsOf(check), c.expected);
    for (const RowFinding &finding : check.findings) {
        if (finding.problem == CheckProblem::SameNewPath) {
            EXPECT_FALSE(finding.otherRows.isEmpty()) << "every row involved names the others";
        }
    }
    EXPECT_EQ(folderListing(tree.root()), before) << "the check renames nothing";
    expectStepThreeAgrees(check, rows, carryOutNamingTable(rows, {}, &listed));
}

using P = CheckProblem;
INSTANTIATE_TEST_SUITE_P(
    , TableCheckCases,
    ::testing::Values(
        CheckCase{"ManyToOneInOneFolder", {"a.dwg", "b.dwg", "c.dwg"}, {{"", "a.dwg", "x.dwg"}, {"", "b.dwg", "x.dwg"}, {"", "c.dwg", "y.dwg"}},
                  {{2, P::SameNewPath}, {3, P::SameNewPath}}},
        CheckCase{"SameNameAcrossFoldersIsNoProblem", {"d1/a.dwg", "d2/b.dwg"}, {{"d1", "a.dwg", "x.dwg"}, {"d2", "b.dwg", "x.dwg"}}, {}},
        CheckCase{"TakenByAnEntryThatStays", {"a.dwg", "c.dwg"}, {{"", "a.dwg", "c.dwg"}}, {{2, P::NewNameTaken}}},
        CheckCase{"TakenByARefusedRowsEntry", {"a.dwg", "c.dwg"}, {{"", "a.dwg", "c.dwg"}, {"", "c.dwg", " d.dwg"}},
                  {{2, P::NewNameTaken}, {3, P::Refused}}},
        CheckCase{"TakenByAnEntryTheTableMovesAwayIsNoProblem", {"a.dwg", "b.dwg"}, {{"", "a.dwg", "b.dwg"}, {"", "b.dwg", "c.dwg"}}, {}},
        CheckCase{"SwapAndCycleAreNoProblem", {"a.dwg", "b.dwg", "c.dwg", "d.dwg", "e.dwg"},
                  {{"", "a.dwg", "b.dwg"}, {"", "b.dwg", "a.dwg"}, {"", "c.dwg", "d.dwg"}, {"", "d.dwg", "e.dwg"}, {"", "e.dwg", "c.dwg"}}, {}},
        CheckCase{"EntryGoneSinceTheScan", {"b.dwg"}, {{"", "a.dwg", "x.dwg"}, {"", "b.dwg", "y.dwg"}}, {{2, P::EntryGone}}},
        CheckCase{"EntryReplacedSinceTheScan", {"a.dwg", "d/b.dwg"}, {{"", "a.dwg", "x.dwg"}, {"d", "b.dwg", "y.dwg"}},
                  {{3, P::Refused}}, {}, {"d/b.dwg"}},
        CheckCase{"AReplacedEntryStaysSoItsNameIsTaken", {"a.dwg", "b.dwg"}, {{"", "a.dwg", "b.dwg"}, {"", "b.dwg", "c.dwg"}},
                  {{2, P::NewNameTaken}, {3, P::Refused}}, {}, {"b.dwg"}},
        CheckCase{"ExtensionDroppedOrChangedWarnsLetterCaseDoesNot", {"a.dwg", "b.dwg", "C.DWG", ".profile"},
                  {{"", "a.dwg", "a"}, {"", "b.dwg", "b.pdf"}, {"", "C.DWG", "c.dwg"}, {"", ".profile", ".profile2"}},
                  {{2, P::ExtensionChanged}, {3, P::ExtensionChanged}}},
        CheckCase{"RefusalsStepThreeKnowsBeforeItRenames", {"a.dwg", "b.dwg", "c.dwg"},
                  {{"", "a.dwg", "x\u200b.dwg"}, {"", "b.dwg", "   "}, {"", "c.dwg", ""}},
                  {{2, P::Refused}, {3, P::Refused}}},
        CheckCase{"HiddenRowWithANameWarns", {"a.dwg", "b.dwg"}, {{"", "a.dwg", "x.dwg"}, {"", "b.dwg", "y.dwg"}},
                  {{3, P::HiddenRow}}, {3}}),
    [](const ::testing::TestParamInfo<CheckCase> &row) { return std::string(row.param.name); });

// On a volume made for Windows two names that differ in letter case alone are
// one: rows giving them collide, while a row changing only the letter case
// of its own entry's name is no collision with itself.
TEST(TableCheck, OnAWindowsVolumeLetterCaseIsIgnored)
{
    WindowsVolume volume(WindowsVolumeFormat::ExFat);
    if (!volume.isMounted())
        GTEST_SKIP() << volume.whyNotMounted().toStdString();
    const QString folder = volume.mountPoint() + "/";
    for (const char *name : {"a.txt", "b.txt", "C.txt", "d.txt"}) {
        QFile file(folder + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QList<NamingTableRow> rows{{2, folder, "a.txt", "X.txt"}, {3, folder, "b.txt", "x.txt"},
                                     {4, folder, "C.txt", "c.txt"}, {5, folder, "d.txt", "A.TXT"}};
    const TableCheck check = checkNamingTable(rows, QString(), QString());
    EXPECT_EQ(problemsOf(check), (std::map<qint64, CheckProblem>{{2, P::SameNewPath}, {3, P::SameNewPath}}));
    expectStepThreeAgrees(check, rows, carryOutNamingTable(rows));
    for (const char *name : {"X.txt", "x.txt", "c.txt", "C.txt", "A.TXT", "b.txt", "d.txt", "a.txt"})
        QFile::remove(folder + name);
}

// A second click after a run of the same table: the rows that run carried
// out count as done, however their entries moved (a swap would go back),
// while a row it did not carry out is still to do.
TEST(TableCheck, RowsTheLastRunOfTheSameTableCarriedOutCountAsDone)
{
    TempTree tree;
    for (const char *name : {"a.dwg", "b.dwg", "c.dwg", "taken.dwg"})
        tree.makeFile(name, name);
    const QString folder = tree.root() + "/";
    const QString workbook = tree.path("table.xls");
    const QString records = tree.path("records");
    const QList<NamingTableRow> rows{{2, folder, "a.dwg", "b.dwg"}, {3, folder, "b.dwg", "a.dwg"},
                                     {4, folder, "c.dwg", "taken.dwg"}};
    const ListedEntries listed = listingOf(tree.root(), {"a.dwg", "b.dwg", "c.dwg", "taken.dwg"});
    ASSERT_FALSE(carryOutRecorded(planNamingTableRenames(rows, workbook), records, RunKind::Step3, {}, workbook)
                     .recordFailure.has_value());

    const TableCheck again = checkNamingTable(rows, workbook, records, &listed);
    EXPECT_EQ(again.doneByLastRun, (QList<qint64>{2, 3}));
    EXPECT_EQ(problemsOf(again), (std::map<qint64, CheckProblem>{{4, P::NewNameTaken}}));
    EXPECT_EQ(rowsNotDone(rows, again).size(), 1);
    const TableCheck ofAnother = checkNamingTable(rows, tree.path("other.xls"), records, &listed);
    EXPECT_TRUE(ofAnother.doneByLastRun.isEmpty()) << "only a run of the same table counts";
    EXPECT_EQ(problemsOf(ofAnother), (std::map<qint64, CheckProblem>{{2, P::Refused}, {3, P::Refused}, {4, P::NewNameTaken}}))
        << "the swapped entries are no longer those listed: they are not swapped back";
}

} // namespace
