#pragma once

#include "steps/job.h"

#include <QList>
#include <QString>
#include <QStringList>

// The user as a test plays it: each question takes the next scripted answer
// (否 once the script runs out), and everything the job shows is kept.
struct ScriptedUser {
    QList<bool> yesNoAnswers;
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
        job.answer(!user.yesNoAnswers.isEmpty() && user.yesNoAnswers.takeFirst());
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
