#include "app/main_window.h"

#include "about/help_launch.h"
#include "app/column_list_model.h"
#include "app/found_entries_model.h"
#include "app/window_rename_view.h"
#include "app/window_undo_view.h"
#include "search/directory_scan.h"
#include "steps/batch_rename_step.h"
#include "steps/naming_table_export.h"
#include "steps/scan_step.h"
#include "steps/undo_step.h"
#include "steps/workbook_choice.h"
#include "ui/app_icon.h"
#include "ui/busy_pointer.h"
#include "ui/dialogs.h"
#include "ui/product.h"
#include "ui/twips.h"
#include "ui/wrapping_push_button.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>

namespace {
constexpr int clientWidthTwips = 13635;
constexpr int clientHeightTwips = 7380;

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
    , standbyOffice(starters.hidden)
    , found(new FoundEntriesModel(this))
{
    setWindowTitle(mainWindowTitle());
    setWindowIcon(quillmereIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);

    file = named(menuBar()->addAction(QStringLiteral("添加文件类型")), "file");
    undo = named(menuBar()->addAction(QStringLiteral("撤销更名")), "undo");
    help = named(menuBar()->addAction(QStringLiteral("帮助")), "help");
    about = named(menuBar()->addAction(QStringLiteral("关于")), "about");

    setCentralWidget(buildClientArea());
    resize(startClientSize() + QSize(0, menuBar()->sizeHint().height()));

    connect(Command1, &QPushButton::clicked, this, &MainWindow::chooseFolderAndScan);
    connect(Command2, &QPushButton::clicked, this, &MainWindow::chooseWorkbookAndWriteTable);
    connect(Command3, &QPushButton::clicked, this, &MainWindow::renameFromTable);
    connect(Combo1, &QComboBox::activated, this, &MainWindow::clearListsForChosenPattern);
    connect(undo, &QAction::triggered, this, &MainWindow::undoLastRename);
    connect(help, &QAction::triggered, this, &MainWindow::openHelp);
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);

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

    h = named(new QGroupBox(QStringLiteral("Tarnwick（含子目录文件）"), client), "h");
    place(h, 120, 120, 13335, 6975);

    List2 = named(new QListView(h), "List2");
    place(List2, 8040, 480, 5055, 2580);

    Frame1 = named(new QGroupBox(QStringLiteral("文件类型"), h), "Frame1");
    place(Frame1, 240, 3360, 4455, 735);
    Combo1 = named(new QComboBox(Frame1), "Combo1");
    Combo1->setEditable(true);
    // Typing must not change the list or the text behind the user's back.
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->setDuplicatesEnabled(true);
    Combo1->setCompleter(nullptr);
    place(Combo1, 240, 240, 3855, 300);

    List3 = named(new QListWidget(h), "List3");
    place(List3, 5160, 3480, 7935, 3300);

    Image1 = named(new QLabel(h), "Image1");
    Image1->setPixmap(pointingHandPixmap());
    place(Image1, 240, 4200, 480, 480);

    line(h, "Line2", 1200, 4440, 1200, 6240);
    line(h, "Line4", 1200, 5400, 1680, 5400);
    line(h, "Line5", 1200, 6240, 2400, 6240);

    List1 = named(new QListView(client), "List1");
    place(List1, 240, 600, 7695, 2580);

    Command1 = named(new WrappingPushButton(QStringLiteral("【1】->选择目录"), client), "Command1");
    place(Command1, 1080, 4440, 2175, 615);
    Command2 = named(new WrappingPushButton(QStringLiteral("【2】->选择EXCEL文件；        建立命名规则"), client),
                     "Command2");
    place(Command2, 1800, 5280, 2175, 615);
    Command3 = named(new WrappingPushButton(QStringLiteral("【3】->确定重命名"), client), "Command3");
    place(Command3, 2400, 6240, 2175, 615);

    Frame2 = named(new QGroupBox(QStringLiteral("目录信息"), client), "Frame2");
    place(Frame2, 600, 8040, 2895, 1095);
    Text1 = named(new QPlainTextEdit(client), "Text1");
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    place(Text1, 840, 8280, 2415, 615);

    Frame3 = named(new QGroupBox(QStringLiteral("修改文件名信息"), client), "Frame3");
    place(Frame3, 4560, 7800, 2895, 1335);
    Text2 = named(new QLineEdit(client), "Text2");
    place(Text2, 4800, 8160, 2415, 735);

    List1->setModel(new ColumnListModel(found, FoundEntriesModel::FolderColumn, List1));
    List2->setModel(new ColumnListModel(found, FoundEntriesModel::NameColumn, List2));
    for (QListView *list : {List1, List2}) {
        // Every row has the same height, so a million rows cost nothing to lay out.
        list->setUniformItemSizes(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }
    for (QAbstractItemView *list : std::initializer_list<QAbstractItemView *>{List1, List2, List3})
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (QWidget *passive : std::initializer_list<QWidget *>{h, Frame1, Frame2, Frame3, Image1})
        passive->setFocusPolicy(Qt::NoFocus);

    QWidget *const focusOrder[] = {List1, Command1, Command2, Command3, List2, List3, Combo1, Text1, Text2};
    for (size_t i = 1; i < std::size(focusOrder); ++i)
        setTabOrder(focusOrder[i - 1], focusOrder[i]);
    List1->setFocus();
    return client;
}

void MainWindow::fillPatternPresets()
{
    Combo1->addItems({QStringLiteral("*.dwg"), QStringLiteral("*.xls"), QStringLiteral("*.doc"),
                      QStringLiteral("*.pdf"), QStringLiteral("*.jpg"), QStringLiteral("*.bmp"),
                      QStringLiteral("*.*")});
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(QStringLiteral("*.*"));
}

void MainWindow::clearListsForChosenPattern()
{
    found->clear();
    List3->clear();
}

void MainWindow::chooseFolderAndScan()
{
    const QString folder = dialogs.chooseFolder(this);
    if (folder.isEmpty()) {
        dialogs.showMessage(this, QStringLiteral("请选择目录"));
        return;
    }
    BusyPointer busy;
    found->clear();
    ScanResult result = scanFolder(folder, Combo1->currentText());
    found->setEntries(std::move(result.entries));
    Text1->setPlainText(scanReportText(result.summary, QLocale::system()));
}

void MainWindow::chooseWorkbookAndWriteTable()
{
    // Kept at once, before any test: cancelling forgets an earlier workbook.
    workbook = workbookPathFor(dialogs.chooseFileToOpenOrCreate(this, workbookFileFilters()));
    if (workbook.isEmpty()) {
        dialogs.showMessage(this, QStringLiteral("没有选择文件,请重新选择"));
        return;
    }
    const bool written = exportNamingTable(starters.visible, workbook, found->entries(),
                                           [this](const QString &text) { dialogs.showMessage(this, text); });
    // The user now types names for a while: time enough to start step 3's
    // office and have it read each save, so that step 3 answers at once.
    if (written)
        standbyOffice.prepare(workbook);
}

void MainWindow::renameFromTable()
{
    if (workbook.isEmpty()) {
        dialogs.showMessage(this, QStringLiteral("请先做前2步;否则不能批量命名"));
        return;
    }
    List3->clear();
    WindowRenameView view(*List3, *Text2, dialogs, this);
    runBatchRename(standbyOffice, workbook, view);
}

void MainWindow::undoLastRename()
{
    WindowUndoView view(dialogs, this);
    undoLastRun(view);
}

void MainWindow::offerRecoveryOfCutOffRenames()
{
    WindowUndoView view(dialogs, this);
    offerRecoveryOfCutOffRuns(view);
}

void MainWindow::openHelp()
{
    openHelpDocument(this, dialogs);
}

void MainWindow::showAbout()
{
    showAboutWindow(aboutWindow);
}
