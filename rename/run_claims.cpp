#include "rename/run_claims.h"

#include "rename/entry_identity.h"
#include "rename/rename_no_replace.h"
#include "rename/run_survey.h"

#include <QSet>

#include <utility>

qsizetype removeLeftClaims(const RunRecord &run, const QList<LocatedEntry> &entries)
{
    if (run.end != RunEnd::Running)
        return 0;
    RunSurvey survey;
    for (const LocatedEntry &entry : entries) {
        if (entry.awayFromOldName())
            survey.noteMoved(entry.originalPath, entry.currentPath);
        else if (!entry.found() && entry.renamed())
            survey.noteMoved(entry.originalPath, entry.changedSincePath);
    }
    QSet<std::pair<quint64, quint64>> runEntries;
    for (const PlannedStep &step : run.steps)
        runEntries.insert({step.entry.device, step.entry.inode});

    qsizetype removed = 0;
    QSet<QString> looked;
    for (const PlannedStep &step : run.steps) {
        if (step.entry == EntryId())
            continue;
        const QString path = survey.now(step.newPath);
        if (looked.contains(path))
            continue;
        looked.insert(path);
        const std::optional<EntryStatus> there = entryStatusOf(path);
        if (!there || runEntries.contains({there->id.device, there->id.inode}))
            continue;
        if (removeLeftClaim(path, run.started).ok())
            ++removed;
    }
    return removed;
}
