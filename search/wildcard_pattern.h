#pragma once

#include <QString>

#include <vector>

// A file-type pattern such as "*.dwg", compiled once and matched against bare
// entry names with the long-name wildcard rules users know from Windows,
// ignoring letter case (compared by Unicode case folding):
//   - spaces and dots at the end of the typed pattern are dropped, except that
//     one dot stays where there were dots ("*.dwg " is "*.dwg", "*.. " is
//     "*.", "*.*.." is "*.*");
//   - exactly "*.*" means every name;
//   - "*" matches any run of characters, dots included;
//   - "?" matches one character other than a dot, and nothing at a dot or at
//     the end of the name ("??.txt" matches "a.txt");
//   - a "." directly before "?" or "*" also matches the end of the name
//     ("a.*" matches "a");
//   - a "*" directly before "." cannot pass the name's last dot ("*.doc" does
//     not match "a.docx", "*." matches only names without a dot);
//   - a trailing "." is dropped from the pattern.
// Every other character matches itself, "<", ">" and '"' included (Linux
// names may hold them). A name never contains "/", so a pattern holding one
// matches nothing. Matching cannot fail.
class WildcardPattern {
public:
    explicit WildcardPattern(const QString &typed);

    bool matches(const QString &name) const;
    bool matchesEverything() const { return everything; }

private:
    enum class Kind : char { Literal, AnyRun, RunBeforeLastDot, OneNonDot, DotOrEnd };
    struct Token {
        Kind kind;
        QChar folded;
    };

    std::vector<Token> tokens;
    bool everything = false;
};
