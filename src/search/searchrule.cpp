#include "search/searchrule.h"

#include <algorithm>

namespace zimo {

bool splitsLineBreak(const QString &text, qsizetype at)
{
    return at > 0 && at < text.size() && text.at(at - 1) == u'\r' && text.at(at) == u'\n';
}

qsizetype findOnward(const QString &document, const QString &searchText, qsizetype start)
{
    return findOnward(document, searchText, start, Qt::CaseSensitive);
}

qsizetype findOnward(const QString &document, const QString &searchText, qsizetype start,
                     Qt::CaseSensitivity cs)
{
    // Every candidate begins at a character of the document, so the loop also ends the search
    // for an empty text at or after the end and for an empty document.
    for (qsizetype from = std::max<qsizetype>(start, 1) - 1; from < document.size(); ++from) {
        const qsizetype at = document.indexOf(searchText, from, cs);
        if (at < 0)
            return 0;
        if (!splitsLineBreak(document, at) && !splitsLineBreak(document, at + searchText.size()))
            return at + 1;
        from = at; // go on with the next candidate after this one
    }
    return 0;
}

} // namespace zimo
