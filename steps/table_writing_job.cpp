#include "steps/table_writing_job.h"

#include "steps/naming_table_export.h"

std::shared_ptr<const ListedEntries> listedEntriesOf(const FoundEntries &found)
{
    auto listed = std::make_shared<ListedEntries>();
    for (qsizetype i = 0; i < found.size(); ++i)
        listed->add(found.folderPaths[i], found.fileNames[i], {found.ids[i].device, found.ids[i].inode});
    listed->sort();
    return listed;
}

TableWritingJob::TableWritingJob(StartSpreadsheetWriter start, QString path, FoundEntries found,
                                 std::function<void(std::shared_ptr<const ListedEntries>)> onWritten)
    : startVisible(std::move(start))
    , workbookPath(std::move(path))
    , entries(std::move(found))
    , whenWritten(std::move(onWritten))
{
}

void TableWritingJob::run()
{
    // Kept for the thread that ends the job, where message boxes can be shown.
    struct KeptMessages : NamingTableView {
        QStringList &messages;
        explicit KeptMessages(QStringList &into) : messages(into) {}
        void showMessage(const QString &text) override { messages << text; }
    } view(messages);
    written = exportNamingTable(startVisible, workbookPath, entries, view, &work);
    if (written)
        listed = listedEntriesOf(entries);
}

StepEnd TableWritingJob::end()
{
    if (written && whenWritten)
        whenWritten(listed);
    return {.messages = messages};
}

StepProgress TableWritingJob::progress() const
{
    const qint64 total = work.total();
    const qint64 done = work.done();
    return {QStringLiteral("正在写入命名表：%1 / %2 行").arg(done).arg(total), done, total};
}
