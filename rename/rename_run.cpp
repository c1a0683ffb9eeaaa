#include "rename/rename_run.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// Carries out a plan's units in order.
class RenameRun {
public:
    RenameRun(const RenamePlan &planned, QList<RowOutcome> &results, WorkControl *runControl)
        : plan(planned), outcomes(results), control(runControl)
    {
    }

    void runAll()
    {
        qint64 renamesDone = 0;
        if (control)
            control->reportTotal(plan.renames.size());
        plan.forEachUnit([&](const RenamePlan::Unit &unit) {
            if (control && control->stopRequested()) {
                for (const qsizetype rename : unit.renames)
                    outcomeOf(rename).problem = RowProblem::StoppedBeforeRun;
                return;
            }
            runUnit(unit);
            renamesDone += qint64(unit.renames.size());
            if (control)
                control->reportDone(renamesDone);
        });
    }

private:
    // A step carried out, kept so that a cycle can be taken back.
    struct DoneStep {
        const QString *oldPath;
        const QString *newPath;
        qsizetype rename;
    };

    void runUnit(const RenamePlan::Unit &unit);
    void takeBackCycle(const RenamePlan::Unit &unit, qsizetype failedRename, const RenameFailure &failure);
    RowOutcome &outcomeOf(qsizetype rename) { return outcomes[plan.renames[rename].outcomeIndex]; }

    const RenamePlan &plan;
    QList<RowOutcome> &outcomes;
    WorkControl *const control;
    // The steps of the unit under way; kept between units so that a million
    // units of one rename each do not each allocate.
    std::vector<DoneStep> done;
};

// A rename runs by path, but the plan chose an entry: should another stand
// at the path now (the entry replaced, or moved and another put in its
// place since the table was read), renaming that would act on an entry the
// user never saw. Looked at right before the rename, as that is the last
// moment there is.
RenameResult renamePlannedEntry(const EntryId &planned, const QString &oldPath, const QString &newPath)
{
    if (const std::optional<EntryId> standing = entryIdOf(oldPath); standing && *standing != planned)
        return RenameFailure{RenameError::NotThePlannedEntry, {}};
    return renameNoReplace(oldPath, newPath);
}

void markFailed(RowOutcome &outcome, RowProblem problem, const RenameFailure &failure)
{
    outcome.problem = problem;
    outcome.details = failure;
}

void markBrokenByOtherRow(RowOutcome &outcome, qint64 otherRow)
{
    outcome.problem = RowProblem::CycleBrokenByOtherRow;
    outcome.details = OtherRow{otherRow};
}

void RenameRun::runUnit(const RenamePlan::Unit &unit)
{
    done.clear();
    std::optional<RenameFailure> failure;
    qsizetype failedRename = 0;
    plan.forEachStepOf(unit, [&](qsizetype rename, const QString &oldPath, const QString &newPath) {
        const RenameResult renamed = renamePlannedEntry(plan.renames[rename].entry, oldPath, newPath);
        if (!renamed.ok()) {
            failure = renamed.error();
            failedRename = rename;
            return false;
        }
        done.push_back({&oldPath, &newPath, rename});
        return true;
    });
    if (!failure)
        return;
    if (unit.goesThroughTemporaryName())
        takeBackCycle(unit, failedRename, *failure);
    else
        markFailed(outcomeOf(failedRename), RowProblem::RenameFailed, *failure);
}

// The steps done are undone in reverse order, each undo freeing the name the
// one before it needs, so that every entry gets its own name back; an undo
// that fails stops the undoing.
void RenameRun::takeBackCycle(const RenamePlan::Unit &unit, qsizetype failedRename, const RenameFailure &failure)
{
    const bool steppedAside = !done.empty();
    while (!done.empty() && renamePlannedEntry(plan.renames[done.back().rename].entry, *done.back().newPath,
                                               *done.back().oldPath)
                                .ok())
        done.pop_back();

    // The first step is the aside entry's move to its temporary name; the
    // later ones still done left their rows renamed.
    const qsizetype aside = unit.renames.front();
    const bool asideBack = done.empty();
    const auto stillRenamed = [this, aside](qsizetype rename) {
        return rename != aside &&
               std::any_of(done.begin(), done.end(), [rename](const DoneStep &step) { return step.rename == rename; });
    };
    const qint64 failedRow = outcomeOf(failedRename).rowNumber;
    for (const qsizetype rename : unit.renames) {
        if (rename != failedRename && !stillRenamed(rename))
            markBrokenByOtherRow(outcomeOf(rename), failedRow);
    }
    markFailed(outcomeOf(failedRename),
               steppedAside || !unit.isCycle() ? RowProblem::RenameFailed : RowProblem::CycleCouldNotStepAside, failure);
    if (!asideBack)
        outcomeOf(aside).leftUnderTemporaryName = unit.temporaryPath.mid(plan.renames[aside].nameStart);
}

} // namespace

QList<RowOutcome> carryOutRenamePlan(const RenamePlan &plan, WorkControl *control)
{
    QList<RowOutcome> outcomes = plan.outcomes;
    RenameRun(plan, outcomes, control).runAll();
    return outcomes;
}
