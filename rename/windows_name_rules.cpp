#include "rename/windows_name_rules.h"

#include <QStringView>

#include <string_view>

namespace {

bool isForbiddenCharacter(char32_t character)
{
    return character < 0x20 || std::u32string_view(U"\\/:*?\"<>|").find(character) != std::u32string_view::npos;
}

// Windows ignores what follows the first dot, and spaces before it, when it
// looks for a device name: "con.txt" and "CON .tar.gz" are the console too.
QString reservedPart(const QString &name)
{
    QStringView stem = QStringView(name).left(name.indexOf(u'.'));
    while (stem.endsWith(u' '))
        stem.chop(1);
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"),   QStringLiteral("AUX"),
                                        QStringLiteral("NUL"), QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (devices.contains(stem.toString(), Qt::CaseInsensitive))
        return stem.toString();
    const bool numberedPort = stem.size() == 4 &&
                              (stem.left(3).compare(u"COM", Qt::CaseInsensitive) == 0 ||
                               stem.left(3).compare(u"LPT", Qt::CaseInsensitive) == 0) &&
                              (QStringView(u"0123456789\u00B9\u00B2\u00B3").contains(stem[3]));
    return numberedPort ? stem.toString() : QString();
}

} // namespace

char32_t characterWindowsRefuses(const QString &name)
{
    for (const char32_t character : name.toUcs4())
        if (isForbiddenCharacter(character))
            return character;
    return 0;
}

WindowsNameProblem windowsNameProblem(const QString &name)
{
    WindowsNameProblem problem;
    if (const char32_t character = characterWindowsRefuses(name)) {
        problem.rule = WindowsNameRule::ForbiddenCharacter;
        problem.character = character;
    } else if (name.endsWith(u'.') || name.endsWith(u' ')) {
        problem.rule = WindowsNameRule::TrailingDotOrSpace;
    } else if (const QString reserved = reservedPart(name); !reserved.isEmpty()) {
        problem.rule = WindowsNameRule::ReservedName;
        problem.name = reserved;
    } else if (name.size() > windowsNameLengthLimit) {
        problem.rule = WindowsNameRule::TooLong;
        problem.length = name.size();
    }
    return problem;
}

WindowsNameProblem windowsNameProblem(const QString &name, const QStringList &otherNamesInFolder)
{
    WindowsNameProblem problem = windowsNameProblem(name);
    if (problem)
        return problem;
    for (const QString &other : otherNamesInFolder) {
        if (other != name && other.compare(name, Qt::CaseInsensitive) == 0) {
            problem.rule = WindowsNameRule::DiffersOnlyInCase;
            problem.name = other;
            break;
        }
    }
    return problem;
}
