#pragma once

#include <QString>

namespace zimo {

// The search rule of the search dialog, over the model text (a line break is CR LF, two
// characters). Returns the 1-based position q of the first occurrence of `searchText` in
// `document` that begins at position `start` or later, or 0 when there is none. There is no
// wrap-around to the start.
//
// - The comparison is literal and exact by character code: case, full-width and half-width forms,
//   hiragana and katakana all differ; nothing in the search text is special.
// - Occurrences are tried left to right; overlapping ones count like any other.
// - An occurrence never begins or ends between the CR and the LF of a line break: a search text
//   starting with LF or ending with CR does not match half of a line break (it still matches a
//   lone LF or CR).
// - An empty search text is found at `start` when that position holds a character
//   (1 <= start <= document length); at the position after the last character, and anywhere in
//   an empty document, it is not found.
// A `start` below 1 counts as 1.
qsizetype findOnward(const QString &document, const QString &searchText, qsizetype start);
// The same rule with the comparison's case sensitivity chosen (the replace dialog's check box);
// everything else as above.
qsizetype findOnward(const QString &document, const QString &searchText, qsizetype start,
                     Qt::CaseSensitivity cs);

// Whether the 0-based boundary `at` falls between the CR and the LF of a line break.
bool splitsLineBreak(const QString &text, qsizetype at);

} // namespace zimo
