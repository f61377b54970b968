#include "search/searchrule.h"

#include <algorithm>

namespace zimo {

namespace {

// Whether the 0-based boundary `at` falls between the CR and the LF of a line break.
bool splitsLineBreak(const QString &text, qsizetype at)
{
    return at > 0 && at < text.size() && text.at(at - 1) == u'\r' && text.at(at) == u'\n';
}

} // namespace

qsizetype findOnward(const QString &document, const QString &searchText, qsizetype start)
{
    // Every candidate begins at a character of the document, so the loop also ends the search
    // for an empty text at or after the end and for an empty document.
    for (qsizetype from = std::max<qsizetype>(start, 1) - 1; from < document.size(); ++from) {
        const qsizetype at = document.indexOf(searchText, from, Qt::CaseSensitive);
        if (at < 0)
            return 0;
        if (!splitsLineBreak(document, at) && !splitsLineBreak(document, at + searchText.size()))
            return at + 1;
        from = at; // go on with the next candidate after this one
    }
    return 0;
}

} // namespace zimo
