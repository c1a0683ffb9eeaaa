#pragma once

#include "search/found_entries.h"
#include "work/work_control.h"

#include <QString>
#include <QStringList>

#include <optional>

// How far a job has got, as a progress window shows it.
struct StepProgress {
    QString text;
    qint64 done = 0;
    qint64 total = 0; // 0: not known, shown as a busy bar
};

// What a job leaves for the window to show once it has ended: each field is
// shown where the window shows it, and left as it is when empty.
struct StepEnd {
    // Step 1: the found entries for the two lists, and the text of its report.
    std::optional<FoundEntries> found = {};
    std::optional<QString> scanReport = {};
    // Step 3: names added to the renamed-files list, and the count box's text.
    QStringList renamed = {};
    std::optional<QString> countText = {};
    // One message box each, in order.
    QStringList messages = {};
};

// A question a job puts to the user between two pieces of its work, after
// the messages to be read first: 是 or 否, or one of `choices`.
struct JobQuestion {
    QStringList messagesFirst;
    QString text;
    // Empty for a question of 是 (answer 0) and 否 (answer 1).
    QStringList choices = {};
    // The answer when the user closes the box; 否 for a yes/no question.
    int defaultChoice = 1;
};

// The answers to a yes/no question.
inline constexpr int answeredYes = 0;
inline constexpr int answeredNo = 1;

// A long piece of a step's work: started, possibly stopped, and ended with
// one StepEnd. Its work runs in pieces on a thread beside the window's; a
// piece ends at the job's end or where the user must answer a question, and
// the next piece carries out the answer. A runner (StepSession in the
// window, runToEnd in tests) calls, in this order: run(); then, while
// question() gives one and stop() was not asked for, answer() and run()
// again; then end(). Nothing of a job is called from two threads at once,
// except stop() and progress(), which any thread may call at any time.
class Job {
public:
    virtual ~Job() = default;

    // The next piece of work, on the work thread.
    virtual void run() = 0;
    // After a piece: what the user must answer before the next, or nothing
    // when the work has ended. A job of one piece asks nothing.
    virtual std::optional<JobQuestion> question() { return std::nullopt; }
    // The user's answer to question(): answeredYes or answeredNo, or the
    // index of the choice taken. The next run() carries it out.
    virtual void answer(int) {}
    // What to show now that the job has ended, whether it ran to its end,
    // was stopped, or was let go of (letGoWhenStopped).
    virtual StepEnd end() = 0;
    // How far the work has got; cheap enough to ask often.
    virtual StepProgress progress() const = 0;

    // Whether a piece that is stopped may be let go of, rather than waited
    // for: true only while it is in a call that cannot be interrupted and
    // that leaves nothing half done (an office starting or reading). end()
    // is then called while that piece still runs, and must read nothing the
    // piece writes.
    virtual bool letGoWhenStopped() const { return false; }

    // Once stopped, while a piece is still in a call that has not returned
    // (a share that stopped answering): what the user is told when the
    // program ends without waiting for it, which leaves the work as a kill
    // would; empty when that leaves nothing to put right. Called while the
    // piece runs: reads nothing but what it writes atomically.
    virtual QString endedWithoutWaitingText() const { return {}; }

    // Asks the work to stop at its next stopping point; returns at once.
    void stop() { work.requestStop(); }
    bool stopRequested() const { return work.stopRequested(); }

protected:
    WorkControl work;
};
