#include "app/table_check_line.h"

#include "steps/step_session.h"
#include "steps/table_check_texts.h"
#include "ui/product.h"

#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <chrono>

namespace {
using namespace std::chrono_literals;
// Often enough that the line follows a save within a fraction of a second
// of its check, and cheap: one look at a number under a lock.
constexpr auto lookedEvery = 250ms;

QDialog *rowsWindowFor(const TableCheck &check, QWidget *owner)
{
    auto *window = new QDialog(owner);
    window->setObjectName(QStringLiteral("checkRows"));
    window->setWindowTitle(applicationTitle());
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto *table = new QTableWidget(int(check.findings.size()), 5, window);
    table->setObjectName(QStringLiteral("checkRowsTable"));
    table->setHorizontalHeaderLabels({QStringLiteral("行号"), QStringLiteral("目录"), QStringLiteral("文件名"),
                                      QStringLiteral("新文件名"), QStringLiteral("问题")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int row = 0; row < check.findings.size(); ++row) {
        const RowFinding &finding = check.findings[row];
        const QStringList cells{QString::number(finding.rowNumber), QDir::toNativeSeparators(finding.folder),
                                finding.currentName, finding.newName, findingReason(finding)};
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    table->resizeColumnsToContents();
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(table);
    window->resize(720, 360);
    return window;
}

} // namespace

TableCheckLine::TableCheckLine(StepSession &stepSession, QWidget *parent)
    : QWidget(parent)
    , session(stepSession)
    , line(new QLabel(this))
    , viewButton(new QPushButton(QStringLiteral("查看"), this))
{
    setObjectName(QStringLiteral("checkLine"));
    line->setObjectName(QStringLiteral("checkText"));
    viewButton->setObjectName(QStringLiteral("checkView"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(line, 1);
    layout->addWidget(viewButton);
    viewButton->hide();
    hide();
    connect(viewButton, &QPushButton::clicked, this, &TableCheckLine::showRows);
    ticks.setInterval(lookedEvery);
    connect(&ticks, &QTimer::timeout, this, &TableCheckLine::follow);
    ticks.start();
}

QString TableCheckLine::text() const
{
    return line->text();
}

void TableCheckLine::follow()
{
    SaveCheck latest = session.latestSaveCheck();
    if (latest.number == shown.number)
        return;
    const bool first = shown.number == 0;
    shown = std::move(latest);
    line->setText(shown.check ? checkStatusText(*shown.check, shown.saved) : checkWaitsForNextSaveText(shown.saved));
    viewButton->setVisible(shown.check && !shown.check->findings.isEmpty());
    if (first) {
        show();
        emit firstShown();
    }
}

void TableCheckLine::showRows()
{
    if (!shown.check)
        return;
    if (rowsWindow)
        rowsWindow->close();
    rowsWindow = rowsWindowFor(*shown.check, window());
    rowsWindow->show();
}
