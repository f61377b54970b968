#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace zimo {

// How the replace dialog's find text is taken.
struct ReplaceOptions
{
    bool caseSensitive = true;
    bool regularExpression = false;
};

// The rule of the replace dialog over the model text (a line break is CR LF, two characters).
//
// Literal find text: the search rule of the search dialog (findOnward), with the case chosen;
// the replacement is inserted as it is.
//
// Regular expression (PCRE2 through QRegularExpression), with these additions:
// - "^" and "$" hold at the start and end of every line, and "." matches no line end; CR LF, a
//   lone CR and a lone LF all end a line.
// - "\n" in the pattern matches a line break of any kind (CR LF, a lone CR, a lone LF); inside a
//   character class it stands for both CR and LF, so "[^\n]" matches neither.
// - In the replacement: $0..$9 and \0..\9 are the whole match and its groups (a group that took
//   no part is empty), \n is a line break (CR LF), \t a tab, $$ a dollar sign and \\ a
//   backslash; any other character, backslash or dollar sign stands for itself. A group number
//   the pattern does not have is an error.
// - Matching is bounded: a pattern whose matching runs away (catastrophic backtracking) stops
//   at PCRE2's match limit and is reported instead of freezing the program.
//
// Both kinds: a match never begins or ends between the CR and the LF of a line break; matches
// found one after another never overlap; after an empty match the next one is looked for from the
// following character.
class ReplaceRule
{
public:
    ReplaceRule(const QString &findText, const QString &replacement, ReplaceOptions options);

    // Empty when the rule can be used; otherwise what is wrong, in the user's words.
    const QString &error() const { return m_error; }

    struct Match
    {
        qsizetype start = -1; // 0-based
        qsizetype length = 0;
        QString replacement; // what replaces it
    };
    enum class Outcome { Found, NotFound, LimitReached };

    // The first match that begins at `from` (0-based) or later.
    Outcome find(const QString &document, qsizetype from, Match *match) const;
    // Whether the text at [start, start + length) is a match, as find() from `start` would give
    // it. `match` receives it.
    Outcome matchAt(const QString &document, qsizetype start, qsizetype length, Match *match) const;

    struct AllReplaced
    {
        QString text;
        qsizetype count = 0;
        bool limitReached = false; // then text is empty and count 0
    };
    // Every match from the start to the end, replaced in one pass.
    AllReplaced replaceAll(const QString &document) const;

    // The message for a pattern whose matching reached the limit.
    static QString limitMessage();
    // The limit given to PCRE2 (steps of one match attempt).
    static constexpr int matchLimit = 1'000'000;

private:
    struct Piece
    {
        QString text;
        int group = -1; // a group's text instead of `text` when 0 or more
    };
    // The replacement for a match, the groups' text taken from `document`.
    QString expand(const QRegularExpressionMatch &m, const QString &document) const;
    Outcome findRegex(const QString &document, qsizetype from, QRegularExpressionMatch *m) const;

    QString m_findText;
    QString m_replacement;
    ReplaceOptions m_options;
    QRegularExpression m_regex;
    QList<Piece> m_pieces;
    QString m_error;
};

// The pattern as PCRE2 is given it: the limit and line-end options first, each "\n" turned into
// what matches any line break. `map` (when given) receives, for each character of the result,
// the position in `pattern` it came from. For tests and error offsets.
QString compiledPattern(const QString &pattern, QList<qsizetype> *map = nullptr);

} // namespace zimo
