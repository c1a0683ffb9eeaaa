#pragma once

#include "rename/listed_entries.h"
#include "rename/row_outcome.h"
#include "rename/table_check.h"
#include "sheet/spreadsheet_reader.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

// What the check of one save of the watched workbook found, for the window
// to show without being asked.
struct SaveCheck {
    // Counts the saves checked: a new number, a new save.
    quint64 number = 0;
    // When the save was made (the file's modification time).
    QDateTime saved;
    // Nothing when that save could not be read (a formula still being worked
    // out, a file still being written): the check waits for the next one.
    std::optional<TableCheck> check;
};

// The naming table read ahead from the saved workbook while the user types in
// step 2's window, kept for step 3 for as long as the file holds exactly the
// bytes it was read from, and each save checked (checkNamingTable) as soon as
// it is read. One thread looks and reads (look()), others ask.
class TableReadAhead {
public:
    // Reads ahead the workbook at `workbookPath` from now on, each save
    // checked against `listed` when given; rows read from any other workbook
    // are dropped.
    void watch(const QString &workbookPath, std::shared_ptr<const ListedEntries> listed = {});

    // One look at the watched workbook: once the file has settled after a
    // change (the same state at two looks in a row), reads its table through
    // `office`, which opens it read-only and closes it again, and checks it.
    // A read that fails, or that a save overtook, leaves nothing for step 3
    // to use, and a check that waits for the next save.
    void look(SpreadsheetReader &office);

    // The check of the newest save looked at; number 0 before any.
    SaveCheck latestSaveCheck();

    // The rows read from `workbookPath`, when the file there holds exactly
    // the bytes they were read from and none of the table's cells is a
    // formula, whose result could depend on when it is worked out; otherwise
    // nothing. Waits for a read under way.
    std::optional<QList<NamingTableRow>> rowsFor(const QString &workbookPath);

    // Drops what was read and what the last look saw; call it only while no
    // thread looks.
    void forget();

private:
    // What tells one saved state of the workbook from another: its size and
    // times, cheap to look at, decide whether to read it again; the digest of
    // its bytes decides whether rows read from it still hold.
    struct FileStamp {
        qint64 size = 0;
        QDateTime modified;
        QDateTime changed;
        bool operator==(const FileStamp &) const = default;
    };
    // Always of the workbook at `watchedPath`: watching another drops it.
    struct Read {
        FileStamp stamp;
        QByteArray digest;
        // Nothing when the table could not be read or holds formulas.
        std::optional<QList<NamingTableRow>> rows;
    };
    static std::optional<FileStamp> stampOf(const QString &path);
    static QByteArray digestOf(const QString &path);
    static std::optional<Read> readTable(SpreadsheetReader &office, const QString &path, const FileStamp &stamp);

    // The looking thread's own memory of its last look.
    QString lastPath;
    std::optional<FileStamp> lastStamp;

    // Shared with the threads that ask, under `guard`.
    std::mutex guard;
    std::condition_variable readEnded;
    bool reading = false;
    QString watchedPath;
    std::shared_ptr<const ListedEntries> watchedListed;
    std::optional<Read> read;
    SaveCheck lastCheck;
};
