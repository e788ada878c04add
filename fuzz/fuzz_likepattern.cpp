// Compiles the first line of the input as a wildcard pattern in both bracket modes and matches
// it against the other lines (and texts made from the pattern), checking the properties the
// index lookups rely on: every match starts with the literal prefix, a pure prefix pattern
// matches exactly the texts that start with it, every match holds each literal run, and both
// matching entry points and a recompiled source agree.
#include "platform/sqlite/likepattern.h"
#include "platform/text/fold.h"

#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using qm::sqlite::LikePattern;

namespace {

[[noreturn]] void fail(const char *what, const LikePattern &p, const QString &text)
{
    std::fprintf(stderr, "%s\n--- pattern\n%s\n--- text\n%s\n", what, qPrintable(p.source()), qPrintable(text));
    std::abort();
}

bool holds(const std::u32string &text, const std::u32string &run)
{
    return text.find(run) != std::u32string::npos;
}

void check(const LikePattern &p, const std::optional<LikePattern> &again, const QStringList &texts)
{
    const std::vector<std::u32string> runs = p.literalRuns();
    for (const QString &raw : texts) {
        const QString folded = qm::text::fold(raw);
        const std::u32string wide = folded.toStdU32String();
        const bool matched = p.matches(wide);
        if (matched != p.matchesFolded(folded))
            fail("matches and matchesFolded disagree", p, raw);
        if (again && again->matches(wide) != matched)
            fail("the recompiled source matches differently", p, raw);
        // A null string starts with no empty one in Qt, so an empty prefix is tested apart.
        const bool startsWith = p.literalPrefix().isEmpty() || folded.startsWith(p.literalPrefix());
        if (matched && !startsWith)
            fail("a match does not start with the literal prefix", p, raw);
        if (p.isPurePrefix() && matched != startsWith)
            fail("a pure prefix pattern does not match as starts-with", p, raw);
        if (matched)
            for (const std::u32string &run : runs)
                if (!holds(wide, run))
                    fail("a match lacks a literal run", p, raw);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 4096)
        return 0; // patterns and keywords are short; long inputs only slow the run
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList lines = input.split(QLatin1Char('\n'));
    const QString pattern = lines.takeFirst();

    // Texts made from the pattern: its characters without the wildcards, its prefix, itself.
    QString plain = pattern;
    plain.remove(QLatin1Char('*')).replace(QLatin1Char('?'), QLatin1Char('x')).replace(QLatin1Char('#'), QLatin1Char('5'));
    lines << pattern << plain << QString();

    const std::optional<LikePattern> strict = LikePattern::compile(pattern, LikePattern::StrayBracket::Refuse);
    const std::optional<LikePattern> lenient = LikePattern::compile(pattern, LikePattern::StrayBracket::Literal);
    if (!lenient) {
        std::fprintf(stderr, "a pattern was refused with stray brackets as literals: %s\n", qPrintable(pattern));
        std::abort();
    }
    lines << lenient->literalPrefix();
    if (strict) {
        check(*strict, LikePattern::compile(strict->source()), lines);
        // Without a stray bracket both modes read the pattern alike.
        for (const QString &raw : std::as_const(lines)) {
            const std::u32string wide = qm::text::fold(raw).toStdU32String();
            if (strict->matches(wide) != lenient->matches(wide))
                fail("the two bracket modes disagree", *strict, raw);
        }
    }
    const std::optional<LikePattern> again = LikePattern::compile(lenient->source());
    if (!again)
        fail("the source of a lenient pattern does not compile strictly", *lenient, QString());
    check(*lenient, again, lines);
    return 0;
}
