#include "rename/run_restore.h"
#include "tests/common/rename_runs.h"
#include "tests/common/temp_tree.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include <algorithm>
#include <thread>

namespace {

NamingTableRow row(qint64 number, const QString &folder, const QString &oldName, const QString &newName)
{
    return {number, folder, oldName, newName};
}

class RunRecords : public ::testing::Test {
protected:
    QString top() const { return tree.path("files") + "/"; }
    QString records() const { return tree.path("state/quillmere/runs"); }

    RecordedRunResult run(const QList<NamingTableRow> &rows)
    {
        return carryOutRecorded(planNamingTableRenames(rows), records(), RunKind::Step3, QString(), "/t/表.xls");
    }

    TempTree tree;
};

// Names that would break a line-based file (tab, line break, backslash) come
// back exactly; the rest stays readable as it is. Enough of them that the
// record is written in several parts.
TEST_F(RunRecords, RecordReadsBackAsWrittenAndEndsWithTheOutcome)
{
    QStringList names;
    for (int part = 0; part < 4; ++part) {
        names << QString("plain %1").arg(part) << QString("tab\there %1").arg(part) << QString("line\nbreak %1").arg(part)
              << QString("back\\slash\\n %1").arg(part);
        for (int i = 0; i < 150; ++i)
            names << QString("图纸 %1-%2 of a drawing office's long project.dwg").arg(part).arg(i);
    }
    for (const QString &name : names)
        tree.makeFile("files/" + name, name.toUtf8());
    QList<NamingTableRow> rows;
    for (const QString &name : names)
        rows << row(rows.size() + 2, top(), name, "new " + QString::number(rows.size()));
    rows << row(rows.size() + 2, top(), "missing", "x");

    const RenamePlan plan = planNamingTableRenames(rows);
    const RecordedRunResult done = carryOutRecorded(plan, records(), RunKind::Step3, QString(), "/t/命名\t表.xls");

    ASSERT_FALSE(done.recordFailure.has_value());
    QList<RunRecord> all = readRunRecords(records());
    ASSERT_EQ(all.size(), 1);
    RunRecord &record = all[0];
    EXPECT_EQ(record.path, done.recordPath);
    EXPECT_EQ(record.workbook, "/t/命名\t表.xls");
    EXPECT_EQ(record.end, RunEnd::Ended);
    EXPECT_EQ(record.renamedEntries, names.size());
    EXPECT_LE(qAbs(record.started.secsTo(QDateTime::currentDateTime())), 60);
    ASSERT_TRUE(readRunSteps(record));
    QList<PlannedStep> planned;
    forEachPlannedStep(plan, [&planned](qint64 rowNumber, const EntryId &entry, const QString &oldPath,
                                        const QString &newPath) { planned.append({rowNumber, entry, oldPath, newPath}); });
    ASSERT_EQ(record.steps.size(), planned.size());
    for (qsizetype i = 0; i < planned.size(); ++i) {
        EXPECT_EQ(record.steps[i].oldPath, planned[i].oldPath);
        EXPECT_EQ(record.steps[i].newPath, planned[i].newPath);
        EXPECT_EQ(record.steps[i].entry, planned[i].entry);
        EXPECT_EQ(record.steps[i].rowNumber, planned[i].rowNumber);
    }
    EXPECT_EQ(record.steps[0].entry, entryStatusOf(top() + "new 0")->id);

    QFile file(record.path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains("\t" + top() + "图纸 0-0 of a drawing office's long project.dwg\t" + top() + "new 4\n"));
    EXPECT_TRUE(text.contains("\t" + top() + "line\\nbreak 3\t"));
    EXPECT_TRUE(text.contains(QString("row\t%1\tfailed\n").arg(names.size() + 2)));
}

// A run stopped between units: what it did stays done, a cycle is never left
// half way, the rows left say so, and its record ends "stopped" with what it
// renamed. Undo takes back exactly that; an undo stopped before its first
// rename leaves the run to be undone later.
TEST_F(RunRecords, RunStoppedBetweenUnitsEndsStoppedAndUndoTakesBackWhatItDid)
{
    constexpr int singles = 400;
    QList<NamingTableRow> rows;
    for (int i = 0; i < singles; ++i) {
        tree.makeFile(QString("files/a%1").arg(i), QByteArray::number(i));
        rows << row(rows.size() + 2, top(), QString("a%1").arg(i), QString("b%1").arg(i));
        if (i % 50 == 0) {
            tree.makeFile(QString("files/x%1").arg(i), "x");
            tree.makeFile(QString("files/y%1").arg(i), "y");
            const qint64 number = rows.size() + 2;
            rows << row(number, top(), QString("x%1").arg(i), QString("y%1").arg(i))
                 << row(number + 1, top(), QString("y%1").arg(i), QString("x%1").arg(i));
        }
    }
    const RenamePlan plan = planNamingTableRenames(rows);
    RecordedRun run(plan, records(), RunKind::Step3, QString(), "/t/表.xls");
    ASSERT_TRUE(run.write().ok());
    ASSERT_TRUE(run.waitUntilDurable().ok());
    WorkControl control;
    std::thread stopper([&control] {
        while (control.done() < 100)
            std::this_thread::yield();
        control.requestStop();
    });
    const QList<RowOutcome> outcomes = run.carryOut(&control);
    stopper.join();
    run.settle();

    ASSERT_TRUE(run.stopped());
    EXPECT_EQ(control.total(), rows.size());
    const qsizetype renamed = std::count_if(outcomes.begin(), outcomes.end(), [](const RowOutcome &outcome) {
        return outcome.status() == RowStatus::Renamed;
    });
    const qsizetype notRun = std::count_if(outcomes.begin(), outcomes.end(), [](const RowOutcome &outcome) {
        return outcome.status() == RowStatus::NotRun;
    });
    EXPECT_GE(renamed, 100);
    EXPECT_GT(notRun, 0);
    EXPECT_EQ(renamed + notRun, rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString &name = *rows[i].currentName;
        const bool done = outcomes[i].status() == RowStatus::Renamed;
        if (name.startsWith(u'a')) {
            EXPECT_NE(QFile::exists(top() + name), done) << name.toStdString();
            EXPECT_EQ(QFile::exists(top() + *rows[i].newName), done) << name.toStdString();
        } else if (name.startsWith(u'x')) {
            EXPECT_EQ(outcomes[i + 1].status(), outcomes[i].status()) << "a cycle is swapped whole or not at all";
            EXPECT_EQ(fileContent(top() + name), done ? "y" : "x");
        }
    }

    std::optional<RunRecord> stopped = lastUndoableRun(readRunRecords(records()));
    ASSERT_TRUE(stopped.has_value());
    EXPECT_EQ(stopped->end, RunEnd::Stopped);
    EXPECT_EQ(stopped->renamedEntries, renamed);
    EXPECT_TRUE(cutOffRuns(readRunRecords(records())).isEmpty());
    ASSERT_TRUE(readRunSteps(*stopped));

    WorkControl stopAtOnce;
    stopAtOnce.requestStop();
    const RestoreResult halted = restoreRun(*stopped, records(), &stopAtOnce);
    EXPECT_TRUE(halted.stopped);
    EXPECT_EQ(halted.restoredCount(), 0);
    EXPECT_TRUE(std::all_of(halted.outcomes.begin(), halted.outcomes.end(),
                            [](const RestoreOutcome &outcome) { return outcome.status == RestoreStatus::NotRun; }));
    std::optional<RunRecord> again = lastUndoableRun(readRunRecords(records()));
    ASSERT_TRUE(again.has_value()) << "the rest can be undone later";
    EXPECT_EQ(again->path, stopped->path);

    const RestoreResult restored = restoreRun(*stopped, records());
    EXPECT_FALSE(restored.stopped);
    EXPECT_EQ(restored.restoredCount(), renamed);
    for (int i = 0; i < singles; ++i)
        EXPECT_EQ(fileContent(top() + QString("a%1").arg(i)), QByteArray::number(i));
    EXPECT_FALSE(lastUndoableRun(readRunRecords(records())).has_value());
}

// An end line of either kind counts only when whole; a "stopped" end is
// read as the run's end, with its time, as an "ended" one is.
TEST(RunRecordEnd, StoppedEndReadsAsAKnownEnd)
{
    const QDateTime at = QDateTime::currentDateTime();
    RowOutcome notRun;
    notRun.rowNumber = 3;
    notRun.problem = RowProblem::StoppedBeforeRun;
    const QByteArray end = runEndLines({notRun}, 7, at, true);
    EXPECT_TRUE(end.contains("row\t3\tnot-run\n"));
    RunRecord record;
    parseRunEnd(end, record);
    EXPECT_EQ(record.end, RunEnd::Stopped);
    EXPECT_EQ(record.renamedEntries, 7);
    EXPECT_EQ(record.ended.toMSecsSinceEpoch(), at.toMSecsSinceEpoch());
    RunRecord cut;
    parseRunEnd(end.chopped(1), cut);
    EXPECT_EQ(cut.end, RunEnd::Running);
}

// A power cut may cut a record anywhere while it is written. Cut at every
// byte, it is refused while its header is incomplete and then reads the same
// header; every step read is the run's own step in its place, whole (a step
// the cut shortened could name another path or inode); only whole row lines
// say a row was renamed; and only a whole end line ends it, with its whole
// count.
TEST_F(RunRecords, RecordCutAnywhereIsRefusedOrReadsWhatStands)
{
    for (const char *name : {"a", "b", "tab\tname"})
        tree.makeFile(QStringLiteral("files/") + name, name);
    const RecordedRunResult done =
        run({row(2, top(), "a", "b"), row(3, top(), "b", "a"), row(4, top(), "tab\tname", "back\\slash")});
    QFile file(done.recordPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    RunRecord full;
    ASSERT_TRUE(parseRunHeader(whole, full));
    const QList<PlannedStep> steps = parseRunSteps(whole);
    ASSERT_EQ(steps.size(), 4);

    for (qsizetype size = 0; size <= whole.size(); ++size) {
        SCOPED_TRACE("cut after byte " + std::to_string(size));
        const QByteArray cut = whole.first(size);
        RunRecord record;
        if (!parseRunHeader(cut, record))
            continue;
        EXPECT_EQ(record.started, full.started);
        EXPECT_EQ(record.workbook, full.workbook);
        const QList<PlannedStep> read = parseRunSteps(cut);
        ASSERT_LE(read.size(), steps.size());
        for (qsizetype i = 0; i < read.size(); ++i) {
            EXPECT_EQ(read[i].oldPath, steps[i].oldPath);
            EXPECT_EQ(read[i].newPath, steps[i].newPath);
            EXPECT_EQ(read[i].entry, steps[i].entry);
        }
        parseRunEnd(cut, record);
        EXPECT_EQ(record.end == RunEnd::Ended, size == whole.size());
        EXPECT_EQ(record.renamedEntries, size == whole.size() ? 3 : 0);
        QSet<qint64> renamedRows;
        parseRunSteps(cut, nullptr, nullptr, &renamedRows);
        EXPECT_TRUE(QSet<qint64>({2, 3, 4}).contains(renamedRows));
        if (size == whole.size()) {
            EXPECT_EQ(renamedRows, QSet<qint64>({2, 3, 4}));
        }
    }
}

// A claim's path comes back exactly, escapes and all, and so does the entry
// made there; a line that a cut shortened may name a path never claimed, or
// an inode cut short, and is passed over. A record from before "claimed"
// lines reads its claims all the same.
TEST_F(RunRecords, ClaimLinesReadBackOnlyWhole)
{
    const QString claim = top() + "tab\there\\n .quillmere-swap-0badcafe-d";
    const EntryId made{2049, 1311233};
    const QByteArray whole = runRecordHeader(RunKind::Step3, QString(), "/t/表.xls", QDateTime::currentDateTime(), 1, 1) +
                             plannedLine(0) + claimLine(claim) + claimedLine(claim, made) + claimLine(top() + "second") +
                             claimedLine(top() + "second", {2049, 77});
    RunClaims claims;
    parseRunSteps(whole, nullptr, &claims);
    EXPECT_EQ(claims.paths, QStringList({claim, top() + "second"}));
    EXPECT_EQ(claims.made.values(claim), QList<EntryId>({made}));
    EXPECT_EQ(claims.made.size(), 2);

    claims = {};
    parseRunSteps(whole.chopped(1), nullptr, &claims);
    EXPECT_EQ(claims.paths, QStringList({claim, top() + "second"}));
    EXPECT_EQ(claims.made.size(), 1);
    claims = {};
    parseRunSteps(whole.first(whole.indexOf("claimed")) + claimLine(top() + "second"), nullptr, &claims);
    EXPECT_EQ(claims.paths, QStringList({claim, top() + "second"}));
    EXPECT_TRUE(claims.made.isEmpty());
}

// A step into another folder shows a record damaged, wherever it stands; a
// sound record cut anywhere, even inside a path, never reads as damaged.
TEST_F(RunRecords, OnlyAWholeStepIntoAnotherFolderShowsTheRecordDamaged)
{
    for (const char *name : {"a", "b"})
        tree.makeFile(QStringLiteral("files/") + name, name);
    QFile file(run({row(2, top(), "a", "b"), row(3, top(), "b", "a")}).recordPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    qsizetype damagedLine = -1;
    for (qsizetype size = 0; size <= whole.size(); ++size) {
        parseRunSteps(whole.first(size), &damagedLine);
        ASSERT_EQ(damagedLine, 0) << "cut after byte " << size;
    }

    QList<QByteArray> lines = whole.split('\n');
    const qsizetype last = std::find_if(lines.rbegin(), lines.rend(), [](const QByteArray &line) {
        return line.startsWith("rename\t");
    }).base() - lines.begin() - 1;
    lines[last].replace(("\t" + top() + "b").toUtf8(), ("\t" + tree.path("b")).toUtf8());
    EXPECT_EQ(parseRunSteps(lines.join('\n'), &damagedLine).size(), 3);
    EXPECT_EQ(damagedLine, last + 1);
}

TEST_F(RunRecords, RecordThatCannotBeWrittenStopsTheRunBeforeAnyRename)
{
    tree.makeFile("files/a", "A");
    tree.makeFile("state", "a file where the records' folder would go");
    bool renamesMayStart = false;

    const RecordedRunResult done = carryOutRecorded(planNamingTableRenames({row(2, top(), "a", "b")}), records(),
                                              RunKind::Step3, QString(), "/t/x.xls", [&] { renamesMayStart = true; });

    ASSERT_TRUE(done.recordFailure.has_value());
    EXPECT_EQ(done.recordFailure->path, tree.path("state/quillmere"));
    EXPECT_FALSE(done.recordFailure->systemText.isEmpty());
    EXPECT_FALSE(renamesMayStart);
    EXPECT_TRUE(done.outcomes.isEmpty());
    EXPECT_EQ(folderListing(top()), QStringList{"a=A"});
}

// Step 3 calls the phases one by one: the record holds the steps before any
// rename, and its end once the renames are done.
TEST_F(RunRecords, PhasesRenameOnlyOnceTheRecordHoldsTheSteps)
{
    tree.makeFile("files/a", "A");
    const RenamePlan plan = planNamingTableRenames({row(2, top(), "a", "b")});
    RecordedRun run(plan, records(), RunKind::Step3, QString(), "/t/x.xls");

    ASSERT_TRUE(run.write().ok());
    ASSERT_TRUE(run.waitUntilDurable().ok());
    QList<RunRecord> written = readRunRecords(records());
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written[0].end, RunEnd::Running);
    ASSERT_TRUE(readRunSteps(written[0]));
    EXPECT_EQ(written[0].steps.size(), 1);
    EXPECT_EQ(folderListing(top()), QStringList{"a=A"});

    EXPECT_EQ(run.carryOut().value(0).status(), RowStatus::Renamed);
    EXPECT_EQ(readRunRecords(records()).value(0).end, RunEnd::Ended);
    run.settle();
    EXPECT_EQ(folderListing(top()), QStringList{"b=A"});
}

// A run with nothing to rename leaves no record behind.
TEST_F(RunRecords, RunThatRenamesNothingWritesNoRecord)
{
    tree.makeFile("files/a", "A");
    const RecordedRunResult done = run({row(2, top(), "a", ""), row(3, top(), "a", "a")});
    EXPECT_FALSE(done.recordFailure.has_value());
    EXPECT_TRUE(done.recordPath.isEmpty());
    EXPECT_TRUE(readRunRecords(records()).isEmpty());
}

// Another program's run in progress: its record is neither recovered nor
// undone, nor removed as old. Nor is an older run cut off that no start has
// offered yet (its process gone: the same id, started at another time), or
// one whose recovery was stopped, to be offered again.
TEST_F(RunRecords, RunStillInProgressIsLeftAlone)
{
    tree.makeFile("files/a", "A");
    const RenamePlan plan = planNamingTableRenames({row(2, top(), "a", "b")});
    RecordedRun running(plan, records(), RunKind::Step3, QString(), "/t/x.xls");
    ASSERT_TRUE(running.write().ok());
    ASSERT_TRUE(running.waitUntilDurable().ok());
    const QDateTime longAgo = QDateTime::currentDateTime().addYears(-1);
    const QByteArray cutOff = runRecordHeader(RunKind::Step3, QString(), "/t/x.xls", longAgo,
                                              QCoreApplication::applicationPid(), 1) + plannedLine(0);
    tree.makeFile("state/quillmere/runs/cut-off.txt", cutOff);
    tree.makeFile("state/quillmere/runs/recovery-stopped.txt", cutOff + recoveryStoppedLine(longAgo, 1));
    for (int i = 0; i < 21; ++i)
        run({row(2, top(), i % 2 ? "b" : "a", i % 2 ? "a" : "b")});

    const QList<RunRecord> all = readRunRecords(records());
    EXPECT_EQ(all.size(), 23) << "the newest 20, the one still running and the two cut off";
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const RunRecord &record) { return record.path == running.recordPath(); }));
    const QList<RunRecord> offered = cutOffRuns(all);
    ASSERT_EQ(offered.size(), 2);
    EXPECT_EQ(QSet<QString>({offered[0].fileName(), offered[1].fileName()}),
              QSet<QString>({"cut-off.txt", "recovery-stopped.txt"}));
    EXPECT_NE(lastUndoableRun(all)->path, running.recordPath());
}

} // namespace
