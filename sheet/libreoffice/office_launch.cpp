#include "sheet/libreoffice/office_launch.h"

#include "sheet/libreoffice/leftover_files.h"
#include "sheet/libreoffice/libreoffice_calc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// Private profiles never take part in document locking: a hidden office must
// read and save a workbook that the user still has open in a window.
bool seedHiddenProfile(const QString &profileDir)
{
    static const char *const settings =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseLocking\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseDocumentOOoLockFile\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseDocumentSystemFileLocking\" "
        "oor:op=\"fuse\"><value>false</value></prop></item>\n"
        "</oor:items>\n";
    if (!QDir().mkpath(profileDir + QStringLiteral("/user")) || !QDir().mkpath(profileDir + QStringLiteral("/tmp")))
        return false;
    QFile file(profileDir + QStringLiteral("/user/registrymodifications.xcu"));
    return file.open(QIODevice::WriteOnly) && file.write(settings) == qint64(qstrlen(settings));
}

} // namespace

SheetResult<std::unique_ptr<CalcOffice>> startLibreOfficeCalc(CalcWindow window, std::chrono::seconds startLimit)
{
    using Result = SheetResult<std::unique_ptr<CalcOffice>>;
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (launcher.isEmpty())
        return Result::failure({SheetFailureKind::OfficeNotInstalled});

    const QString acceptString = QStringLiteral("pipe,name=%1%2;urp;")
                                     .arg(officePipePrefix(QCoreApplication::applicationPid()))
                                     .arg(QRandomGenerator::global()->generate64(), 0, 16);
    QStringList arguments{QStringLiteral("--accept=%1").arg(acceptString), QStringLiteral("--norestore"),
                          QStringLiteral("--nologo"), QStringLiteral("--nodefault")};
    std::unique_ptr<QTemporaryDir> profile;
    if (window == CalcWindow::Hidden) {
        profile = std::make_unique<QTemporaryDir>(
            officeTemporaryTemplate(QStringLiteral("office"), QCoreApplication::applicationPid()));
        if (!profile->isValid() || !seedHiddenProfile(profile->path()))
            return Result::failure(SheetFailure(SheetFailureKind::NoPrivateProfile).withNames({QDir::tempPath()}));
        arguments << QStringLiteral("--headless")
                  << QStringLiteral("-env:UserInstallation=%1")
                         .arg(QUrl::fromLocalFile(profile->path()).toString(QUrl::FullyEncoded));
    }
    // A hidden office keeps its own temporary files inside its profile, so
    // that whatever a killed one leaves goes with the profile.
    auto started = OfficeProcess::start(
        launcher, arguments,
        window == CalcWindow::Hidden ? QStringList{QStringLiteral("TMPDIR=") + profile->path() + QStringLiteral("/tmp")}
                                     : QStringList{});
    if (!started.ok())
        return Result::failure(started.error());
    if (window == CalcWindow::Hidden) {
        // A hidden office is of no use to anyone once we are gone.
        if (const SheetStatus guarded = started.value()->endWithThisProgram(); !guarded.ok())
            return Result::failure(guarded.error());
    }
    auto office = std::make_unique<LibreOfficeCalc>(window, launcher, std::move(started.value()), std::move(profile),
                                                    acceptString);
    const SheetStatus connected = office->connect(startLimit);
    if (!connected.ok())
        return Result::failure(connected.error());
    return Result::success(std::move(office));
}

QString officePipePrefix(qint64 processId)
{
    return QStringLiteral("quillmere-%1-").arg(processId);
}

namespace {

template <typename Port>
std::function<SheetResult<std::unique_ptr<Port>>()> starterOf(CalcWindow window)
{
    return [window]() -> SheetResult<std::unique_ptr<Port>> {
        auto started = startLibreOfficeCalc(window);
        if (!started.ok())
            return SheetResult<std::unique_ptr<Port>>::failure(started.error());
        return SheetResult<std::unique_ptr<Port>>::success(std::move(started.value()));
    };
}

} // namespace

StartSpreadsheetWriter libreOfficeWriterStarter(CalcWindow window)
{
    return starterOf<SpreadsheetWriter>(window);
}

StartSpreadsheetReader libreOfficeReaderStarter(CalcWindow window)
{
    return starterOf<SpreadsheetReader>(window);
}
