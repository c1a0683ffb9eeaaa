#pragma once

#include "tests/app/main_window_under_test.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <algorithm>

// Slows every call of one kind below `root` for the lifetime of the object
// (see slow_file_system_shim.c): `variable` names the kind.
class SlowFileSystem {
public:
    SlowFileSystem(const char *variable, int delayMs, const QString &root) : name(variable)
    {
        qputenv(name, QByteArray::number(delayMs) + ':' + QFile::encodeName(root));
    }
    ~SlowFileSystem() { qunsetenv(name); }
    SlowFileSystem(const SlowFileSystem &) = delete;
    SlowFileSystem &operator=(const SlowFileSystem &) = delete;

private:
    const char *const name;
};

// Renames below `root` hang from hang() until release(), or the end of the
// object, as on a share that stopped answering (see slow_file_system_shim.c).
class HungRenames {
public:
    HungRenames(QString gateFile, const QString &root) : gate(std::move(gateFile))
    {
        qputenv(variable, QFile::encodeName(gate) + ':' + QFile::encodeName(root));
    }
    ~HungRenames()
    {
        release();
        qunsetenv(variable);
    }
    HungRenames(const HungRenames &) = delete;
    HungRenames &operator=(const HungRenames &) = delete;

    void hang() const { QFile(gate).open(QIODevice::WriteOnly); }
    // Whether a rename came and now hangs.
    bool waitForARenameToHang() const
    {
        return waitUntil([this] { return QFile::exists(gate + ".held"); });
    }
    void release() const { QFile::remove(gate); }

private:
    static constexpr const char *variable = "QUILLMERE_HANG_RENAMES";
    const QString gate;
};

// The largest gap between the ticks of a 10 ms timer on this thread, which is
// the window's: how long the window went without answering.
class TickGaps {
public:
    TickGaps()
    {
        QObject::connect(&ticks, &QTimer::timeout, [this] {
            largest = std::max(largest, sinceLast.restart());
        });
        ticks.start(10);
        sinceLast.start();
    }
    qint64 largestMs() const { return largest; }

private:
    QTimer ticks;
    QElapsedTimer sinceLast;
    qint64 largest = 0;
};

// The progress window shown, if any: those closed before may still wait to
// be deleted.
inline QProgressDialog *progressOf(const MainWindowUnderTest &window)
{
    const QList<QProgressDialog *> all = window.findChildren<QProgressDialog *>("progress");
    const auto shown = std::ranges::find_if(all, [](const QProgressDialog *progress) { return progress->isVisible(); });
    return shown != all.end() ? *shown : window.findChild<QProgressDialog *>("progress");
}

inline bool progressShown(const MainWindowUnderTest &window)
{
    return progressOf(window) && progressOf(window)->isVisible();
}

// Presses 取消 in the progress window, as the user would, and waits for the
// step to end: the milliseconds that took, or -1 when it did not end.
inline qint64 cancelAndTimeTheAnswer(const MainWindowUnderTest &window)
{
    QElapsedTimer answered;
    answered.start();
    progressOf(window)->findChild<QPushButton *>()->click();
    return waitForStepToEnd(window) ? answered.elapsed() : -1;
}
