#pragma once

#include "steps/job.h"

#include <QList>
#include <QString>
#include <QStringList>

// The user as a test plays it: each question takes the next scripted answer
// (否 once the script runs out) or names its choice (the default once the
// script runs out), and everything the job shows is kept.
struct ScriptedUser {
    QList<bool> yesNoAnswers;
    // For questions with choices: the text of the choice to take; the
    // default once the script runs out.
    QStringList choiceAnswers;
    QStringList questions;
    QStringList messages;
    QStringList renamed;
    QString count;
};

// Runs `job` to its end on the calling thread as StepSession runs it beside
// the window, asking `user` each question, and returns its end after adding
// what it shows to `user`.
inline StepEnd runToEnd(Job &job, ScriptedUser &user)
{
    job.run();
    while (!job.stopRequested()) {
        const std::optional<JobQuestion> question = job.question();
        if (!question)
            break;
        user.messages << question->messagesFirst;
        user.questions << question->text;
        if (question->choices.isEmpty()) {
            job.answer(!user.yesNoAnswers.isEmpty() && user.yesNoAnswers.takeFirst() ? answeredYes : answeredNo);
        } else {
            const qsizetype chosen =
                user.choiceAnswers.isEmpty() ? -1 : question->choices.indexOf(user.choiceAnswers.takeFirst());
            job.answer(chosen < 0 ? question->defaultChoice : int(chosen));
        }
        job.run();
    }
    StepEnd end = job.end();
    user.renamed << end.renamed;
    if (end.countText)
        user.count = *end.countText;
    user.messages << end.messages;
    return end;
}

inline StepEnd runToEnd(Job &&job, ScriptedUser &user)
{
    return runToEnd(job, user);
}

inline StepEnd runToEnd(Job &&job)
{
    ScriptedUser user;
    return runToEnd(job, user);
}
