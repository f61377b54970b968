#pragma once

#include <QString>
#include <QStringView>

namespace zimo::markup {

// The text transforms behind the markup commands. A line break is the pair CR LF; a lone CR or LF
// is an ordinary character and never matched. Each function makes its result in one allocation of
// the exact size and copies the unchanged runs whole, so a large document costs one pass.

// "<BR>" in front of every CR LF, scanning left to right; what is inserted is not scanned again.
// A text without CR LF comes back as the same (shared) string.
QString addBrTags(const QString &text);

// Every "<BR>" CR LF becomes CR LF, scanning left to right with exact, case-sensitive matching:
// of two tags in front of a line break only the second goes. A text without such a tag comes back
// as the same (shared) string.
QString removeBrTags(const QString &text);

// The centring block that replaces a selection: CR LF "<CENTER>" CR LF, the selection unchanged,
// CR LF "</CENTER>" CR LF.
QString centerBlock(QStringView selected);

// The document with a snippet appended on a new line: text, CR LF, snippet.
QString appendSnippet(QStringView text, QStringView snippet);

} // namespace zimo::markup
