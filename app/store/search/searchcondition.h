#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace qm::store {

// What a term of a condition search looks at, and how its text must match there.
enum class SearchField : quint8 { Keyword, Heading, Body };
enum class MatchMode : quint8 { Prefix, Suffix, Contains };

struct SearchTerm {
    SearchField field = SearchField::Keyword;
    MatchMode mode = MatchMode::Prefix;
    // Matched like a keyword (ignoring case, width and kana), with the wildcards "*", "?", "#"
    // and "[...]"; a "[" that opens no class, a double quote, "%", "_" and "\" are plain
    // characters. An empty text is no term.
    QString text;
};

// A condition search: every term at once, and at most one viewer type.
//
// Keyword terms hold for one keyword row, heading and body terms for its entry; the search
// lists each keyword row that meets every keyword term, of each entry that meets the rest (so
// an entry without keywords is never found). Bodies are matched on their text: the decoded
// text of plain-text, URL and HTML entries, the visible text of rich-text ones. An object
// entry's body is never matched: objects are found through keyword and heading terms alone
// (so without such terms, and without the object type chosen, no object is found), or by
// choosing the object type, which leaves body terms out.
struct SearchCondition {
    std::optional<quint8> viewer;
    std::vector<SearchTerm> terms;

    // Nothing to search: no type and no term with text.
    bool isEmpty() const;

    // The condition as the result list shows it to the user, written as a readable SQL-like
    // text with the match patterns in double quotes and the wildcards the user typed:
    // ((Viewer=1 OR Viewer=3 OR Viewer=4) AND (Index LIKE "abc*")) OR ... Only shown, never
    // run: the search itself binds the texts as values. Empty when the condition is empty.
    QString text() const;
};

// The pattern a term's text is matched with: "text*", "*text" or "*text*".
QString termPattern(const SearchTerm &term);

} // namespace qm::store
