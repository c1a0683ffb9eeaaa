#include "app/main_window.h"

#include "about/help_launch.h"
#include "app/column_list_model.h"
#include "app/found_entries_model.h"
#include "app/long_work_progress.h"
#include "app/table_check_line.h"
#include "steps/workbook_choice.h"
#include "ui/app_icon.h"
#include "ui/dialogs.h"
#include "ui/product.h"
#include "ui/twips.h"
#include "ui/wrapping_push_button.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>

#include <chrono>

namespace {
constexpr int clientWidthTwips = 13635;
constexpr int clientHeightTwips = 7380;
// A stop comes between two entries or units; a step that has not stopped by
// then is in a call to a share that stopped answering, which may never
// return.
constexpr std::chrono::seconds closingWaitsAtMost(1);

template <typename Control>
Control *named(Control *control, const char *name)
{
    control->setObjectName(QLatin1String(name));
    return control;
}
} // namespace

MainWindow::MainWindow(Dialogs &userDialogs, SpreadsheetStarters officeStarters)
    : dialogs(userDialogs)
    , starters(std::move(officeStarters))
    , session(starters.hidden)
    , found(new FoundEntriesModel(this))
{
    setWindowTitle(mainWindowTitle());
    setWindowIcon(quillmereIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);

    addPatternAction = named(menuBar()->addAction(QStringLiteral("添加文件类型")), "file");
    undoAction = named(menuBar()->addAction(QStringLiteral("撤销更名")), "undo");
    helpAction = named(menuBar()->addAction(QStringLiteral("帮助")), "help");
    aboutAction = named(menuBar()->addAction(QStringLiteral("关于")), "about");

    setCentralWidget(buildClientArea());
    resize(startClientSize() + QSize(0, menuBar()->sizeHint().height()));
    // Below the client area, whose controls keep their places and sizes: the
    // window grows by the line once there is something to say.
    checkLine = new TableCheckLine(session, this);
    statusBar()->addWidget(checkLine, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->hide();
    connect(checkLine, &TableCheckLine::firstShown, this, [this] {
        statusBar()->show();
        resize(width(), height() + statusBar()->sizeHint().height());
    });

    connect(scanButton, &QPushButton::clicked, this, &MainWindow::chooseFolderAndScan);
    connect(tableButton, &QPushButton::clicked, this, &MainWindow::chooseWorkbookAndWriteTable);
    connect(renameButton, &QPushButton::clicked, this, &MainWindow::renameFromTable);
    connect(patternBox, &QComboBox::activated, this, &MainWindow::clearListsForChosenPattern);
    connect(undoAction, &QAction::triggered, this, &MainWindow::undoLastRename);
    connect(helpAction, &QAction::triggered, this, &MainWindow::openHelp);
    connect(aboutAction, &QAction::triggered, this, &MainWindow::showAbout);
    connect(&session, &StepSession::busyChanged, this, &MainWindow::showStepRunning);
    // Made first, so that it hears of a question before the question's box opens.
    new LongWorkProgress(session, dialogs, this);
    connect(&session, &StepSession::questionAsked, this, &MainWindow::askForSession);
    connect(&session, &StepSession::ended, this, &MainWindow::showStepEnd);

    fillPatternPresets();
    offerRecoveryOfCutOffRenames();
}

MainWindow::~MainWindow() = default;

QSize MainWindow::startClientSize() const
{
    return twipsSize(clientWidthTwips, clientHeightTwips, *this);
}

void MainWindow::place(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(twipsRect(left, top, width, height, *this));
}

QFrame *MainWindow::line(QWidget *container, const char *name, int x1, int y1, int x2, int y2)
{
    auto *segment = named(new QFrame(container), name);
    segment->setFrameShape(x1 == x2 ? QFrame::VLine : QFrame::HLine);
    segment->setFrameShadow(QFrame::Plain);
    segment->setLineWidth(1);
    const int onePixelInTwips = twipsPerPixel(*this);
    place(segment, x1, y1, std::max(x2 - x1, onePixelInTwips), std::max(y2 - y1, onePixelInTwips));
    return segment;
}

// Controls are created back to front: a later sibling lies in front of an
// earlier one, so the large frame `h` comes first and the buttons, which
// cover the ends of the connector lines, come after it.
QWidget *MainWindow::buildClientArea()
{
    auto *client = new QWidget;

    stepsBox = named(new QGroupBox(QStringLiteral("Tarnwick（含子目录文件）"), client), "h");
    place(stepsBox, 120, 120, 13335, 6975);

    nameList = named(new QListView(stepsBox), "List2");
    place(nameList, 8040, 480, 5055, 2580);

    patternFrame = named(new QGroupBox(QStringLiteral("文件类型"), stepsBox), "Frame1");
    place(patternFrame, 240, 3360, 4455, 735);
    patternBox = named(new QComboBox(patternFrame), "Combo1");
    patternBox->setEditable(true);
    // Typing must not change the list or the text behind the user's back.
    patternBox->setInsertPolicy(QComboBox::NoInsert);
    patternBox->setDuplicatesEnabled(true);
    patternBox->setCompleter(nullptr);
    place(patternBox, 240, 240, 3855, 300);

    renamedList = named(new QListWidget(stepsBox), "List3");
    place(renamedList, 5160, 3480, 7935, 3300);

    pointingHand = named(new QLabel(stepsBox), "Image1");
    pointingHand->setPixmap(pointingHandPixmap());
    place(pointingHand, 240, 4200, 480, 480);

    line(stepsBox, "Line2", 1200, 4440, 1200, 6240);
    line(stepsBox, "Line4", 1200, 5400, 1680, 5400);
    line(stepsBox, "Line5", 1200, 6240, 2400, 6240);

    folderList = named(new QListView(client), "List1");
    place(folderList, 240, 600, 7695, 2580);

    scanButton = named(new WrappingPushButton(QStringLiteral("【1】->选择目录"), client), "Command1");
    place(scanButton, 1080, 4440, 2175, 615);
    tableButton = named(new WrappingPushButton(QStringLiteral("【2】->选择EXCEL文件；        建立命名规则"), client),
                     "Command2");
    place(tableButton, 1800, 5280, 2175, 615);
    renameButton = named(new WrappingPushButton(QStringLiteral("【3】->确定重命名"), client), "Command3");
    place(renameButton, 2400, 6240, 2175, 615);

    scanReportFrame = named(new QGroupBox(QStringLiteral("目录信息"), client), "Frame2");
    place(scanReportFrame, 600, 8040, 2895, 1095);
    scanReport = named(new QPlainTextEdit(client), "Text1");
    scanReport->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scanReport->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    place(scanReport, 840, 8280, 2415, 615);

    renameReportFrame = named(new QGroupBox(QStringLiteral("修改文件名信息"), client), "Frame3");
    place(renameReportFrame, 4560, 7800, 2895, 1335);
    renameReport = named(new QLineEdit(client), "Text2");
    place(renameReport, 4800, 8160, 2415, 735);

    folderList->setModel(new ColumnListModel(found, FoundEntriesModel::FolderColumn, folderList));
    nameList->setModel(new ColumnListModel(found, FoundEntriesModel::NameColumn, nameList));
    for (QListView *list : {folderList, nameList})
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height, so a million rows cost nothing to lay
    // out; measured one by one, step 3's 65,535 new names held the window
    // for half a second.
    for (QListView *list : std::initializer_list<QListView *>{folderList, nameList, renamedList})
        list->setUniformItemSizes(true);
    for (QAbstractItemView *list : std::initializer_list<QAbstractItemView *>{folderList, nameList, renamedList})
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (QWidget *passive : std::initializer_list<QWidget *>{stepsBox, patternFrame, scanReportFrame, renameReportFrame, pointingHand})
        passive->setFocusPolicy(Qt::NoFocus);

    QWidget *const focusOrder[] = {folderList, scanButton, tableButton, renameButton, nameList, renamedList, patternBox, scanReport, renameReport};
    for (size_t i = 1; i < std::size(focusOrder); ++i)
        setTabOrder(focusOrder[i - 1], focusOrder[i]);
    folderList->setFocus();
    return client;
}

void MainWindow::fillPatternPresets()
{
    patternBox->addItems({QStringLiteral("*.dwg"), QStringLiteral("*.xls"), QStringLiteral("*.doc"),
                      QStringLiteral("*.pdf"), QStringLiteral("*.jpg"), QStringLiteral("*.bmp"),
                      QStringLiteral("*.*")});
    patternBox->setCurrentIndex(-1);
    patternBox->setEditText(QStringLiteral("*.*"));
}

void MainWindow::clearListsForChosenPattern()
{
    found->clear();
    renamedList->clear();
}

void MainWindow::chooseFolderAndScan()
{
    if (session.isBusy())
        return;
    const QString folder = dialogs.chooseFolder(this);
    if (folder.isEmpty()) {
        dialogs.showMessage(this, QStringLiteral("请选择目录"));
        return;
    }
    found->clear();
    session.startScan(folder, patternBox->currentText());
}

void MainWindow::showStepRunning(bool running)
{
    for (QPushButton *stepButton : {scanButton, tableButton, renameButton})
        stepButton->setEnabled(!running);
    undoAction->setEnabled(!running);
    if (running)
        busyPointer.emplace();
    else
        busyPointer.reset();
}

void MainWindow::askForSession(const JobQuestion &question)
{
    for (const QString &message : question.messagesFirst)
        dialogs.showMessage(this, message);
    if (question.choices.isEmpty())
        session.answer(dialogs.askYesNo(this, question.text) ? answeredYes : answeredNo);
    else
        session.answer(dialogs.askChoice(this, question.text, question.choices, question.defaultChoice));
}

void MainWindow::showStepEnd(const StepEnd &end)
{
    if (end.found)
        found->setEntries(*end.found);
    if (end.scanReport)
        scanReport->setPlainText(*end.scanReport);
    renamedList->addItems(end.renamed);
    if (end.countText)
        renameReport->setText(*end.countText);
    // A window that is closing says nothing more: what was done shows in the
    // lists.
    if (closing)
        return;
    for (const QString &message : end.messages)
        dialogs.showMessage(this, message);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    closing = true;
    QString leftRunning;
    const bool ended = session.cancelAndWait(closingWaitsAtMost, &leftRunning);
    closing = false;
    if (!ended && !leftRunning.isEmpty())
        dialogs.showMessage(this, leftRunning);
    QMainWindow::closeEvent(event);
}

void MainWindow::chooseWorkbookAndWriteTable()
{
    if (session.isBusy())
        return;
    // Kept at once, before any test: cancelling forgets an earlier workbook.
    session.chooseWorkbook(workbookPathFor(dialogs.chooseFileToOpenOrCreate(this, workbookFileFilters())));
    if (session.workbookPath().isEmpty()) {
        dialogs.showMessage(this, QStringLiteral("没有选择文件,请重新选择"));
        return;
    }
    session.startTableWriting(starters.visible, found->entries());
}

void MainWindow::renameFromTable()
{
    if (session.isBusy())
        return;
    if (session.workbookPath().isEmpty()) {
        dialogs.showMessage(this, QStringLiteral("请先做前2步;否则不能批量命名"));
        return;
    }
    renamedList->clear();
    session.startStepThree(starters.unsavedChanges);
}

void MainWindow::undoLastRename()
{
    session.startUndo();
}

void MainWindow::offerRecoveryOfCutOffRenames()
{
    session.startRecovery();
}

void MainWindow::openHelp()
{
    openHelpDocument(this, dialogs);
}

void MainWindow::showAbout()
{
    showAboutWindow(aboutWindow);
}
