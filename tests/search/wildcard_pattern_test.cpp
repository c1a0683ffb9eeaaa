#include "search/wildcard_pattern.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char *pattern;
    const char *name;
    bool matches;
};

std::ostream &operator<<(std::ostream &out, const Case &c)
{
    return out << '"' << c.pattern << "\" vs \"" << c.name << "\" -> " << c.matches;
}

class WildcardTable : public ::testing::TestWithParam<Case> {};

TEST_P(WildcardTable, MatchesLikeWindowsLongNames)
{
    const Case &c = GetParam();
    EXPECT_EQ(WildcardPattern(QString::fromUtf8(c.pattern)).matches(QString::fromUtf8(c.name)), c.matches);
}

INSTANTIATE_TEST_SUITE_P(Rules, WildcardTable, ::testing::Values(
    // "*.*" is every name, with or without a dot.
    Case{"*.*", "README", true}, Case{"*.*", "a.txt", true}, Case{"*.*", ".hidden", true},
    // "*." keeps only names without a dot.
    Case{"*.", "README", true}, Case{"*.", "a.txt", false},
    // "*" before a dot stops at the last dot, so extensions must match whole.
    Case{"*.dwg", "plan.v2.dwg", true}, Case{"*.dwg", "A.DWG", true}, Case{"*.doc", "a.docx", false},
    Case{"*.doc", "a.doc.txt", false}, Case{"*.doc", ".doc", true},
    // "?" is one non-dot character, and nothing at a dot or the end.
    Case{"*.do?", "x.do", true}, Case{"*.do?", "x.doc", true}, Case{"*.do?", "x.docx", false},
    Case{"a?c", "abc", true}, Case{"a?c", "ac", false}, Case{"a?c", "a.c", false},
    Case{"??.txt", "a.txt", true}, Case{"??.txt", "abc.txt", false},
    // A dot before a wildcard also matches the end of the name.
    Case{"a.*", "a", true}, Case{"a.*", "a.b", true}, Case{"*.?", "x.cd", false}, Case{"*.?", "x", true},
    // A plain "*" crosses every dot.
    Case{"*", "a.b.c", true}, Case{"a*z", "a.b.z", true}, Case{"a*z", "a.b.y", false},
    // Letters compare without case, Chinese names compare exactly.
    Case{"图纸*.DWG", "图纸01.dwg", true}, Case{"ÄB*", "äbc", true}, Case{"图纸*", "图表1", false},
    // A trailing dot is dropped; other characters are literal.
    Case{"readme.", "README", true}, Case{"a[1].txt", "a[1].txt", true}, Case{"a[1].txt", "a1.txt", false},
    Case{"", "a", false}, Case{"sub/*.dwg", "x.dwg", false},
    // "<", ">" and '"' are plain characters, as Linux names may hold them.
    Case{"a<1>.txt", "a<1>.txt", true}, Case{"*\"", "say \"hi\"", true}, Case{"a<", "ab", false},
    Case{"<.*", "x", false}, Case{"*>", "a.b>", true},
    // Trailing spaces and dots are typing slips: dropped, keeping one final dot.
    Case{"*.dwg ", "a.dwg", true}, Case{"*.dwg  ", "a.dwg ", false}, Case{"*.dwg. ", "a.dwg", true},
    Case{"*.*..", "README", true}, Case{"*.* ", "a.b", true}, Case{"*..", "README", true},
    Case{"*..", "a.txt", false}, Case{"*. .", "a.txt", false}, Case{"*. .", "README", true},
    Case{"plan..", "plan", true}, Case{"plan ", "plan", true}, Case{"plan ", "plan ", false},
    Case{" ", " ", false}, Case{"..", "a", false}, Case{"a b ", "a b", true}));

} // namespace
