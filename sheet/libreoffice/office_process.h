#pragma once

#include "sheet/sheet_result.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>
#include <sys/types.h>

// An office process that we started. It runs in a session of its own, so the
// launcher and the office it spawns can be ended together without touching
// anything else of the user's. It has no lock: use it from one thread at a
// time.
class OfficeProcess {
public:
    // Runs `program` in this program's environment, with the variables of
    // `environmentChanges` ("NAME=value") set in place of their own. Fails
    // when `program` cannot be run at all.
    static SheetResult<std::unique_ptr<OfficeProcess>> start(const QString &program, const QStringList &arguments,
                                                             const QStringList &environmentChanges = {});

    // Ends the process group unless it has exited or was left to run.
    ~OfficeProcess();
    OfficeProcess(const OfficeProcess &) = delete;
    OfficeProcess &operator=(const OfficeProcess &) = delete;

    // The exit status once the process has ended (collected without blocking).
    std::optional<int> exitStatus();
    bool waitForExit(std::chrono::milliseconds limit);
    // Kills the launcher and every process of its session, then collects it.
    void kill();
    // Leaves the process running; a background thread collects it when it ends,
    // so closing its window later leaves no defunct process behind.
    void leaveRunning();
    // Makes sure the process group ends with this program, even if the program
    // is killed: a small watcher ends the group within a second of our exit.
    // Fails when the watcher cannot be started.
    SheetStatus endWithThisProgram();

private:
    explicit OfficeProcess(pid_t started) : pid(started) {}

    pid_t pid;
    std::optional<int> status;
    bool leftRunning = false;
};
