// Feeds any pattern and any name to the wildcard matcher. Input: one mode
// byte, then the pattern and the name separated by the first 0x1F byte. Mode
// bit 0 reads both as UTF-16LE (lone surrogates included), otherwise as UTF-8.
// Besides crashes and hangs it checks what holds for every input:
//   - "*.*" matches everything;
//   - letter case of ASCII letters never changes the answer;
//   - a space typed after the pattern never changes the answer, nor does a dot
//     typed after a pattern ending in a dot;
//   - a pattern without wildcards matches exactly the names equal to it once
//     its trailing spaces and dots are dropped, ignoring case.
#include "search/wildcard_pattern.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QString decode(const QByteArray &bytes, bool utf16)
{
    if (!utf16)
        return QString::fromUtf8(bytes);
    return QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
}

QString flipAsciiCase(QString text)
{
    for (QChar &c : text) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 32);
        else if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    }
    return text;
}

QString withoutTrailingSpacesAndDots(QString text)
{
    while (text.endsWith(u' ') || text.endsWith(u'.'))
        text.chop(1);
    return text;
}

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    const bool utf16 = data[0] & 1;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const qsizetype split = rest.indexOf('\x1f');
    const QString patternText = decode(split < 0 ? rest : rest.left(split), utf16);
    const QString name = decode(split < 0 ? QByteArray() : rest.mid(split + 1), utf16);

    const WildcardPattern pattern(patternText);
    const bool matched = pattern.matches(name);

    if (patternText == QLatin1String("*.*"))
        check(pattern.matchesEverything() && matched);
    if (pattern.matchesEverything())
        check(matched);
    check(pattern.matches(flipAsciiCase(name)) == matched);
    check(WildcardPattern(flipAsciiCase(patternText)).matches(name) == matched);

    check(WildcardPattern(patternText + u' ').matches(name) == matched);
    if (patternText.endsWith(u'.'))
        check(WildcardPattern(patternText + u'.').matches(name) == matched);

    const bool literal = !patternText.contains(u'*') && !patternText.contains(u'?');
    if (literal && isAscii(patternText) && isAscii(name))
        check(matched == (name.compare(withoutTrailingSpacesAndDots(patternText), Qt::CaseInsensitive) == 0));
    return 0;
}
