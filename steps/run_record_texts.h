#pragma once

#include "rename/record_storage.h"
#include "rename/run_record_format.h"

#include <QString>

// "无法写入更名记录，没有文件被更名：" with the path and the reason: what step 3
// and undo say when the record a run needs cannot be written.
QString recordFailureMessage(const FileFailure &failure);

// "更名记录已损坏：" with the record's path and the line that shows it: what
// undo and recovery say when they refuse a record (see readRunSteps).
QString damagedRecordMessage(const RunRecord &record);

// What start-up says of the records it cannot read (see
// takeUnreadableRunRecords), given their paths: that their runs can be
// neither undone nor recovered, and where the records are kept.
QString unreadableRecordsMessage(const QStringList &paths);

// What step 3, undo and recovery say when another of them holds the lock
// (RunLock) and they do nothing.
QString anotherRunUnderWayMessage();

// A run's start as the messages name it: date and time, local.
QString runTimeText(const RunRecord &record);
