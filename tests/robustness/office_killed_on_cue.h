#pragma once

#include "sheet/spreadsheet.h"

#include <QList>
#include <QString>

#include <memory>
#include <thread>

// A real hidden office whose process is killed, as a crash would end it, at
// the first call of one chosen operation: just before the call goes out,
// while the call is being served, or once it has returned. Every operation is
// passed on unchanged.
class OfficeKilledOnCue : public Spreadsheet {
public:
    enum class Moment { BeforeCall, DuringCall, AfterCall };

    // Starts the office; null (with the current test failed) when it cannot.
    static std::unique_ptr<OfficeKilledOnCue> start(const QString &operation, Moment moment);
    ~OfficeKilledOnCue() override;

    bool killed() const { return hasKilled; }

    SheetStatus openWorkbook(const QString &path) override;
    SheetStatus openWorkbookForReading(const QString &path) override;
    SheetStatus createWorkbook(const QString &path) override;
    SheetStatus showWindow() override;
    SheetStatus activateFirstSheet() override;
    SheetStatus putTextBlock(qint64 top, qint64 left, const QList<QStringList> &rows) override;
    SheetResult<CellTextRows> readTextBlock(const CellRect &rect) override;
    SheetResult<UsedExtent> usedExtent() override;
    SheetResult<bool> holdsFormulas(const CellRect &rect) override;
    SheetStatus closeWithoutSaving() override;
    SheetStatus fitColumnsToText(qint64 firstColumn, qint64 lastColumn) override;
    SheetStatus widenColumnToMatch(qint64 column, qint64 model) override;
    SheetStatus placeCursor(qint64 row, qint64 column) override;
    SheetStatus clearCells(const QList<CellRect> &rects) override;
    SheetStatus fillRects(const QList<CellRect> &rects, int colorIndex) override;
    SheetStatus clearFill(const CellRect &rect) override;
    SheetStatus runFirstSheetMacro(const QString &name) override;
    SheetStatus quit() override;
    bool isAnswering() override { return office->isAnswering(); }
    QString unresponsiveReason() const override { return office->unresponsiveReason(); }

private:
    OfficeKilledOnCue(std::unique_ptr<Spreadsheet> office, QList<qint64> officeProcesses, QString operation,
                      Moment moment);
    // Called by every operation before it is passed on, and once it returned.
    void cue(const char *called, bool callReturned);
    template <typename Call>
    auto passOn(const char *called, Call call)
    {
        cue(called, false);
        auto result = call();
        cue(called, true);
        return result;
    }
    void killOffice();

    std::unique_ptr<Spreadsheet> office;
    const QList<qint64> officeProcesses;
    const QString operation;
    const Moment moment;
    bool hasKilled = false;
    std::thread delayedKill;
};
