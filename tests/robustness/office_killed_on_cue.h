#pragma once

#include "sheet/libreoffice/calc_office.h"

#include <QList>
#include <QString>

#include <memory>
#include <thread>

// A real hidden office whose process is killed, as a crash would end it, at
// the first call of one chosen operation: just before the call goes out,
// while the call is being served, or once it has returned. The decorators
// below pass every operation of their port on unchanged.
class OfficeKilledOnCue {
public:
    enum class Moment { BeforeCall, DuringCall, AfterCall };

    virtual ~OfficeKilledOnCue();

    bool killed() const { return hasKilled; }

protected:
    OfficeKilledOnCue(QString operation, Moment moment);
    // Starts the office; false (with the current test failed) when it cannot.
    bool startOffice();
    template <typename Call>
    auto passOn(const char *called, Call call)
    {
        cue(called, false);
        auto result = call();
        cue(called, true);
        return result;
    }

    std::unique_ptr<CalcOffice> office;

private:
    // Called by every operation before it is passed on, and once it returned.
    void cue(const char *called, bool callReturned);
    void killOffice();

    QList<qint64> officeProcesses;
    const QString operation;
    const Moment moment;
    bool hasKilled = false;
    std::thread delayedKill;
};

// Step 2's port on an office killed on cue.
class WriterKilledOnCue : public SpreadsheetWriter, public OfficeKilledOnCue {
public:
    // Null (with the current test failed) when the office does not start.
    static std::unique_ptr<WriterKilledOnCue> start(const QString &operation, Moment moment);

    SheetStatus openWorkbook(const QString &path) override;
    SheetStatus createWorkbook(const QString &path) override;
    SheetStatus showWindow() override;
    SheetStatus activateFirstSheet() override;
    SheetStatus putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows) override;
    SheetResult<UsedExtent> usedExtent() override;
    SheetResult<CellTextRows> readTextBlock(const CellRect &rect) override;
    SheetStatus clearCells(const QList<CellRect> &rects) override;
    SheetStatus fitColumnsToText(qint64 firstColumn, qint64 lastColumn) override;
    SheetStatus widenColumnToMatch(qint64 column, qint64 model) override;
    SheetStatus placeCursor(qint64 row, qint64 column) override;
    SheetStatus fillRects(const QList<CellRect> &rects, int colorIndex) override;
    SheetStatus clearFill(const CellRect &rect) override;
    SheetStatus runFirstSheetMacro(const QString &name) override;
    std::optional<SheetFailure> unresponsiveReason() const override { return office->unresponsiveReason(); }

private:
    using OfficeKilledOnCue::OfficeKilledOnCue;
};

// Step 3's port on an office killed on cue.
class ReaderKilledOnCue : public SpreadsheetReader, public OfficeKilledOnCue {
public:
    // Null (with the current test failed) when the office does not start.
    static std::unique_ptr<ReaderKilledOnCue> start(const QString &operation, Moment moment);

    SheetStatus openWorkbookForReading(const QString &path) override;
    SheetStatus closeWithoutSaving() override;
    SheetResult<UsedExtent> usedExtent() override;
    SheetResult<CellTextRows> readTextBlock(const CellRect &rect) override;
    SheetResult<bool> holdsFormulas(const CellRect &rect) override;
    SheetResult<QList<bool>> shownRows(const CellRect &rect) override;
    SheetStatus quit() override;
    bool isAnswering() override { return office->isAnswering(); }

private:
    using OfficeKilledOnCue::OfficeKilledOnCue;
};
