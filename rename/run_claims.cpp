#include "rename/run_claims.h"

#include "rename/entry_identity.h"
#include "rename/rename_no_replace.h"
#include "rename/run_survey.h"

#include <QSet>

#include <utility>

qsizetype removeLeftClaims(const RunRecord &run, const QList<LocatedEntry> &entries)
{
    if (run.end != RunEnd::Running || run.claims.isEmpty())
        return 0;
    RunSurvey survey;
    for (const LocatedEntry &entry : entries) {
        if (entry.awayFromOldName())
            survey.noteMoved(entry.originalPath, entry.currentPath);
        else if (!entry.found() && entry.renamed())
            survey.noteMoved(entry.originalPath, entry.changedSincePath);
    }
    QSet<std::pair<quint64, quint64>> runEntries;
    QSet<QString> claimable;
    for (const PlannedStep &step : run.steps) {
        runEntries.insert({step.entry.device, step.entry.inode});
        // An entry the run could not identify may be what stands at its
        // step's new path, empty and with its status changed by the run.
        if (step.entry != EntryId())
            claimable.insert(step.newPath);
    }

    qsizetype removed = 0;
    const QStringList claims(QSet<QString>(run.claims.cbegin(), run.claims.cend()).values());
    for (const QString &claim : claims) {
        if (!claimable.contains(claim))
            continue;
        const QString path = survey.now(claim);
        const std::optional<EntryStatus> there = entryStatusOf(path);
        if (!there || runEntries.contains({there->id.device, there->id.inode}))
            continue;
        if (removeLeftClaim(path, run.started).ok())
            ++removed;
    }
    return removed;
}
