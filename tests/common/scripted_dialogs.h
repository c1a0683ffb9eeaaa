#pragma once

#include "ui/dialogs.h"

#include <QStringList>

// Answers dialogs in the user's place: each choose* call takes the next
// scripted answer (an empty text, i.e. cancel, once the script runs out) and
// everything shown or launched is recorded for the test to read.
class ScriptedDialogs : public Dialogs {
public:
    QStringList folderAnswers;
    QStringList fileAnswers;

    QStringList fileFilters;
    QStringList messages;
    QStringList launched;

    QString chooseFolder(QWidget *) override { return takeFirst(folderAnswers); }
    QString chooseOpenFile(QWidget *, const QString &filter) override
    {
        fileFilters << filter;
        return takeFirst(fileAnswers);
    }
    void showMessage(QWidget *, const QString &text) override { messages << text; }
    void openWithDesktop(QWidget *, const QString &path) override { launched << path; }

private:
    static QString takeFirst(QStringList &answers) { return answers.isEmpty() ? QString() : answers.takeFirst(); }
};
