// The markup transforms and the search rule against plain references written here from their
// documented rules, and "<BR>" added then removed gives the text back.
// Input: the search text (up to a backslash that is not doubled, FuzzedDataProvider's rule), then
// the document, both UTF-8; the last two bytes pick the search's start position.

#include "fuzzcheck.h"
#include "markup/brmarkup.h"
#include "search/searchrule.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace zimo;

namespace {

const QString crlf = QStringLiteral("\r\n");
const QString tag = QStringLiteral("<BR>");

QString referenceAddBr(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.mid(i, 2) == crlf) {
            out += tag + crlf;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

QString referenceRemoveBr(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size();) {
        if (text.mid(i, 6) == tag + crlf) {
            out += crlf;
            i += 6;
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool betweenCrAndLf(const QString &text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1] == u'\r' && text[at] == u'\n';
}

// Tries every position from `start` on, comparing character by character.
qsizetype referenceFind(const QString &document, const QString &searchText, qsizetype start)
{
    const qsizetype m = searchText.size();
    for (qsizetype p = std::max<qsizetype>(start, 1) - 1;
         p + m <= document.size() && p < document.size(); ++p) {
        bool same = true;
        for (qsizetype k = 0; k < m && same; ++k)
            same = document[p + k] == searchText[k];
        if (same && !betweenCrAndLf(document, p) && !betweenCrAndLf(document, p + m))
            return p + 1;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const auto startPick = provider.ConsumeIntegral<std::uint16_t>();
    const QString searchText = QString::fromStdString(provider.ConsumeRandomLengthString(64));
    const QString document = QString::fromStdString(provider.ConsumeRemainingBytesAsString());
    const auto detail = [&] {
        return fuzz::units(searchText) + QStringLiteral("| ") + fuzz::units(document);
    };

    const QString added = markup::addBrTags(document);
    FUZZ_CHECK(added == referenceAddBr(document), detail());
    FUZZ_CHECK(markup::removeBrTags(added) == document, detail());
    FUZZ_CHECK(markup::removeBrTags(document) == referenceRemoveBr(document), detail());

    FUZZ_CHECK(markup::centerBlock(document) == QStringLiteral("\r\n<CENTER>\r\n") + document +
                                                    QStringLiteral("\r\n</CENTER>\r\n"),
               detail());
    FUZZ_CHECK(markup::appendSnippet(document, searchText) == document + crlf + searchText,
               detail());

    // Positions from before the first character to past the end.
    const qsizetype start = qsizetype(startPick % (document.size() + 3)) - 1;
    FUZZ_CHECK(findOnward(document, searchText, start) ==
                   referenceFind(document, searchText, start),
               detail() + QStringLiteral(" from ") + QString::number(start));
    return 0;
}
