#include "search/wildcard_pattern.h"

#include <algorithm>

namespace {

// A space or dot typed at the end of the pattern box is a slip the user cannot
// see, and Windows ignores them too. One dot is put back where the pattern
// ended in dots, because a final dot still means "names without an extension".
QString withoutTrailingSpacesAndDots(const QString &typed)
{
    qsizetype end = typed.size();
    bool droppedDot = false;
    while (end > 0 && (typed.at(end - 1) == u' ' || typed.at(end - 1) == u'.')) {
        droppedDot = droppedDot || typed.at(end - 1) == u'.';
        --end;
    }
    QString pattern = typed.left(end);
    if (droppedDot)
        pattern += u'.';
    return pattern;
}

} // namespace

WildcardPattern::WildcardPattern(const QString &typed)
{
    const QString pattern = withoutTrailingSpacesAndDots(typed);
    if (pattern == QLatin1String("*.*")) {
        tokens.push_back({Kind::AnyRun, {}});
    } else {
        for (qsizetype i = 0; i < pattern.size(); ++i) {
            const QChar c = pattern.at(i);
            const QChar next = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
            if (c == u'?')
                tokens.push_back({Kind::OneNonDot, {}});
            else if (c == u'.' && (next == u'?' || next == u'*'))
                tokens.push_back({Kind::DotOrEnd, {}});
            else if (c == u'*' && next == u'.')
                tokens.push_back({Kind::RunBeforeLastDot, {}});
            else if (c == u'*')
                tokens.push_back({Kind::AnyRun, {}});
            else
                tokens.push_back({Kind::Literal, c.toCaseFolded()});
        }
        if (pattern.endsWith(u'.')) {
            tokens.pop_back();
            if (!tokens.empty() && tokens.back().kind == Kind::AnyRun)
                tokens.back().kind = Kind::RunBeforeLastDot;
        }
    }
    everything = tokens.size() == 1 && tokens.front().kind == Kind::AnyRun;
}

// Runs the pattern as a small automaton over the name: `live[p]` says the
// first p tokens can match the part of the name read so far. Zero-width moves
// depend on the position in the name, so they are closed at every step.
bool WildcardPattern::matches(const QString &name) const
{
    if (everything)
        return true;

    const qsizetype length = name.size();
    const qsizetype lastDot = name.lastIndexOf(u'.');
    const size_t count = tokens.size();
    std::vector<char> live(count + 1, 0), next(count + 1, 0);
    live[0] = 1;

    for (qsizetype i = 0;; ++i) {
        const bool atEnd = i == length;
        const QChar c = atEnd ? QChar() : name.at(i);
        const bool atDot = c == u'.';
        for (size_t p = 0; p < count; ++p) {
            if (!live[p])
                continue;
            switch (tokens[p].kind) {
            case Kind::AnyRun:
            case Kind::RunBeforeLastDot:
                live[p + 1] = 1;
                break;
            case Kind::OneNonDot:
                if (atEnd || atDot)
                    live[p + 1] = 1;
                break;
            case Kind::DotOrEnd:
                if (atEnd)
                    live[p + 1] = 1;
                break;
            case Kind::Literal:
                break;
            }
        }
        if (atEnd)
            return live[count];

        const QChar folded = c.toCaseFolded();
        std::fill(next.begin(), next.end(), 0);
        for (size_t p = 0; p < count; ++p) {
            if (!live[p])
                continue;
            const Token &token = tokens[p];
            switch (token.kind) {
            case Kind::AnyRun:
                next[p] = 1;
                break;
            case Kind::RunBeforeLastDot:
                if (i != lastDot)
                    next[p] = 1;
                break;
            case Kind::OneNonDot:
                if (!atDot)
                    next[p + 1] = 1;
                break;
            case Kind::DotOrEnd:
                if (atDot)
                    next[p + 1] = 1;
                break;
            case Kind::Literal:
                if (token.folded == folded)
                    next[p + 1] = 1;
                break;
            }
        }
        live.swap(next);
        if (std::find(live.begin(), live.end(), 1) == live.end())
            return false;
    }
}
