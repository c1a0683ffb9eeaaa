#include "tests/common/office_test_support.h"

#include "sheet/libreoffice/office_launch.h"
#include "tests/common/wait_until.h"
#include "steps/sheet_failure_texts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

std::unique_ptr<CalcOffice> startHiddenOfficeForTests()
{
    auto started = startLibreOfficeCalc(CalcWindow::Hidden);
    EXPECT_TRUE(started.ok()) << sheetFailureText(started.error()).toStdString();
    return started.ok() ? std::move(started.value()) : nullptr;
}

namespace {

// Office starts dominate the run time, so each kind starts once per run.
class SharedOffices : public ::testing::Environment {
public:
    CalcOffice *get(int slot)
    {
        if (!offices[slot])
            offices[slot] = startHiddenOfficeForTests();
        return offices[slot].get();
    }
    void TearDown() override
    {
        for (auto &office : offices)
            office.reset();
    }

private:
    std::unique_ptr<CalcOffice> offices[2];
};

SharedOffices *const sharedOffices =
    static_cast<SharedOffices *>(::testing::AddGlobalTestEnvironment(new SharedOffices));

} // namespace

CalcOffice *sharedWorkingOffice() { return sharedOffices->get(0); }
CalcOffice *sharedReadingOffice() { return sharedOffices->get(1); }

void makeWorkbook(CalcOffice &office, const QString &path, const QList<QStringList> &rowsFromA1)
{
    const auto created = office.createWorkbook(path);
    ASSERT_TRUE(created.ok()) << sheetFailureText(created.error()).toStdString();
    if (!rowsFromA1.isEmpty()) {
        ASSERT_TRUE(office.putTextBlock(1, 1, rowsFromA1).ok());
        ASSERT_TRUE(office.saveWorkbook().ok());
    }
}

void hideFirstSheetOf(CalcOffice &office, const QString &path, bool protectStructure)
{
    const auto opened = office.openWorkbook(path);
    ASSERT_TRUE(opened.ok()) << sheetFailureText(opened.error()).toStdString();
    const auto hidden = office.hideFirstSheet(protectStructure);
    ASSERT_TRUE(hidden.ok()) << sheetFailureText(hidden.error()).toStdString();
    ASSERT_TRUE(office.saveWorkbook().ok());
}

QList<QStringList> readTexts(CalcOffice &office, const CellRect &rect)
{
    const auto block = office.readTextBlock(rect);
    EXPECT_TRUE(block.ok()) << sheetFailureText(block.error()).toStdString();
    QList<QStringList> texts;
    for (const QList<CellText> &row : block.value()) {
        QStringList line;
        for (const CellText &cell : row)
            line << cell.value_or(QStringLiteral("<unreadable>"));
        texts << line;
    }
    return texts;
}

QString ownOfficePipePrefix()
{
    return officePipePrefix(QCoreApplication::applicationPid());
}

StartSpreadsheetWriter visibleOfficeStarter()
{
    return libreOfficeWriterStarter(CalcWindow::Visible);
}

StartSpreadsheetReader hiddenOfficeStarter()
{
    return libreOfficeReaderStarter(CalcWindow::Hidden);
}

FoundEntries foundEntries(const QStringList &folders, const QStringList &names)
{
    FoundEntries entries;
    for (qsizetype i = 0; i < folders.size(); ++i)
        entries.append(folders[i], names.value(i));
    return entries;
}

QList<qint64> processesMentioning(const QString &text)
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool isProcess = false;
        const qint64 pid = entry.toLongLong(&isProcess);
        if (!isProcess)
            continue;
        if (QString::fromLocal8Bit(commandLineOf(pid)).contains(text))
            found << pid;
    }
    return found;
}

QByteArray commandLineOf(qint64 pid)
{
    QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return commandLine.open(QIODevice::ReadOnly) ? commandLine.readAll() : QByteArray();
}

QList<qint64> ownOfficeProcesses(const char *program)
{
    QList<qint64> found;
    for (qint64 pid : processesMentioning(ownOfficePipePrefix())) {
        if (commandLineOf(pid).contains(program))
            found << pid;
    }
    return found;
}

QList<QSize> calcWindowsShowing(const QString &fileName)
{
    QProcess windows;
    windows.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
    windows.waitForFinished(10000);
    const QRegularExpression line(QStringLiteral("\"%1 - LibreOffice Calc\".*\\)\\s+(\\d+)x(\\d+)\\+")
                                      .arg(QRegularExpression::escape(fileName)));
    QList<QSize> sizes;
    for (auto matches = line.globalMatch(QString::fromLocal8Bit(windows.readAllStandardOutput())); matches.hasNext();) {
        const auto match = matches.next();
        sizes << QSize(match.captured(1).toInt(), match.captured(2).toInt());
    }
    return sizes;
}

QList<qint64> visibleOfficesOfThisProcess(const char *program)
{
    // Our offices are the ones listening on a pipe named after this process.
    QList<qint64> found;
    for (qint64 pid : ownOfficeProcesses(program)) {
        if (!commandLineOf(pid).contains("--headless"))
            found << pid;
    }
    return found;
}

bool endVisibleOfficesLeftToTheUser()
{
    for (qint64 pid : visibleOfficesOfThisProcess("soffice.bin"))
        ::kill(pid_t(pid), SIGKILL);
    return waitUntil([] { return visibleOfficesOfThisProcess("").isEmpty(); });
}

QByteArray flatWorkbook(const QStringList &rowsOfCells, const FlatSheetHiding &hiding)
{
    QByteArray rows;
    for (qsizetype i = 0; i < rowsOfCells.size(); ++i) {
        const char *visibility = hiding.hiddenRows.contains(i)     ? R"( table:visibility="collapse")"
                                 : hiding.filteredRows.contains(i) ? R"( table:visibility="filter")"
                                                                   : "";
        rows += QByteArray("<table:table-row") + visibility + "><table:table-cell/>" + rowsOfCells[i].toUtf8()
                + "</table:table-row>\n";
    }
    QByteArray columns;
    for (qint64 column = 1; column <= 4; ++column) {
        columns += R"(<table:table-column table:style-name="narrow")";
        columns += hiding.hiddenColumns.contains(column) ? R"( table:visibility="collapse"/>)" : "/>";
    }
    const QByteArray autofilter =
        hiding.filteredRows.isEmpty()
            ? QByteArray()
            : R"(<table:database-ranges><table:database-range table:name="__Anonymous_Sheet_DB__0" table:target-range-address="names.A1:names.D)"
                  + QByteArray::number(rowsOfCells.size())
                  + R"(" table:display-filter-buttons="true"><table:filter><table:filter-condition table:field-number="2" table:value="filtered" table:operator="!begins"/></table:filter></table:database-range></table:database-ranges>)";
    return R"(<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2" office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:automatic-styles>
<number:text-style style:name="N1"><number:text-content/><number:text>.jpg</number:text></number:text-style>
<style:style style:name="jpg" style:family="table-cell" style:data-style-name="N1"/>
<number:number-style style:name="N2"><number:number number:decimal-places="0" number:min-integer-digits="4"/></number:number-style>
<style:style style:name="four" style:family="table-cell" style:data-style-name="N2"/>
<style:style style:name="narrow" style:family="table-column"><style:table-column-properties style:column-width="0.2in"/></style:style>
</office:automatic-styles>
<office:body><office:spreadsheet><table:table table:name="names">
)" + columns + "\n" + rows
        + "</table:table>" + autofilter + "</office:spreadsheet></office:body></office:document>\n";
}

QString flatTextCell(const QString &value)
{
    return "<table:table-cell office:value-type=\"string\"><text:p>" + value + "</text:p></table:table-cell>";
}
