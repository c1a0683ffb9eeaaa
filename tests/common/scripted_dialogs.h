#pragma once

#include "ui/dialogs.h"
#include "tests/common/wait_until.h"
#include "ui/qt_dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QStringList>

#include <algorithm>
#include <chrono>

// Answers dialogs in the user's place: each choose* call takes the next
// scripted answer (an empty text, i.e. cancel, once the script runs out),
// each question the next yes/no answer (否 once the script runs out) or
// the next choice named (the default once the script runs out), and
// everything shown or launched is recorded for the test to read. Launches
// report `desktopOpens`, or go on to `desktop` when a test sets one, so a test
// can watch a real viewer open while its messages are still answered here.
// Progress windows are the real ones, counted in `progressWindows`: the test
// presses their 取消 as the user would, whenever it likes. With
// `questionsOpenFor` set, each question stays open that long, the window's
// events handled meanwhile as under a real question box, before its answer
// comes; `progressWhileAsking` counts the times a progress window was seen
// over an open question.
class ScriptedDialogs : public Dialogs {
public:
    QStringList folderAnswers;
    QStringList fileAnswers;
    QList<bool> yesNoAnswers;
    // For questions with choices: the text of the choice to take; the
    // default once the script runs out.
    QStringList choiceAnswers;

    QStringList fileFilters;
    QStringList messages;
    QStringList questions;
    QStringList launched;

    int progressWindows = 0;
    std::chrono::milliseconds questionsOpenFor{0};
    int progressWhileAsking = 0;

    bool desktopOpens = true;
    Dialogs *desktop = nullptr;

    QString chooseFolder(QWidget *) override { return takeFirst(folderAnswers); }
    QString chooseFileToOpenOrCreate(QWidget *, const QString &filters) override
    {
        fileFilters << filters;
        return takeFirst(fileAnswers);
    }
    void showMessage(QWidget *, const QString &text) override { messages << text; }
    bool askYesNo(QWidget *, const QString &question) override
    {
        questions << question;
        if (questionsOpenFor.count() > 0) {
            QElapsedTimer open;
            open.start();
            waitUntil([&] {
                progressWhileAsking += progressShown() ? 1 : 0;
                return std::chrono::milliseconds(open.elapsed()) >= questionsOpenFor;
            });
        }
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
    int askChoice(QWidget *, const QString &question, const QStringList &choices, int defaultChoice) override
    {
        questions << question;
        const qsizetype chosen = choiceAnswers.isEmpty() ? -1 : choices.indexOf(choiceAnswers.takeFirst());
        return chosen < 0 ? defaultChoice : int(chosen);
    }
    bool openWithDesktop(QWidget *owner, const QString &path) override
    {
        launched << path;
        return desktop ? desktop->openWithDesktop(owner, path) : desktopOpens;
    }

    std::unique_ptr<ProgressWindow> showProgress(QWidget *owner, std::function<void()> cancel) override
    {
        ++progressWindows;
        return QtDialogs().showProgress(owner, std::move(cancel));
    }

private:
    static bool progressShown()
    {
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        return std::ranges::any_of(windows, [](const QWidget *window) {
            return qobject_cast<const QProgressDialog *>(window) && window->isVisible();
        });
    }
    static QString takeFirst(QStringList &answers) { return answers.isEmpty() ? QString() : answers.takeFirst(); }
};
