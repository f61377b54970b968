#pragma once

#include "document/undostore.h"
#include "platform/services.h"
#include "search/replacerule.h"

#include <QString>

namespace zimo {

// What the replace dialog's buttons do to the main text area. Each click reads the document, the
// fields and the selection afresh; the selection is the only position there is. Each returns the
// line the dialog shows under its buttons (empty when there is nothing to say).
class ReplaceCommands
{
public:
    ReplaceCommands(Services &services, UndoStore &undo) : m_s(services), m_undo(undo) {}

    struct Request
    {
        QString findText;
        QString replacement;
        ReplaceOptions options;
    };

    // "次を検索": selects the next match after the selection; at the end it goes on from the
    // start and says so.
    QString findNext(const Request &request);
    // "置換して次に": replaces the selection when it is a match (one step of the text area's undo),
    // then selects the next match.
    QString replaceNext(const Request &request);
    // "すべて置換": one whole-text command. Only when something is replaced: a snapshot for
    // "I'll be back" (keep_text), then the text replaced as one step of the text area's undo,
    // the caret at the start.
    QString replaceAll(const Request &request);

    static QString notFoundMessage();
    static QString wrappedMessage();
    static QString replacedMessage(qsizetype count);

private:
    QString findFrom(const ReplaceRule &rule, const QString &document, qsizetype from,
                     qsizetype caret);

    Services &m_s;
    UndoStore &m_undo;
};

} // namespace zimo
