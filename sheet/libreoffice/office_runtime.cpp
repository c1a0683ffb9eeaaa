#include "sheet/libreoffice/office_runtime.h"

#include <QFileInfo>

#include <csignal>
#include <cstdlib>
#include <mutex>

namespace {

const char *const officeProgram = LIBREOFFICE_PROGRAM_DIR;

} // namespace

QString fundamentalsFile()
{
    return QStringLiteral("%1/fundamentalrc").arg(QLatin1String(officeProgram));
}

void prepareProcessForLibreOffice()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const QString fundamentals = fundamentalsFile();
        if (!QFileInfo::exists(fundamentals))
            return;
        // An office that dies while we write to its pipe must fail that call,
        // not end this whole program with SIGPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        // Without it the bootstrap cannot find the registries and aborts.
        setenv("URE_BOOTSTRAP", ("vnd.sun.star.pathname:" + fundamentals).toLocal8Bit().constData(), 1);
    });
}
