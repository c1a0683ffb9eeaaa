#include "steps/run_record_texts.h"

#include <algorithm>

QString recordFailureMessage(const FileFailure &failure)
{
    QString reason;
    switch (failure.kind) {
    case FileFailureKind::NoSpace: reason = QStringLiteral("磁盘空间不足"); break;
    case FileFailureKind::NoPermission: reason = QStringLiteral("没有权限"); break;
    case FileFailureKind::ReadOnlyFileSystem: reason = QStringLiteral("文件系统只读"); break;
    case FileFailureKind::AlreadyExists:
    case FileFailureKind::Other: reason = QStringLiteral("写入失败"); break;
    }
    return QStringLiteral("无法写入更名记录，没有文件被更名：%1（%2：%3）").arg(failure.path, reason, failure.systemText);
}

QString damagedRecordMessage(const RunRecord &record)
{
    return QStringLiteral("更名记录已损坏：%1 第 %2 行的原路径与新路径不在同一个文件夹，没有文件被恢复原名")
        .arg(record.path, QString::number(record.damagedLine));
}

QString unreadableRecordsMessage(const QStringList &paths)
{
    constexpr qsizetype listedLimit = 10;
    QString message = QStringLiteral("有 %1 份更名记录无法读取（可能由较新版本的本程序写下，或已损坏），"
                                     "其中记下的批量更名无法撤销或恢复。记录仍保存在：")
                          .arg(paths.size());
    for (const QString &path : paths.first(std::min(paths.size(), listedLimit)))
        message += u'\n' + path;
    if (paths.size() > listedLimit)
        message += QStringLiteral("\n……另有 %1 份未列出。").arg(paths.size() - listedLimit);
    return message;
}

QString anotherRunUnderWayMessage()
{
    return QStringLiteral("另一个批量更名正在进行，请稍后再试");
}

QString runTimeText(const RunRecord &record)
{
    return record.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
