#include "search/replacerule.h"

#include "search/searchrule.h"

#include <limits>

namespace zimo {

namespace {

// What the pattern begins with: the limit on the steps of one match attempt, and every line end
// (CR LF, CR, LF) ending a line for "^", "$" and ".".
QString patternPrefix()
{
    return QStringLiteral("(*LIMIT_MATCH=%1)(*ANYCRLF)").arg(ReplaceRule::matchLimit);
}

// The position after the character at `at`: a surrogate pair and a CR LF are stepped over whole.
qsizetype nextPosition(const QString &text, qsizetype at)
{
    if (at + 1 < text.size()) {
        const QChar c = text.at(at);
        const QChar d = text.at(at + 1);
        if ((c == u'\r' && d == u'\n') || (c.isHighSurrogate() && d.isLowSurrogate()))
            return at + 2;
    }
    return at + 1;
}

// The text PCRE2 is given. It must be valid UTF-16, which QRegularExpression would otherwise check
// over the whole text on every match attempt (a full pass for each of 100,000 matches). A lone
// surrogate (the stand-in for a byte that could not be decoded) makes a copy with U+FFFD in its
// place; positions are the same in both, and replacements take their text from the document.
QString matchSubject(const QString &document)
{
    const qsizetype n = document.size();
    const QChar *d = document.constData();
    QString copy;
    for (qsizetype i = 0; i < n; ++i) {
        if (!d[i].isSurrogate())
            continue;
        if (d[i].isHighSurrogate() && i + 1 < n && d[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        if (copy.isNull())
            copy = document;
        copy[i] = QChar::ReplacementCharacter;
    }
    return copy.isNull() ? document : copy;
}

// Whether the 0-based position falls inside a surrogate pair, where PCRE2 may not start.
bool splitsPair(const QString &text, qsizetype at)
{
    return at > 0 && at < text.size() && text.at(at - 1).isHighSurrogate() &&
           text.at(at).isLowSurrogate();
}

constexpr QRegularExpression::MatchOptions alreadyChecked =
    QRegularExpression::DontCheckSubjectStringMatchOption;

} // namespace

QString compiledPattern(const QString &pattern, QList<qsizetype> *map)
{
    QString out = patternPrefix();
    QList<qsizetype> from(out.size(), 0);
    const auto put = [&](QStringView piece, qsizetype origin) {
        out += piece;
        for (qsizetype k = 0; k < piece.size(); ++k)
            from.append(origin);
    };
    const qsizetype n = pattern.size();
    bool inClass = false;
    bool quoted = false; // between \Q and \E every character is literal
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = pattern.at(i);
        const QChar next = i + 1 < n ? pattern.at(i + 1) : QChar();
        if (quoted) {
            if (c == u'\\' && next == u'E') {
                quoted = false;
                put(QStringView(pattern).mid(i, 2), i);
                ++i;
            } else {
                put(QStringView(&c, 1), i);
            }
            continue;
        }
        if (c == u'\\' && i + 1 < n) {
            if (next == u'n')
                put(inClass ? u"\\r\\n" : u"(?:\\r\\n|\\r|\\n)", i);
            else
                put(QStringView(pattern).mid(i, 2), i);
            if (next == u'Q')
                quoted = true;
            ++i;
            continue;
        }
        if (inClass) {
            if (c == u'[' && next == u':') {
                // A POSIX class such as [:alpha:] inside the class.
                const qsizetype close = pattern.indexOf(QStringLiteral(":]"), i + 2);
                if (close >= 0) {
                    for (qsizetype k = i; k < close + 2; ++k)
                        put(QStringView(pattern).mid(k, 1), k);
                    i = close + 1;
                    continue;
                }
            }
            if (c == u']')
                inClass = false;
            put(QStringView(&c, 1), i);
            continue;
        }
        put(QStringView(&c, 1), i);
        if (c == u'[') {
            inClass = true;
            // A "]" right after "[" or "[^" is a member, not the end of the class.
            qsizetype j = i + 1;
            if (j < n && pattern.at(j) == u'^') {
                put(QStringView(pattern).mid(j, 1), j);
                ++j;
            }
            if (j < n && pattern.at(j) == u']') {
                put(QStringView(pattern).mid(j, 1), j);
                ++j;
            }
            i = j - 1;
        }
    }
    if (map) {
        from.append(n); // an error at the end of the pattern
        *map = std::move(from);
    }
    return out;
}

ReplaceRule::ReplaceRule(const QString &findText, const QString &replacement,
                         ReplaceOptions options)
    : m_findText(findText), m_replacement(replacement), m_options(options)
{
    if (findText.isEmpty()) {
        m_error = QStringLiteral("検索する文字列を入力してください。");
        return;
    }
    if (!options.regularExpression)
        return;

    QList<qsizetype> map;
    QRegularExpression::PatternOptions patternOptions = QRegularExpression::MultilineOption;
    if (!options.caseSensitive)
        patternOptions |= QRegularExpression::CaseInsensitiveOption;
    m_regex = QRegularExpression(compiledPattern(findText, &map), patternOptions);
    if (!m_regex.isValid()) {
        const qsizetype at = m_regex.patternErrorOffset();
        const qsizetype column = (at >= 0 && at < map.size() ? map.at(at) : findText.size()) + 1;
        m_error = QStringLiteral("正規表現に誤りがあります（%1 文字目のあたり）。").arg(column);
        return;
    }
    m_regex.optimize();

    // The replacement, split into literal text and group references.
    const int groups = m_regex.captureCount();
    QString literal;
    const auto reference = [&](QChar sign, QChar digit) {
        const int group = digit.digitValue();
        if (group > groups) {
            m_error = QStringLiteral("置換後の文字列の「%1%2」に当たるかっこが、検索する文字列にありません。")
                          .arg(sign)
                          .arg(digit);
            return;
        }
        if (!literal.isEmpty())
            m_pieces.append({literal, -1});
        literal.clear();
        m_pieces.append({QString(), group});
    };
    const qsizetype n = replacement.size();
    for (qsizetype i = 0; i < n && m_error.isEmpty(); ++i) {
        const QChar c = replacement.at(i);
        const QChar next = i + 1 < n ? replacement.at(i + 1) : QChar();
        const bool digit = next >= u'0' && next <= u'9';
        if (c == u'$' && next == u'$') {
            literal += u'$';
            ++i;
        } else if ((c == u'$' || c == u'\\') && digit) {
            reference(c, next);
            ++i;
        } else if (c == u'\\' && next == u'\\') {
            literal += u'\\';
            ++i;
        } else if (c == u'\\' && next == u'n') {
            literal += QStringLiteral("\r\n");
            ++i;
        } else if (c == u'\\' && next == u't') {
            literal += u'\t';
            ++i;
        } else {
            literal += c;
        }
    }
    if (!literal.isEmpty())
        m_pieces.append({literal, -1});
}

QString ReplaceRule::limitMessage()
{
    return QStringLiteral("正規表現の照合に手間がかかりすぎるため、途中でやめました。"
                          "繰り返しの入れ子などを見直してください。");
}

QString ReplaceRule::expand(const QRegularExpressionMatch &m, const QString &document) const
{
    QString out;
    for (const Piece &piece : m_pieces) {
        if (piece.group < 0)
            out += piece.text;
        else if (const qsizetype start = m.capturedStart(piece.group); start >= 0)
            out += QStringView(document).mid(start, m.capturedLength(piece.group));
    }
    return out;
}

ReplaceRule::Outcome ReplaceRule::findRegex(const QString &document, qsizetype from,
                                            QRegularExpressionMatch *m) const
{
    // QRegularExpression takes int offsets.
    if (document.size() > std::numeric_limits<int>::max())
        return Outcome::LimitReached;
    if (splitsPair(document, from))
        ++from;
    while (from <= document.size()) {
        *m = m_regex.match(QStringView(document), int(from), QRegularExpression::NormalMatch,
                           alreadyChecked);
        // A match that ended in an error (the match limit) is not valid; no match is.
        if (!m->isValid())
            return Outcome::LimitReached;
        if (!m->hasMatch())
            return Outcome::NotFound;
        const qsizetype start = m->capturedStart();
        if (!splitsLineBreak(document, start) && !splitsLineBreak(document, m->capturedEnd()))
            return Outcome::Found;
        from = nextPosition(document, start);
    }
    return Outcome::NotFound;
}

ReplaceRule::Outcome ReplaceRule::find(const QString &document, qsizetype from, Match *match) const
{
    if (!m_error.isEmpty())
        return Outcome::NotFound;
    from = std::max<qsizetype>(from, 0);
    if (!m_options.regularExpression) {
        const Qt::CaseSensitivity cs = m_options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const qsizetype q = findOnward(document, m_findText, from + 1, cs);
        if (q == 0)
            return Outcome::NotFound;
        *match = {q - 1, m_findText.size(), m_replacement};
        return Outcome::Found;
    }
    QRegularExpressionMatch m;
    const QString subject = matchSubject(document);
    const Outcome outcome = findRegex(subject, from, &m);
    if (outcome == Outcome::Found)
        *match = {m.capturedStart(), m.capturedLength(), expand(m, document)};
    return outcome;
}

ReplaceRule::Outcome ReplaceRule::matchAt(const QString &document, qsizetype start,
                                          qsizetype length, Match *match) const
{
    if (!m_error.isEmpty() || start < 0 || length < 0 || start + length > document.size() ||
        splitsLineBreak(document, start) || splitsLineBreak(document, start + length))
        return Outcome::NotFound;
    if (!m_options.regularExpression) {
        const Qt::CaseSensitivity cs = m_options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        if (length != m_findText.size() ||
            QStringView(document).mid(start, length).compare(m_findText, cs) != 0)
            return Outcome::NotFound;
        *match = {start, length, m_replacement};
        return Outcome::Found;
    }
    if (document.size() > std::numeric_limits<int>::max())
        return Outcome::LimitReached;
    if (splitsPair(document, start) || splitsPair(document, start + length))
        return Outcome::NotFound;
    const QString subject = matchSubject(document);
    const QRegularExpressionMatch m =
        m_regex.match(QStringView(subject), int(start), QRegularExpression::NormalMatch,
                      QRegularExpression::AnchorAtOffsetMatchOption | alreadyChecked);
    if (!m.isValid())
        return Outcome::LimitReached;
    if (!m.hasMatch() || m.capturedLength() != length)
        return Outcome::NotFound;
    *match = {start, length, expand(m, document)};
    return Outcome::Found;
}

ReplaceRule::AllReplaced ReplaceRule::replaceAll(const QString &document) const
{
    AllReplaced result;
    if (!m_error.isEmpty())
        return result;
    QString &out = result.text;
    qsizetype copied = 0; // the document is copied up to here
    const auto take = [&](qsizetype start, qsizetype end, QStringView replacement) {
        if (out.isNull())
            out.reserve(document.size() + document.size() / 8);
        out += QStringView(document).mid(copied, start - copied);
        out += replacement;
        copied = end;
        ++result.count;
    };

    if (!m_options.regularExpression) {
        const Qt::CaseSensitivity cs = m_options.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
        const qsizetype length = m_findText.size();
        for (qsizetype q; (q = findOnward(document, m_findText, copied + 1, cs)) != 0;)
            take(q - 1, q - 1 + length, m_replacement);
    } else {
        QRegularExpressionMatch m;
        const QString subject = matchSubject(document);
        qsizetype from = 0;
        while (from <= document.size()) {
            const Outcome outcome = findRegex(subject, from, &m);
            if (outcome == Outcome::LimitReached)
                return {QString(), 0, true};
            if (outcome == Outcome::NotFound)
                break;
            const qsizetype start = m.capturedStart();
            const qsizetype end = m.capturedEnd();
            take(start, end, expand(m, document));
            if (end > start)
                from = end;
            else if (end < document.size())
                from = nextPosition(document, end);
            else
                break;
        }
    }
    if (result.count == 0)
        return {document, 0, false};
    out += QStringView(document).mid(copied);
    return result;
}

} // namespace zimo
