#pragma once

#include <QString>
#include <QStringList>

// The rules Windows holds file names to, which file systems made for Windows
// (FAT, exFAT, NTFS, SMB shares) enforce or, worse, accept and leave behind
// for Windows to choke on. Linux file systems hold names to none of them.

enum class WindowsNameRule {
    None,
    // One of \ / : * ? " < > | or a control character (U+0000 to U+001F).
    ForbiddenCharacter,
    TrailingDotOrSpace,
    // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0 to COM9, LPT0 to LPT9 (and
    // COM or LPT with a superscript 1, 2 or 3), in any letter case, alone or
    // before an extension.
    ReservedName,
    // More UTF-16 units than windowsNameLengthLimit.
    TooLong,
    // Another entry of the same folder has the name in other letter case:
    // Windows takes both for one.
    DiffersOnlyInCase,
};

// The most UTF-16 units a name may have on FAT, exFAT and NTFS.
inline constexpr qsizetype windowsNameLengthLimit = 255;

struct WindowsNameProblem {
    WindowsNameRule rule = WindowsNameRule::None;
    // ForbiddenCharacter: the first such character of the name.
    char32_t character = 0;
    // ReservedName: the reserved part as typed ("con" of "con.txt");
    // DiffersOnlyInCase: the other entry's name.
    QString name;
    // TooLong: the name's length in UTF-16 units.
    qsizetype length = 0;

    explicit operator bool() const { return rule != WindowsNameRule::None; }
};

// The first rule `name` (one name, no folder) breaks on its own, in the order
// of WindowsNameRule; rule None when Windows can use it.
WindowsNameProblem windowsNameProblem(const QString &name);

// As above, and then whether one of `otherNamesInFolder` (the names that stay
// in the folder, the entry's own current name not among them) differs from
// `name` only in letter case. A name equal to `name` is no case problem: it
// is the entry `name` would replace.
WindowsNameProblem windowsNameProblem(const QString &name, const QStringList &otherNamesInFolder);

// The character a file system made for Windows refuses in `name`: the first
// character Windows forbids, or 0 when the name has none (the refusal then
// had another cause).
char32_t characterWindowsRefuses(const QString &name);
