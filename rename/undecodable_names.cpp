#include "rename/undecodable_names.h"

#include "rename/entry_identity.h"

#include <QFile>

bool UndecodableNames::judgeRow(const NamingTableRow &row, RowOutcome &outcome)
{
    const QString &name = *row.currentName;
    if (!name.contains(QChar::ReplacementCharacter) || !readingsIn(*row.folder).contains(name) ||
        !entryStatusOf(*row.folder + name))
        return true;
    outcome.problem = RowProblem::CurrentNameReadsLikeUndecodableName;
    return false;
}

const QSet<QString> &UndecodableNames::readingsIn(const QString &folder)
{
    if (const auto known = readings.constFind(folder); known != readings.cend())
        return *known;
    QSet<QString> found;
    if (const std::optional<FolderInodes> listing = folderInodes(folder)) {
        for (auto name = listing->inodes.keyBegin(); name != listing->inodes.keyEnd(); ++name) {
            // A name whose reading does not encode back to it cannot be
            // reached by its reading.
            const QString reading = QFile::decodeName(*name);
            if (QFile::encodeName(reading) != *name)
                found.insert(reading);
        }
    }
    return *readings.insert(folder, found);
}
