#pragma once

#include "sheet/libreoffice/office_launch.h"
#include "steps/sheet_failure_texts.h"
#include "tests/common/run_to_end.h"

#include <QElapsedTimer>

#include <cstdio>

// Step 3 as a benchmark sees it: how many names were listed and what was
// said or asked; every question is answered 是, which renames every row.
struct CountingRenameView {
    qsizetype listed = 0;
    QStringList messages;
    virtual ~CountingRenameView() = default;
    void appendRenamedNames(const QStringList &names) { listed += names.size(); }
    virtual void showMessage(const QString &text) { messages << text; }
};

// Runs step 3's `job` to its end, showing in `view` what the window would.
inline void runCounting(Job &&job, CountingRenameView &view)
{
    ScriptedUser user;
    user.yesNoAnswers = QList<bool>(4, true);
    const StepEnd end = runToEnd(job, user);
    view.messages << user.questions;
    view.appendRenamedNames(end.renamed);
    for (const QString &message : end.messages)
        view.showMessage(message);
}

// Starts a hidden office and prints how long that took, since every
// benchmark reports the office start apart from the work it times. Null, with
// the reason printed, when it does not start.
inline std::unique_ptr<CalcOffice> startHiddenOfficeReportingTime()
{
    QElapsedTimer clock;
    clock.start();
    auto started = startLibreOfficeCalc(CalcWindow::Hidden);
    if (!started.ok()) {
        std::printf("office did not start: %s\n", qPrintable(sheetFailureText(started.error())));
        return nullptr;
    }
    std::printf("office start:      %8.3f s (not part of the times below)\n", clock.nsecsElapsed() / 1e9);
    return std::move(started.value());
}
