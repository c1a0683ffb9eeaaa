#pragma once

#include "steps/table_read_ahead.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPushButton;
class QDialog;
class StepSession;

// The line below the client area that says what the saved naming table will
// do: at every save of step 2's workbook, as the office standing by has
// checked it (StepSession::latestSaveCheck), without being asked and without
// ever holding up the window. Its 查看 opens the list of the rows the check
// stops at (行号, 目录, 文件名, 新文件名, 问题), the row numbers as the sheet
// shows them. Hidden until the first save has been checked; `firstShown` is
// emitted then, once.
class TableCheckLine : public QWidget {
    Q_OBJECT
public:
    TableCheckLine(StepSession &session, QWidget *parent);

    QString text() const;

signals:
    void firstShown();

private:
    void follow();
    void showRows();

    StepSession &session;
    QTimer ticks;
    QLabel *line;
    QPushButton *viewButton;
    SaveCheck shown;
    QPointer<QDialog> rowsWindow;
};
