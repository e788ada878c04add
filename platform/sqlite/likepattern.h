#pragma once

#include <QString>

#include <optional>
#include <string>
#include <vector>

struct sqlite3_context;
struct sqlite3_value;

namespace qm::sqlite {

// A LIKE pattern with the wildcards users know from the dictionary program: "*" any run of
// characters, "?" one character, "#" one digit, "[abc]" one of the listed characters,
// "[!abc]" any other one, "[a-z]" a range. Matching is done on folded text (see text::fold),
// so it ignores letter case, character width and katakana/hiragana. The pattern is folded the
// same way when it is compiled.
class LikePattern final
{
public:
    // What a "[" that opens no readable class (unclosed, empty, a reversed range) means.
    enum class StrayBracket {
        Refuse, // the pattern cannot be read
        Literal // the "[" stands for itself, as "[[]" would
    };

    // Why a pattern cannot be read.
    enum class Problem { None, UnclosedClass, EmptyClass, ReversedRange };

    // nullopt when the pattern cannot be read (with StrayBracket::Refuse: an unclosed "[", an
    // empty class, a reversed range); `problem`, when given, then tells which.
    static std::optional<LikePattern> compile(QStringView pattern,
                                              StrayBracket stray = StrayBracket::Refuse,
                                              Problem *problem = nullptr);

    // `folded` must be the fold of the text.
    bool matches(const std::u32string &folded) const;
    bool matchesFolded(QStringView folded) const;

    // The folded literal text every match starts with (empty when the pattern starts with a
    // wildcard); with it a lookup can scan a range of an index of folded keys.
    const QString &literalPrefix() const { return m_prefix; }
    // True when a key matches exactly when it starts with literalPrefix() (the pattern is
    // literal text followed by one "*"), so no per-row test is needed.
    bool isPurePrefix() const { return m_purePrefix; }
    // The pattern as it was given; where a stray "[" was read as itself, it is written "[[]",
    // so compiling the source again (with StrayBracket::Refuse) gives the same pattern.
    const QString &source() const { return m_source; }
    // The runs of literal characters (folded) between wildcards, in pattern order: every
    // matching text holds each of them unbroken.
    std::vector<std::u32string> literalRuns() const;

private:
    struct Range {
        char32_t from;
        char32_t to;
    };
    struct Token {
        enum Kind { Literal, AnyRun, AnyOne, Digit, Class } kind;
        char32_t ch = 0;             // Literal
        bool negated = false;        // Class
        std::vector<Range> ranges;   // Class
    };

    bool tokenMatches(const Token &t, char32_t c) const;

    std::vector<Token> m_tokens;
    QString m_source;
    QString m_prefix;
    bool m_purePrefix = false;
};

// The pointer type under which a compiled pattern is bound to a statement (see
// Statement::bindPattern): the SQL functions then use it as it is, without compiling its text.
inline constexpr const char *CompiledPatternType = "qm_like_pattern";

// For SQL functions that take a pattern: the compiled pattern bound as argument `value`, or else
// the pattern text compiled on the first row and kept with the statement as its auxiliary
// data `index`. nullptr when the
// argument is NULL (the function's result is NULL then) or after the function's error was set
// (a pattern that cannot be read, no memory); `failed` tells the two apart.
const LikePattern *patternArgument(sqlite3_context *ctx, int index, sqlite3_value *value, bool &failed);

// The upper bound of the range of UTF-8 keys that start with `prefix`: every such key is
// below it in byte order, and every key at or above it does not start with it.
QByteArray prefixUpperBound(const QByteArray &utf8Prefix);

} // namespace qm::sqlite
