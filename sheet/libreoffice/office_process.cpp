#include "sheet/libreoffice/office_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// This program's environment with `changes` ("NAME=value") in place of the
// variables of the same names.
std::vector<QByteArray> environmentWith(const QStringList &changes)
{
    std::vector<QByteArray> variables;
    QList<QByteArray> changed;
    for (const QString &change : changes)
        changed << change.section(u'=', 0, 0).toLocal8Bit() + '=';
    for (char **variable = environ; *variable; ++variable) {
        const QByteArray entry(*variable);
        if (std::none_of(changed.cbegin(), changed.cend(), [&entry](const QByteArray &name) { return entry.startsWith(name); }))
            variables.push_back(entry);
    }
    for (const QString &change : changes)
        variables.push_back(change.toLocal8Bit());
    return variables;
}

} // namespace

SheetResult<std::unique_ptr<OfficeProcess>> OfficeProcess::start(const QString &program, const QStringList &arguments,
                                                                 const QStringList &environmentChanges)
{
    std::vector<QByteArray> storage;
    storage.push_back(program.toLocal8Bit());
    for (const QString &argument : arguments)
        storage.push_back(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &item : storage)
        argv.push_back(item.data());
    argv.push_back(nullptr);
    std::vector<QByteArray> environment = environmentWith(environmentChanges);
    std::vector<char *> envp;
    for (QByteArray &variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    // The office chatters on its standard streams; none of it is for the user.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int stream : {0, 1, 2})
        posix_spawn_file_actions_addopen(&actions, stream, "/dev/null", stream == 0 ? O_RDONLY : O_WRONLY, 0);

    pid_t pid = 0;
    const int failure = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failure != 0)
        return SheetResult<std::unique_ptr<OfficeProcess>>::failure(
            SheetFailure(SheetFailureKind::ProgramWontStart)
                .withDetail(QString::fromLocal8Bit(std::strerror(failure)))
                .withNames({program}));
    return SheetResult<std::unique_ptr<OfficeProcess>>::success(std::unique_ptr<OfficeProcess>(new OfficeProcess(pid)));
}

OfficeProcess::~OfficeProcess()
{
    if (!leftRunning && !exitStatus())
        kill();
}

std::optional<int> OfficeProcess::exitStatus()
{
    if (status || leftRunning)
        return status;
    int raw = 0;
    if (waitpid(pid, &raw, WNOHANG) == pid)
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return status;
}

bool OfficeProcess::waitForExit(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!exitStatus()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void OfficeProcess::kill()
{
    if (leftRunning || status)
        return;
    // The launcher leads its session, so its id is the group's id; the office
    // it spawned stays in that group even after the launcher is gone.
    ::kill(-pid, SIGKILL);
    int raw = 0;
    while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    status = 128 + SIGKILL;
}

void OfficeProcess::leaveRunning()
{
    if (leftRunning || exitStatus())
        return;
    leftRunning = true;
    std::thread([pid = pid] {
        int raw = 0;
        while (waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

SheetStatus OfficeProcess::endWithThisProgram()
{
    // The watcher also stops once the group is empty, so it never outlives the
    // office long enough to hit a group id that has been handed out again.
    const QString watch = QStringLiteral(
        "while kill -0 \"$0\" 2>/dev/null && kill -0 \"-$1\" 2>/dev/null; do sleep 1; done; "
        "kill -0 \"$0\" 2>/dev/null || kill -KILL \"-$1\" 2>/dev/null");
    auto watcher = start(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), watch, QString::number(getpid()), QString::number(pid)});
    if (!watcher.ok())
        return SheetStatus::failure(watcher.error());
    watcher.value()->leaveRunning();
    return sheetDone();
}
