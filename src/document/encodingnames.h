#pragma once

// The names of the encodings as the user sees them: in the status bar's indicator and its menu,
// in questions and messages, and in drafts (which store the status bar name).

#include "document/encoding.h"

#include <QString>

namespace zimo::encoding {

// The name shown in the status bar ("Shift_JIS", "UTF-8", ...).
QString displayName(Encoding encoding);
// The name used in questions ("シフトJIS（コード ページ 932）", "UTF-8", ...).
QString longName(Encoding encoding);
// The status bar's text: the name, then "（BOM付き）", "（既定）" or "（指定）" where they apply.
QString statusText(TextEncoding encoding, EncodingOrigin origin);

} // namespace zimo::encoding
