#include "rename/row_judgement.h"

#include "rename/invisible_characters.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(u'\0'));
}

// What is wrong with the non-empty `name` as an entry's name, or None. Besides
// what the system refuses, names whose ends or characters the user cannot see
// are refused: such a file could hardly be found or named again, and a space
// left at the end of a cell is almost always a slip.
RowProblem newNameProblem(const QString &name, RowProblemDetails &details)
{
    // An unpaired surrogate has no UTF-8 form, so no file can bear the name.
    if (!name.isValidUtf16())
        return RowProblem::NewNameInvalidUtf16;
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; }))
        return RowProblem::NewNameControlCharacter;
    // Format characters show nothing, or turn the text around: "n5.txt" with
    // a zero-width space looks like "n5.txt", and U+202E makes "gpj.exe" read
    // as "exe.jpg".
    // Others show nothing either: U+034F, fillers such as U+3164, variation
    // selectors; and U+2028 only breaks the line.
    const QList<uint> characters = name.toUcs4();
    for (const char32_t c : characters) {
        if (QChar::category(c) == QChar::Other_Format) {
            details = FormatCharacter{c};
            return RowProblem::NewNameFormatCharacter;
        }
        if (showsNothing(c)) {
            details = FormatCharacter{c};
            return RowProblem::NewNameInvisibleCharacter;
        }
    }
    if (std::all_of(name.begin(), name.end(), [](QChar c) { return c.isSpace(); }))
        return RowProblem::NewNameOnlyWhitespace;
    // Combining marks with nothing to sit on, and blank symbols, look like
    // spaces: the name would show as empty.
    const auto blank = [](char32_t c) { return QChar::isSpace(c) || QChar::isMark(c) || isBlankSymbol(c); };
    if (std::all_of(characters.begin(), characters.end(), blank)) {
        details = FormatCharacter{*std::find_if_not(characters.begin(), characters.end(),
                                                    [](char32_t c) { return QChar::isSpace(c); })};
        return RowProblem::NewNameNothingVisible;
    }
    if (name.front().isSpace() || name.back().isSpace())
        return RowProblem::NewNameEdgeWhitespace;
    if (!isPlainName(name))
        return RowProblem::NewNameNotPlain;
    return RowProblem::None;
}

RowCells unreadableCells(const NamingTableRow &row)
{
    RowCells cells;
    cells.setFlag(RowCell::Folder, !row.folder);
    cells.setFlag(RowCell::CurrentName, !row.currentName);
    cells.setFlag(RowCell::NewName, !row.newName);
    return cells;
}

// The folder at `folder` with its links resolved; spelt clean when it cannot
// be resolved.
QString resolvedFolder(const QString &folder)
{
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(folder) : resolved;
}

bool refuse(RowOutcome &outcome, RowProblem problem)
{
    outcome.problem = problem;
    return false;
}

} // namespace

bool judgeRowText(const NamingTableRow &row, RowOutcome &outcome)
{
    if (!row.folder || !row.currentName || !row.newName) {
        outcome.details = unreadableCells(row);
        return refuse(outcome, RowProblem::UnreadableCells);
    }
    // An empty new name, or the current one, asks for nothing.
    if (row.newName->isEmpty() || *row.newName == *row.currentName)
        return false;
    // A relative folder would resolve against wherever the program happens
    // to run, which is never what the table meant.
    if (!row.folder->startsWith(u'/'))
        return refuse(outcome, RowProblem::FolderNotAbsolute);
    // The folder's last name would run straight into the current name and
    // name another entry: "/t/2023" with "01.txt" is "/t/202301.txt".
    if (!row.folder->endsWith(u'/'))
        return refuse(outcome, RowProblem::FolderWithoutClosingSlash);
    // A name with "/" would move the entry to another folder, and "." or ".."
    // would name the folder itself or its parent: neither is a rename.
    if (!isPlainName(*row.currentName))
        return refuse(outcome, RowProblem::CurrentNameInvalid);
    if (const RowProblem problem = newNameProblem(*row.newName, outcome.details); problem != RowProblem::None)
        return refuse(outcome, problem);
    return true;
}

TableWorkbook::TableWorkbook(const QString &path)
{
    if (path.isEmpty())
        return;
    if (const std::optional<EntryStatus> entry = entryStatusOf(path))
        ownId = entry->id;
    fileId = resolvedEntryId(path);
    names << QFileInfo(path).fileName() << QFileInfo(QFileInfo(path).canonicalFilePath()).fileName();
    // The window saves to the path as it knows it, through whatever links
    // it holds; the path they lead to is the same entries by other names.
    addSlotsOf(QFileInfo(path).absoluteFilePath());
    if (const QString canonical = QFileInfo(path).canonicalFilePath(); !canonical.isEmpty())
        addSlotsOf(canonical);
}

void TableWorkbook::addSlotsOf(const QString &path)
{
    QString entry = QDir::cleanPath(path);
    const qsizetype fileSize = entry.size();
    for (qsizetype slash = entry.lastIndexOf(u'/'); slash >= 0 && slash + 1 < entry.size(); slash = entry.lastIndexOf(u'/')) {
        const std::optional<EntryStatus> status = entryStatusOf(entry);
        NameSlot slot{resolvedFolder(entry.left(slash + 1)), entry.mid(slash + 1),
                      status ? std::optional(status->id) : std::nullopt};
        (entry.size() == fileSize ? fileSlots : folderSlots).append(slot);
        entry.truncate(slash);
    }
}

bool TableWorkbook::judgeRow(const NamingTableRow &row, RowOutcome &outcome) const
{
    if (isAt(*row.folder, *row.currentName))
        return refuse(outcome, RowProblem::IsTableWorkbook);
    if (isAt(*row.folder, *row.newName) || takes(fileSlots, *row.folder, *row.newName))
        return refuse(outcome, RowProblem::NewNameIsTableWorkbook);
    if (takes(folderSlots, *row.folder, *row.newName))
        return refuse(outcome, RowProblem::NewNameIsTableWorkbookFolder);
    return true;
}

// Whether `name` in `folder` is where one of `places` stands, whichever
// entry bears that name by the time the row runs: another row may first move
// the one there now away.
bool TableWorkbook::takes(const QList<NameSlot> &places, const QString &folder, const QString &name) const
{
    const auto sameLetters = [&name](const NameSlot &slot) { return slot.name.compare(name, Qt::CaseInsensitive) == 0; };
    // Nearly every new name is none of these, and needs no look at the disk.
    if (std::none_of(places.begin(), places.end(), sameLetters))
        return false;
    const QString resolved = resolvedFolder(folder);
    const std::optional<EntryStatus> entry = entryStatusOf(folder + name);
    return std::any_of(places.begin(), places.end(), [&](const NameSlot &slot) {
        // Letter case aside only where the file system ignores it: there the
        // name leads to the very entry that bears the slot's.
        return slot.folder == resolved && sameLetters(slot) &&
               (slot.name == name || (slot.id && entry && entry->id == *slot.id));
    });
}

bool TableWorkbook::isAt(const QString &folder, const QString &name) const
{
    // Only an entry of the same name can be the file itself (letter case
    // aside, for file systems that ignore it); the others need no look.
    if (!names.contains(name, Qt::CaseInsensitive))
        return false;
    const std::optional<EntryStatus> entry = entryStatusOf(folder + name);
    return entry && (entry->id == ownId || entry->id == fileId);
}
