#include "search/replacecommands.h"

#include <exception>

namespace zimo {

QString ReplaceCommands::notFoundMessage()
{
    return QStringLiteral("検索する文字列が見つかりません。");
}

QString ReplaceCommands::wrappedMessage()
{
    return QStringLiteral("文書の末尾まで検索したので、先頭から続けました。");
}

QString ReplaceCommands::replacedMessage(qsizetype count)
{
    return QStringLiteral("%1 件置換しました。").arg(count);
}

// Selects the first match from `from` on; an empty match right at the caret (where the last one
// was) is passed over, or the search would stand still. Past the end it starts again from the
// start.
QString ReplaceCommands::findFrom(const ReplaceRule &rule, const QString &document,
                                  qsizetype from, qsizetype caret)
{
    ReplaceRule::Match match;
    auto findOnward = [&](qsizetype at) {
        ReplaceRule::Outcome outcome = rule.find(document, at, &match);
        if (outcome == ReplaceRule::Outcome::Found && match.length == 0 && match.start == caret) {
            if (caret >= document.size())
                return ReplaceRule::Outcome::NotFound;
            outcome = rule.find(document, caret + 1, &match);
        }
        return outcome;
    };
    ReplaceRule::Outcome outcome = findOnward(from);
    bool wrapped = false;
    if (outcome == ReplaceRule::Outcome::NotFound && from > 0) {
        wrapped = true;
        outcome = rule.find(document, 0, &match);
    }
    if (outcome == ReplaceRule::Outcome::LimitReached)
        return ReplaceRule::limitMessage();
    if (outcome == ReplaceRule::Outcome::NotFound)
        return notFoundMessage();
    m_s.Text1.setSelStart(match.start);
    m_s.Text1.setSelLength(match.length);
    return wrapped ? wrappedMessage() : QString();
}

QString ReplaceCommands::findNext(const Request &request)
{
    const ReplaceRule rule(request.findText, request.replacement, request.options);
    if (!rule.error().isEmpty())
        return rule.error();
    try {
        const qsizetype caret = m_s.Text1.selStart() + m_s.Text1.selLength();
        return findFrom(rule, m_s.Text1.text(), caret, caret);
    } catch (const std::exception &) {
        return notFoundMessage();
    }
}

QString ReplaceCommands::replaceNext(const Request &request)
{
    const ReplaceRule rule(request.findText, request.replacement, request.options);
    if (!rule.error().isEmpty())
        return rule.error();
    try {
        const QString document = m_s.Text1.text();
        const qsizetype start = m_s.Text1.selStart();
        const qsizetype length = m_s.Text1.selLength();
        ReplaceRule::Match match;
        const ReplaceRule::Outcome outcome = rule.matchAt(document, start, length, &match);
        if (outcome == ReplaceRule::Outcome::LimitReached)
            return ReplaceRule::limitMessage();
        if (outcome == ReplaceRule::Outcome::NotFound)
            return findFrom(rule, document, start + length, start + length);
        m_s.Text1.setSelText(match.replacement);
        const qsizetype caret = start + match.replacement.size();
        // The next match is looked for in the text as it is now.
        const QString changed = QString(document).replace(start, length, match.replacement);
        return findFrom(rule, changed, caret, caret);
    } catch (const std::exception &) {
        return notFoundMessage();
    }
}

QString ReplaceCommands::replaceAll(const Request &request)
{
    const ReplaceRule rule(request.findText, request.replacement, request.options);
    if (!rule.error().isEmpty())
        return rule.error();
    try {
        BusyScope busy(m_s.app);
        const QString document = m_s.Text1.text();
        const ReplaceRule::AllReplaced all = rule.replaceAll(document);
        if (all.limitReached)
            return ReplaceRule::limitMessage();
        if (all.count == 0)
            return notFoundMessage();
        m_undo.keep_text();
        // Selecting everything and replacing the selection is one edit of the text area: its own
        // undo takes it back in one step (assigning the text would empty that undo).
        m_s.Text1.setSelStart(0);
        m_s.Text1.setSelLength(document.size());
        m_s.Text1.setSelText(all.text);
        m_s.Text1.setSelStart(0);
        return replacedMessage(all.count);
    } catch (const std::exception &) {
        return notFoundMessage();
    }
}

} // namespace zimo
