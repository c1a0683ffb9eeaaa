#pragma once

#include "rename/batch_rename.h"
#include "sheet/spreadsheet.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <optional>

// Step 3's private hidden office, started in the background once step 2 has
// written its table, so that step 3 need not wait for an office to start.
// While it waits it reads the naming table ahead whenever the saved workbook
// has settled after a change, so that step 3 need not open it either. At most
// one waits at a time. It never touches the user's own office: it is whatever
// `startHidden` starts.
class StandbyOffice {
public:
    explicit StandbyOffice(StartSpreadsheet startHidden);
    // Quits an office that still waits, once a start or a read under way has
    // ended.
    ~StandbyOffice();
    StandbyOffice(const StandbyOffice &) = delete;
    StandbyOffice &operator=(const StandbyOffice &) = delete;

    // Starts an office in the background unless one waits or is starting
    // already, and from then on reads ahead the table saved at `workbookPath`
    // rather than any workbook named before. Returns at once. A start that
    // fails is forgotten: step 3 then starts its own, and the next call starts
    // another. A read that fails is forgotten, and step 3 reads the table
    // itself.
    void prepare(const QString &workbookPath);

    // For step 3: the rows read ahead from `workbookPath`, when the file there
    // holds exactly the bytes they were read from and none of the table's
    // cells is a formula, whose result could depend on when it is worked out;
    // otherwise nothing. Waits for a read under way. The office keeps waiting.
    std::optional<QList<NamingTableRow>> tableReadAhead(const QString &workbookPath);

    // Waits up to `limit` until a table has been read ahead from the workbook
    // named last; returns whether one has. For callers that must know the
    // read is done, such as benchmarks.
    bool waitForReadAhead(std::chrono::milliseconds limit);

    // For step 3: the waiting office if it still answers (waiting for a start
    // or read under way to end), otherwise one started now, as `startHidden`
    // would. The caller owns what it gets; nothing waits afterwards.
    SheetResult<std::unique_ptr<Spreadsheet>> take();

    // take() as a starter for the steps; valid while this object lives.
    StartSpreadsheet starter();

    // Quits the waiting office, once a start or read under way has ended;
    // nothing waits afterwards.
    void quitWaitingOffice();

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
    // Always of the workbook at `watchedPath`: naming another one drops it.
    struct ReadAhead {
        FileStamp stamp;
        QByteArray digest;
        // Nothing when the table could not be read or holds formulas.
        std::optional<QList<NamingTableRow>> rows;
    };
    static std::optional<FileStamp> stampOf(const QString &path);
    static QByteArray digestOf(const QString &path);
    static std::optional<ReadAhead> readTable(Spreadsheet &office, const QString &path, const FileStamp &stamp);

    SheetResult<std::unique_ptr<Spreadsheet>> startAndWatch();
    SheetResult<std::unique_ptr<Spreadsheet>> endWatching();

    const StartSpreadsheet startHidden;
    std::future<SheetResult<std::unique_ptr<Spreadsheet>>> starting;

    // Shared with the background thread, under `guard`.
    std::mutex guard;
    std::condition_variable changed;
    bool stopping = false;
    bool reading = false;
    QString watchedPath;
    std::optional<ReadAhead> readAhead;
};
