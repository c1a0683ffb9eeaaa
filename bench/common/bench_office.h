#pragma once

#include "steps/batch_rename_step.h"
#include "sheet/libreoffice/office_launch.h"

#include <QElapsedTimer>

#include <cstdio>

// Step 3's view as a benchmark needs it: how many names were listed and what
// was said or asked; every question is answered 是, which renames every row.
struct CountingRenameView : BatchRenameView {
    qsizetype listed = 0;
    QStringList messages;
    void appendRenamedNames(const QStringList &names) override { listed += names.size(); }
    void setCountText(const QString &) override {}
    void showMessage(const QString &text) override { messages << text; }
    bool askYesNo(const QString &question) override
    {
        messages << question;
        return true;
    }
};

// Starts a hidden office and prints how long that took, since every
// benchmark reports the office start apart from the work it times. Null, with
// the reason printed, when it does not start.
inline std::unique_ptr<CalcOffice> startHiddenOfficeReportingTime()
{
    QElapsedTimer clock;
    clock.start();
    auto started = startLibreOfficeCalc(CalcWindow::Hidden);
    if (!started.ok()) {
        std::printf("office did not start: %s\n", qPrintable(started.error()));
        return nullptr;
    }
    std::printf("office start:      %8.3f s (not part of the times below)\n", clock.nsecsElapsed() / 1e9);
    return std::move(started.value());
}
