#pragma once

#include "steps/batch_rename_step.h"

#include <QString>
#include <QStringList>

// Step 3's view as a test sees it: everything shown is kept.
struct RecordingRenameView : BatchRenameView {
    QStringList renamed;
    QString count;
    QStringList messages;
    void appendRenamedNames(const QStringList &names) override { renamed << names; }
    void setCountText(const QString &text) override { count = text; }
    void showMessage(const QString &text) override { messages << text; }
};
