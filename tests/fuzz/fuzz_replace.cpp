// The replace rule on any pattern, replacement and document: never a crash, a hang or a sanitizer
// report, and replace all agrees with the matches found one after another.
// Input: one byte of options (bit 0: regular expression, bit 1: case ignored), the pattern and the
// replacement (UTF-8, each up to a backslash that is not doubled, FuzzedDataProvider's rule),
// then the document as raw UTF-16 units (so lone surrogates, CR and LF come in any order).

#include "fuzzcheck.h"
#include "search/replacerule.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

using namespace zimo;

namespace {

bool betweenCrAndLf(const QString &text, qsizetype at)
{
    return at > 0 && at < text.size() && text[at - 1] == u'\r' && text[at] == u'\n';
}

// The position after an empty match at `at`: a CR LF and a surrogate pair are one step.
qsizetype stepOver(const QString &text, qsizetype at)
{
    if (at + 1 < text.size() && ((text[at] == u'\r' && text[at + 1] == u'\n') ||
                                 (text[at].isHighSurrogate() && text[at + 1].isLowSurrogate())))
        return at + 2;
    return at + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const auto flags = provider.ConsumeIntegral<std::uint8_t>();
    const QString pattern = QString::fromStdString(provider.ConsumeRandomLengthString(48));
    const QString replacement = QString::fromStdString(provider.ConsumeRandomLengthString(24));
    const std::string rest = provider.ConsumeRemainingBytesAsString();
    const QString document(reinterpret_cast<const QChar *>(rest.data()), qsizetype(rest.size() / 2));
    const ReplaceOptions options{(flags & 2) == 0, (flags & 1) != 0};
    const auto detail = [&] {
        return fuzz::units(pattern) + QStringLiteral("| ") + fuzz::units(replacement) +
               QStringLiteral("| ") + fuzz::units(document);
    };

    QList<qsizetype> map;
    const QString compiled = compiledPattern(pattern, &map);
    FUZZ_CHECK(map.size() == compiled.size() + 1, detail());
    for (qsizetype i = 1; i < map.size(); ++i)
        FUZZ_CHECK(map[i - 1] <= map[i] && map[i] <= pattern.size(), detail());

    const ReplaceRule rule(pattern, replacement, options);
    if (!rule.error().isEmpty())
        return 0;
    const ReplaceRule::AllReplaced all = rule.replaceAll(document);
    if (all.limitReached)
        return 0;

    // The same matches one after another, and the text they give.
    QString rebuilt;
    qsizetype copied = 0;
    qsizetype count = 0;
    ReplaceRule::Match match;
    for (qsizetype from = 0; from <= document.size();) {
        const ReplaceRule::Outcome outcome = rule.find(document, from, &match);
        if (outcome != ReplaceRule::Outcome::Found)
            break;
        const qsizetype end = match.start + match.length;
        FUZZ_CHECK(match.start >= from && end <= document.size(), detail());
        FUZZ_CHECK(!betweenCrAndLf(document, match.start) && !betweenCrAndLf(document, end),
                   detail());
        ReplaceRule::Match again;
        FUZZ_CHECK(rule.matchAt(document, match.start, match.length, &again) ==
                           ReplaceRule::Outcome::Found &&
                       again.replacement == match.replacement,
                   detail());
        rebuilt += QStringView(document).mid(copied, match.start - copied);
        rebuilt += match.replacement;
        copied = end;
        ++count;
        if (match.length > 0)
            from = end;
        else if (end < document.size())
            from = stepOver(document, end);
        else
            break;
    }
    rebuilt += QStringView(document).mid(copied);
    FUZZ_CHECK(all.count == count, detail());
    FUZZ_CHECK(all.text == rebuilt, detail());
    if (!options.regularExpression && options.caseSensitive && replacement == pattern)
        FUZZ_CHECK(all.text == document, detail());
    return 0;
}
