#include "sheet/libreoffice/unsaved_changes_probe.h"

#include "sheet/libreoffice/office_connection.h"
#include "sheet/libreoffice/office_launch.h"
#include "sheet/libreoffice/uno_names.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <com/sun/star/util/XModifiable.hpp>

#include <algorithm>
#include <unistd.h>

namespace {

// Whether an office of this user runs with windows in the user's own profile
// (the default one of this home folder), the one step 2 hands its workbook
// to. Only then is there anything to ask; and handing our connection request
// to the launcher when none runs would start one.
bool usersOfficeRuns()
{
    for (const QString &process : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isNumber = false;
        process.toLongLong(&isNumber);
        if (!isNumber || QFileInfo(QStringLiteral("/proc/") + process).ownerId() != ::getuid())
            continue;
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(process));
        if (!commandLine.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = commandLine.readAll().split('\0');
        if (arguments.isEmpty() || !arguments.first().endsWith("/soffice.bin"))
            continue;
        const bool defaultProfile = std::none_of(arguments.begin(), arguments.end(), [](const QByteArray &argument) {
            return argument == "--headless" || argument.startsWith("-env:UserInstallation=");
        });
        // The default profile lies in the home folder the office was started with.
        QFile environment(QStringLiteral("/proc/%1/environ").arg(process));
        if (defaultProfile && environment.open(QIODevice::ReadOnly) &&
            environment.readAll().split('\0').contains("HOME=" + qgetenv("HOME")))
            return true;
    }
    return false;
}

// A connection of its own to the user's office, opened only to ask and closed
// at once: the office is told to listen on a fresh pipe, asked, and told to
// stop listening, as step 2 leaves it.
class UnsavedChangesProbe : public OfficeConnection {
public:
    UnsavedChangesProbe(QString launcher, std::unique_ptr<OfficeProcess> handOver, QString pipe,
                        std::chrono::milliseconds limit)
        : OfficeConnection(std::move(handOver), std::move(pipe), OfficeOnScreen::Shown),
          launcherPath(std::move(launcher)), bound(limit)
    {
    }

    // An office that does not take the request in time is left listening
    // rather than kept waited for: step 3 must go on.
    ~UnsavedChangesProbe()
    {
        dropConnection();
        auto closer = OfficeProcess::start(launcherPath, {QStringLiteral("--unaccept=%1").arg(acceptString)});
        if (closer.ok() && !closer.value()->waitForExit(bound))
            closer.value()->kill();
    }

    std::optional<bool> ask(const QFileInfo &workbook, std::chrono::milliseconds limit)
    {
        const auto answer = guarded(limit, [&]() -> std::optional<bool> {
            const Reference<util::XModifiable> shown(documentShowing(workbook), UNO_QUERY);
            if (!shown.is())
                return std::nullopt;
            return bool(shown->isModified());
        });
        return answer.ok() ? answer.value() : std::nullopt;
    }

private:
    const QString launcherPath;
    const std::chrono::milliseconds bound;
};

} // namespace

std::optional<bool> usersOfficeShowsUnsavedChanges(const QString &workbookPath, std::chrono::seconds limit)
{
    const QFileInfo workbook(workbookPath);
    if (!workbook.exists() || !usersOfficeRuns())
        return std::nullopt;
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (launcher.isEmpty())
        return std::nullopt;
    const QString pipe = QStringLiteral("pipe,name=%1ask-%2;urp;")
                             .arg(officePipePrefix(QCoreApplication::applicationPid()))
                             .arg(QRandomGenerator::global()->generate64(), 0, 16);
    auto handOver = OfficeProcess::start(launcher, {QStringLiteral("--accept=%1").arg(pipe), QStringLiteral("--nologo"),
                                                    QStringLiteral("--nodefault"), QStringLiteral("--norestore")});
    if (!handOver.ok())
        return std::nullopt;
    UnsavedChangesProbe probe(launcher, std::move(handOver.value()), pipe, limit);
    if (!probe.connect(limit).ok())
        return std::nullopt;
    return probe.ask(workbook, limit);
}
