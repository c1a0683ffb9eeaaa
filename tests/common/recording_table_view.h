#pragma once

#include "steps/naming_table_export.h"

#include <QStringList>

// Step 2's view as a test sees it: every message is added to `messages`.
struct RecordingTableView : NamingTableView {
    explicit RecordingTableView(QStringList &into) : messages(into) {}
    void showMessage(const QString &text) override { messages << text; }
    QStringList &messages;
};
