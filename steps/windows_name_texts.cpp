#include "steps/windows_name_texts.h"

namespace {

QString codePointText(char32_t character)
{
    return QStringLiteral("U+") + QString::number(character, 16).toUpper().rightJustified(4, u'0');
}

// A control character would be invisible, or break the line, in the message.
bool isInvisible(char32_t character)
{
    return character < 0x20 || character == 0x7f;
}

QString visibleCharacter(char32_t character)
{
    return isInvisible(character) ? codePointText(character) : QString::fromUcs4(&character, 1);
}

} // namespace

QString windowsNameProblemText(const WindowsNameProblem &problem)
{
    switch (problem.rule) {
    case WindowsNameRule::None:
        break;
    case WindowsNameRule::ForbiddenCharacter:
        return QStringLiteral("Windows 不允许文件名中有字符 ") + visibleCharacter(problem.character);
    case WindowsNameRule::TrailingDotOrSpace:
        return QStringLiteral("Windows 不允许文件名以点或空格结尾");
    case WindowsNameRule::ReservedName:
        return QStringLiteral("%1 是 Windows 的保留名称").arg(problem.name);
    case WindowsNameRule::TooLong:
        return QStringLiteral("新文件名太长：此文件系统最多接受 %1 个 UTF-16 字符，新文件名有 %2 个")
            .arg(windowsNameLengthLimit)
            .arg(problem.length);
    case WindowsNameRule::DiffersOnlyInCase:
        return QStringLiteral("与同一文件夹中的 %1 只有大小写不同，Windows 无法区分").arg(problem.name);
    }
    return QString();
}

QString refusedCharacterText(char32_t character)
{
    const QString prefix = QStringLiteral("此文件系统不接受文件名中的字符 ");
    if (isInvisible(character))
        return prefix + codePointText(character);
    return prefix + QStringLiteral("%1（%2）").arg(visibleCharacter(character), codePointText(character));
}
