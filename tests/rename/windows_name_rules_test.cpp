#include "rename/windows_name_rules.h"

#include <gtest/gtest.h>

namespace {

struct NameCase {
    const char *name;
    QStringList otherNamesInFolder;
    WindowsNameRule rule;
    // The character, or the name, the problem reports.
    char32_t character = 0;
    const char *reportedName = "";
};

TEST(WindowsNameRules, EachRuleAndWhatItReports)
{
    using enum WindowsNameRule;
    const QString longest(windowsNameLengthLimit, u'名');
    const NameCase cases[] = {
        {"报告 (final) v2.docx", {}, None},
        {"k?.txt", {}, ForbiddenCharacter, U'?'},
        {"a:b*c.txt", {}, ForbiddenCharacter, U':'},
        {"back\\slash", {}, ForbiddenCharacter, U'\\'},
        {"say \"hi\"", {}, ForbiddenCharacter, U'"'},
        {"<x>|y", {}, ForbiddenCharacter, U'<'},
        {"tab\there", {}, ForbiddenCharacter, U'\t'},
        {"unit\x1f", {}, ForbiddenCharacter, U'\x1f'},
        // Other characters Linux allows stay allowed: DEL, a plane-1 emoji.
        {"del\x7f" "😀.txt", {}, None},
        {"report.", {}, TrailingDotOrSpace},
        {"report ", {}, TrailingDotOrSpace},
        {"..", {}, TrailingDotOrSpace},
        {".bashrc", {}, None},
        {"CON", {}, ReservedName, 0, "CON"},
        {"con.txt", {}, ReservedName, 0, "con"},
        {"Nul.tar.gz", {}, ReservedName, 0, "Nul"},
        {"aux .txt", {}, ReservedName, 0, "aux"},
        {"com1", {}, ReservedName, 0, "com1"},
        {"LPT9.log", {}, ReservedName, 0, "LPT9"},
        {"COM²", {}, ReservedName, 0, "COM²"},
        {"COM0", {}, ReservedName, 0, "COM0"},
        {"lpt0.txt", {}, ReservedName, 0, "lpt0"},
        {"CONIN$", {}, ReservedName, 0, "CONIN$"},
        {"conout$.log.txt", {}, ReservedName, 0, "conout$"},
        {"CONIN", {}, None},
        {"CONERR$", {}, None},
        {"COM10", {}, None},
        {"LPT", {}, None},
        {"CONSOLE.txt", {}, None},
        {"my CON.txt", {}, None},
        {"prn_report.txt", {}, None},
        // A forbidden character outranks the other rules.
        {"CON?.", {}, ForbiddenCharacter, U'?'},
        {"KEEP.TXT", {"keep.txt", "other.txt"}, DiffersOnlyInCase, 0, "keep.txt"},
        {"Sub", {"SUB"}, DiffersOnlyInCase, 0, "SUB"},
        {"ÄRGER.txt", {"ärger.txt"}, DiffersOnlyInCase, 0, "ärger.txt"},
        // The same spelling is the entry the name would replace, not a case clash.
        {"keep.txt", {"keep.txt"}, None},
        {"keep.txt", {"keep.txt.bak", "kee.txt"}, None},
    };
    for (const NameCase &example : cases) {
        const QString name = QString::fromUtf8(example.name);
        const WindowsNameProblem problem = windowsNameProblem(name, example.otherNamesInFolder);
        EXPECT_EQ(problem.rule, example.rule) << name.toStdString();
        EXPECT_EQ(problem.character, example.character) << name.toStdString();
        EXPECT_EQ(problem.name, QString::fromUtf8(example.reportedName)) << name.toStdString();
        EXPECT_EQ(bool(problem), example.rule != None) << name.toStdString();
    }

    // Length counts UTF-16 units, not bytes: 255 Chinese characters are 765
    // bytes and still fit; one more character does not.
    EXPECT_FALSE(windowsNameProblem(longest));
    const WindowsNameProblem tooLong = windowsNameProblem(longest + QStringLiteral("😀"));
    EXPECT_EQ(tooLong.rule, TooLong);
    EXPECT_EQ(tooLong.length, windowsNameLengthLimit + 2);

    EXPECT_EQ(characterWindowsRefuses(QStringLiteral("a*b?c")), U'*');
    EXPECT_EQ(characterWindowsRefuses(QStringLiteral("plain.txt")), 0U);
}

} // namespace
