#include "rename/row_outcome.h"

QList<NamingTableRow> namingTableRows(const QList<QList<TableCell>> &cells, qint64 firstRowNumber)
{
    QList<NamingTableRow> rows;
    rows.reserve(cells.size());
    for (qsizetype i = 0; i < cells.size(); ++i) {
        const QList<TableCell> &rowCells = cells[i];
        const auto cell = [&rowCells](qsizetype column) { return column < rowCells.size() ? rowCells[column] : TableCell(); };
        rows.append({firstRowNumber + i, cell(0), cell(1), cell(2)});
    }
    return rows;
}

RowStatus RowOutcome::status() const
{
    switch (problem) {
    case RowProblem::None:
        if (newName.isEmpty())
            return RowStatus::KeptEmptyNewName;
        return newName == oldName ? RowStatus::UnchangedSameName : RowStatus::Renamed;
    case RowProblem::UnreadableCells:
        return RowStatus::FailedUnreadableCell;
    case RowProblem::IsTableWorkbook:
    case RowProblem::NewNameIsTableWorkbook:
    case RowProblem::NewNameIsTableWorkbookFolder:
        return RowStatus::FailedTableWorkbook;
    case RowProblem::SameEntryAsEarlierRow:
    case RowProblem::CycleBrokenByOtherRow:
        return RowStatus::FailedByOtherRow;
    case RowProblem::StoppedBeforeRun:
        return RowStatus::NotRun;
    case RowProblem::FolderNotAbsolute:
    case RowProblem::FolderWithoutClosingSlash:
    case RowProblem::CurrentNameInvalid:
    case RowProblem::CurrentNameReadsLikeUndecodableName:
    case RowProblem::NewNameInvalidUtf16:
    case RowProblem::NewNameControlCharacter:
    case RowProblem::NewNameFormatCharacter:
    case RowProblem::NewNameInvisibleCharacter:
    case RowProblem::NewNameOnlyWhitespace:
    case RowProblem::NewNameNothingVisible:
    case RowProblem::NewNameEdgeWhitespace:
    case RowProblem::NewNameNotPlain:
    case RowProblem::NewNameBreaksWindowsRule:
    case RowProblem::EntryReplacedSinceListed:
    case RowProblem::RenameFailed:
    case RowProblem::CycleCouldNotStepAside:
        break;
    }
    return RowStatus::FailedRename;
}

bool RowOutcome::failed() const
{
    return problem != RowProblem::None;
}

RenameError RowOutcome::error() const
{
    if (const RenameFailure *failure = std::get_if<RenameFailure>(&details))
        return failure->error;
    return status() == RowStatus::FailedRename ? RenameError::InvalidName : RenameError::Other;
}

QString RowOutcome::systemText() const
{
    const RenameFailure *failure = std::get_if<RenameFailure>(&details);
    return failure ? failure->systemText : QString();
}

char32_t RowOutcome::formatCharacter() const
{
    const FormatCharacter *character = std::get_if<FormatCharacter>(&details);
    return character ? character->code : 0;
}

WindowsNameProblem RowOutcome::windowsNameProblem() const
{
    const WindowsNameProblem *broken = std::get_if<WindowsNameProblem>(&details);
    return broken ? *broken : WindowsNameProblem();
}

char32_t RowOutcome::refusedCharacter() const
{
    const RenameFailure *failure = std::get_if<RenameFailure>(&details);
    return failure ? failure->refusedCharacter : 0;
}
