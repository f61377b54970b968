#pragma once

#include "platform/commondialog.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace zimo {

// zimo_2.ini, the display font of the main text area, in the working folder: four fields, each
// on its own line (CR LF between, none after the last): size, face name, bold, italic.
inline const QString zimo2IniName = QStringLiteral("zimo_2.ini");

// The largest size the font dialog takes (its size field's limit, typed in; its list goes to 72).
// Larger sizes draw nothing at all in the text area: start-up does not take them.
inline constexpr double largestFontSize = 512;

// What start-up takes from zimo_2.ini. A field that is missing or cannot be read as its kind is
// empty, and the text area keeps what its layout gives it. The face is read and discarded.
struct StartupFont
{
    std::optional<double> size; // already with the below-11 rule applied (becomes 14); at most
                                // largestFontSize
    std::optional<bool> bold;
    std::optional<bool> italic;
};
StartupFont readStartupFont(QByteArrayView fileBytes);

// The file's bytes for a confirmed font choice, exactly as the format command writes them.
QByteArray zimo2IniBytes(const FontChoice &font);

// The face name as the file holds it: as it is, or in double quotes when it holds a character that
// would end the field (a comma, a double quote, a line end).
QString faceField(const QString &name);

// A size as the file holds it: the shortest decimal of the single-precision value with at most
// seven significant digits and a full stop (12, 10.5, 9.75).
QString fontSizeText(double size);

// The runtime's text-to-boolean reading: "True"/"False" in any case, or a number (not 0 = true).
std::optional<bool> parseTruth(const QString &text);

} // namespace zimo
