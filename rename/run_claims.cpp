#include "rename/run_claims.h"

#include "rename/entry_identity.h"
#include "rename/rename_no_replace.h"
#include "rename/run_survey.h"

#include <QSet>

#include <utility>

qsizetype removeLeftClaims(const RunRecord &run, const QList<LocatedEntry> &entries)
{
    if (run.end != RunEnd::Running || run.claims.paths.isEmpty())
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
    const QStringList claims(QSet<QString>(run.claims.paths.cbegin(), run.claims.paths.cend()).values());
    for (const QString &claim : claims) {
        if (!claimable.contains(claim))
            continue;
        const QString path = survey.now(claim);
        const std::optional<EntryStatus> there = entryStatusOf(path);
        if (!there || runEntries.contains({there->id.device, there->id.inode}))
            continue;
        // A record that names the entries its claims made knows each claim
        // by its entry, whatever time the volume stamps on it; an entry it
        // does not name was there before the claim was tried, or came
        // since. An older record names none, nor does one cut off before its
        // first claim stood: there a claim is told by its time.
        const bool byEntry = !run.claims.made.isEmpty();
        if (byEntry && !run.claims.made.contains(claim, there->id))
            continue;
        if ((byEntry ? removeLeftClaim(path, there->id) : removeLeftClaim(path, run.started)).ok())
            ++removed;
    }
    return removed;
}
