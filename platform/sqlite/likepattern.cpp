#include "likepattern.h"

#include "platform/text/fold.h"

#include <sqlite3.h>

namespace qm::sqlite {
namespace {

std::u32string foldedCodePoints(QStringView text)
{
    return text::codePoints(text::fold(text));
}

bool isDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

} // namespace

std::optional<LikePattern> LikePattern::compile(QStringView pattern, StrayBracket stray, Problem *problem)
{
    Problem found = Problem::None;
    if (problem)
        *problem = found;
    const std::u32string raw = text::codePoints(pattern);
    LikePattern p;
    QString literalRun;
    auto flushLiteral = [&] {
        for (char32_t c : foldedCodePoints(literalRun))
            p.m_tokens.push_back({Token::Literal, c, false, {}});
        literalRun.clear();
    };
    auto appendRaw = [](QString &s, char32_t c) {
        const char32_t one[1] = {c};
        s.append(QString::fromUcs4(one, 1));
    };
    // A class starting at raw[i] == '[': [abc], [!abc], [a-z]; "[" and "*" inside stand for
    // themselves. Sets `end` to its "]"; nullopt when it cannot be read.
    auto readClass = [&raw, &found](std::size_t i, std::size_t &end) -> std::optional<Token> {
        Token t{Token::Class, 0, false, {}};
        std::size_t j = i + 1;
        if (j < raw.size() && raw[j] == U'!') {
            t.negated = true;
            ++j;
        }
        for (; j < raw.size(); ++j) {
            if (raw[j] == U']') {
                if (t.ranges.empty() && !t.negated) {
                    found = Problem::EmptyClass;
                    return std::nullopt;
                }
                end = j;
                return t;
            }
            char32_t from = raw[j];
            char32_t to = from;
            if (j + 2 < raw.size() && raw[j + 1] == U'-' && raw[j + 2] != U']') {
                to = raw[j + 2];
                j += 2;
            }
            const std::u32string f = foldedCodePoints(QString::fromUcs4(&from, 1));
            const std::u32string g = foldedCodePoints(QString::fromUcs4(&to, 1));
            if (from == to) {
                for (char32_t x : f)
                    t.ranges.push_back({x, x});
                continue;
            }
            const char32_t lo = f.size() == 1 ? f[0] : from;
            const char32_t hi = g.size() == 1 ? g[0] : to;
            if (lo > hi) {
                found = Problem::ReversedRange;
                return std::nullopt;
            }
            t.ranges.push_back({lo, hi});
        }
        found = Problem::UnclosedClass;
        return std::nullopt;
    };

    QString source;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const char32_t c = raw[i];
        if (c != U'*' && c != U'?' && c != U'#' && c != U'[') {
            appendRaw(literalRun, c);
            appendRaw(source, c);
            continue;
        }
        if (c == U'[') {
            std::size_t end = i;
            std::optional<Token> t = readClass(i, end);
            if (!t) {
                if (stray == StrayBracket::Refuse) {
                    if (problem)
                        *problem = found;
                    return std::nullopt;
                }
                appendRaw(literalRun, c);
                source.append(QStringLiteral("[[]"));
                continue;
            }
            flushLiteral();
            p.m_tokens.push_back(std::move(*t));
            for (std::size_t k = i; k <= end; ++k)
                appendRaw(source, raw[k]);
            i = end;
            continue;
        }
        flushLiteral();
        appendRaw(source, c);
        if (c == U'*') {
            if (p.m_tokens.empty() || p.m_tokens.back().kind != Token::AnyRun)
                p.m_tokens.push_back({Token::AnyRun, 0, false, {}});
        } else if (c == U'?') {
            p.m_tokens.push_back({Token::AnyOne, 0, false, {}});
        } else {
            p.m_tokens.push_back({Token::Digit, 0, false, {}});
        }
    }
    p.m_source = source;
    flushLiteral();

    // The literal text at the start, and whether the rest is a single "*".
    std::u32string prefix;
    std::size_t k = 0;
    for (; k < p.m_tokens.size() && p.m_tokens[k].kind == Token::Literal; ++k)
        prefix.push_back(p.m_tokens[k].ch);
    p.m_prefix = QString::fromUcs4(prefix.data(), qsizetype(prefix.size()));
    p.m_purePrefix = k + 1 == p.m_tokens.size() && p.m_tokens[k].kind == Token::AnyRun;
    return p;
}

bool LikePattern::tokenMatches(const Token &t, char32_t c) const
{
    switch (t.kind) {
    case Token::Literal: return t.ch == c;
    case Token::AnyOne: return true;
    case Token::Digit: return isDigit(c);
    case Token::Class: {
        bool in = false;
        for (const Range &r : t.ranges)
            if (c >= r.from && c <= r.to) {
                in = true;
                break;
            }
        return in != t.negated;
    }
    case Token::AnyRun: break;
    }
    return false;
}

bool LikePattern::matches(const std::u32string &s) const
{
    // Iterative matching with backtracking to the last "*": linear in practice, never recursive.
    std::size_t ti = 0, si = 0;
    std::size_t starToken = std::string::npos, starText = 0;
    const std::size_t tn = m_tokens.size();
    while (si < s.size()) {
        if (ti < tn && m_tokens[ti].kind == Token::AnyRun) {
            starToken = ti++;
            starText = si;
        } else if (ti < tn && tokenMatches(m_tokens[ti], s[si])) {
            ++ti;
            ++si;
        } else if (starToken != std::string::npos) {
            ti = starToken + 1;
            si = ++starText;
        } else {
            return false;
        }
    }
    while (ti < tn && m_tokens[ti].kind == Token::AnyRun)
        ++ti;
    return ti == tn;
}

bool LikePattern::matchesFolded(QStringView folded) const
{
    // Called once per candidate row: the conversion reuses one buffer per thread.
    thread_local std::u32string buffer;
    text::codePoints(folded, buffer);
    return matches(buffer);
}

std::vector<std::u32string> LikePattern::literalRuns() const
{
    std::vector<std::u32string> runs;
    bool inRun = false;
    for (const Token &t : m_tokens) {
        if (t.kind != Token::Literal) {
            inRun = false;
            continue;
        }
        if (!inRun)
            runs.emplace_back();
        runs.back().push_back(t.ch);
        inRun = true;
    }
    return runs;
}

const LikePattern *patternArgument(sqlite3_context *ctx, int index, sqlite3_value *value, bool &failed)
{
    failed = false;
    // A bound pointer reads as NULL to everything else, so it is looked for first.
    if (auto *bound = static_cast<const LikePattern *>(sqlite3_value_pointer(value, CompiledPatternType)))
        return bound;
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return nullptr;
    if (auto *cached = static_cast<const LikePattern *>(sqlite3_get_auxdata(ctx, index)))
        return cached;
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
    std::optional<LikePattern> compiled = LikePattern::compile(QString::fromUtf8(text, sqlite3_value_bytes(value)));
    if (!compiled) {
        failed = true;
        sqlite3_result_error(ctx, "malformed LIKE pattern", -1);
        return nullptr;
    }
    sqlite3_set_auxdata(ctx, index, new LikePattern(std::move(*compiled)),
                        [](void *p) { delete static_cast<LikePattern *>(p); });
    // The engine may drop the data at once (no memory); it has then already been deleted.
    auto *kept = static_cast<const LikePattern *>(sqlite3_get_auxdata(ctx, index));
    if (!kept) {
        failed = true;
        sqlite3_result_error_nomem(ctx);
    }
    return kept;
}

QByteArray prefixUpperBound(const QByteArray &utf8Prefix)
{
    QByteArray bound = utf8Prefix;
    // UTF-8 never holds 0xFF, so the last byte can always be raised by one.
    while (!bound.isEmpty() && uchar(bound.back()) == 0xFF)
        bound.chop(1);
    if (!bound.isEmpty())
        bound.back() = char(uchar(bound.back()) + 1);
    return bound;
}

} // namespace qm::sqlite
