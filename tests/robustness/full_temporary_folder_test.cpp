// Step 3 when the temporary folder, where the office writes its copy of the
// sheet, fills up: a table read only in part must never be renamed from.
#include "steps/step_three_job.h"
#include "steps/standby_office.h"
#include "tests/common/office_test_support.h"
#include "tests/common/read_ahead_watch.h"
#include "tests/common/run_to_end.h"
#include "tests/common/temp_tree.h"

#include <QDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <sys/mount.h>

namespace {

// A tmpfs far too small for the sheet's copy, mounted on a folder of its own
// and named as the temporary folder (TMPDIR) while the object lives.
class SmallTemporaryFolder {
public:
    SmallTemporaryFolder()
    {
        mounted = mount("tmpfs", QFile::encodeName(place.path()).constData(), "tmpfs", 0, "size=256k") == 0;
        if (!mounted)
            refusal = std::strerror(errno);
    }
    ~SmallTemporaryFolder()
    {
        useAsTemporaryFolder(false);
        if (mounted)
            umount2(QFile::encodeName(place.path()).constData(), MNT_DETACH);
    }
    SmallTemporaryFolder(const SmallTemporaryFolder &) = delete;
    SmallTemporaryFolder &operator=(const SmallTemporaryFolder &) = delete;

    void useAsTemporaryFolder(bool use)
    {
        if (use) {
            previous = qgetenv("TMPDIR");
            qputenv("TMPDIR", QFile::encodeName(place.path()));
        } else if (previous) {
            qputenv("TMPDIR", *previous);
            previous.reset();
        }
    }

    QString path() const { return place.path(); }
    bool mounted = false;
    std::string refusal;

private:
    QTemporaryDir place;
    std::optional<QByteArray> previous;
};

class FullTemporaryFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!small.mounted)
            GTEST_SKIP() << "a tmpfs cannot be mounted here (" << small.refusal << "); run the tests as root";
        CalcOffice *maker = sharedWorkingOffice();
        ASSERT_NE(maker, nullptr);
        QList<QStringList> table{{"序号", "目录", "文件名", "新文件名"}};
        for (int i = 0; i < 10000; ++i) {
            const QString name = QStringLiteral("f%1.dat").arg(i, 5, 10, QLatin1Char('0'));
            tree.makeFile("files/" + name, name.toUtf8());
            table.append({"", tree.path("files") + "/", name, QStringLiteral("renamed-%1.dat").arg(i, 5, 10, QLatin1Char('0'))});
        }
        makeWorkbook(*maker, workbook, table);
        before = folderListing(tree.path("files"));
    }

    void expectNothingRenamedAndTheCauseNamed(const ScriptedUser &view)
    {
        ASSERT_EQ(view.messages.size(), 1);
        EXPECT_TRUE(view.messages[0].startsWith("无法读取命名表，没有文件被更名：")) << view.messages[0].toStdString();
        EXPECT_TRUE(view.messages[0].contains("临时文件夹 " + small.path() + " 已满")) << view.messages[0].toStdString();
        EXPECT_TRUE(view.renamed.isEmpty());
        EXPECT_EQ(folderListing(tree.path("files")), before);
    }

    SmallTemporaryFolder small;
    TempTree tree;
    const QString workbook = tree.path("table.xls");
    QStringList before;
};

TEST_F(FullTemporaryFolder, StepThreeRenamesNothingAndSaysWhy)
{
    CalcOffice *office = sharedReadingOffice();
    ASSERT_NE(office, nullptr);
    small.useAsTemporaryFolder(true);

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(*office, workbook), view);

    expectNothingRenamedAndTheCauseNamed(view);
}

// The waiting office's read ahead fails alike; step 3 then reads the table
// itself and says why that failed too.
TEST_F(FullTemporaryFolder, TableReadAheadInPartIsNotUsed)
{
    ReadAheadWatch readAhead;
    StandbyOffice standby(readAhead.starter([this] {
        auto started = hiddenOfficeStarter()();
        small.useAsTemporaryFolder(true);
        return started;
    }));
    standby.prepare(workbook);
    ASSERT_TRUE(readAhead.waitForRead(std::chrono::minutes(2)));

    ScriptedUser view;

    view.choiceAnswers << "更名其余各行";
    runToEnd(StepThreeJob(standby, workbook), view);

    expectNothingRenamedAndTheCauseNamed(view);
}

} // namespace
