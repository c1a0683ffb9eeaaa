#include "rename/undecodable_names.h"

#include "rename/entry_identity.h"

#include <QFile>

bool UndecodableNames::judgeRow(const NamingTableRow &row, RowOutcome &outcome)
{
    const QString &folder = *row.folder;
    bool ambiguous = isAmbiguous(folder, *row.currentName);
    // The rows listed inside an undecodable folder read like rows of its
    // look-alike, and would rename the look-alike's entries.
    if (folder.contains(QChar::ReplacementCharacter)) {
        for (qsizetype start = 1, slash = folder.indexOf(u'/', start); !ambiguous && slash > 0;
             start = slash + 1, slash = folder.indexOf(u'/', start))
            ambiguous = isAmbiguous(folder.left(start), folder.sliced(start, slash - start));
    }
    if (ambiguous)
        outcome.problem = RowProblem::CurrentNameReadsLikeUndecodableName;
    return !ambiguous;
}

bool UndecodableNames::isAmbiguous(const QString &folder, const QString &name)
{
    return name.contains(QChar::ReplacementCharacter) && readingsIn(folder).contains(name) &&
           entryStatusOf(folder + name).has_value();
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
