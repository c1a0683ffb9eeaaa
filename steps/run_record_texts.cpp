#include "steps/run_record_texts.h"

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

QString anotherRunUnderWayMessage()
{
    return QStringLiteral("另一个批量更名正在进行，请稍后再试");
}

QString runTimeText(const RunRecord &record)
{
    return record.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}
