#pragma once

#include "steps/batch_rename_step.h"

#include <QString>
#include <QStringList>

// Step 3's view as a test sees it: everything shown or asked is kept, and
// each question takes the next scripted answer (否 once the script runs out).
struct RecordingRenameView : BatchRenameView {
    QStringList renamed;
    QString count;
    QStringList messages;
    QStringList questions;
    QList<bool> yesNoAnswers;
    void appendRenamedNames(const QStringList &names) override { renamed << names; }
    void setCountText(const QString &text) override { count = text; }
    void showMessage(const QString &text) override { messages << text; }
    bool askYesNo(const QString &question) override
    {
        questions << question;
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
};
