#include "settings/fontsettings.h"

#include "document/cp932.h"
#include "platform/files.h"

#include <cmath>

namespace zimo {

namespace {

std::optional<double> parseNumber(const QString &text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !qIsFinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<bool> parseTruth(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(u"True", Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(u"False", Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = parseNumber(t))
        return *number != 0;
    return std::nullopt;
}

StartupFont readStartupFont(QByteArrayView fileBytes)
{
    FieldReader reader(fileBytes);
    auto field = [&reader]() -> std::optional<QString> {
        const auto bytes = reader.next();
        if (!bytes)
            return std::nullopt;
        return cp932::decode(*bytes);
    };

    StartupFont font;
    if (const auto size = field()) {
        if (const auto points = parseNumber(*size)) {
            // The size is a single-precision number. Any size below 11 points (0 and negative
            // ones too) is shown as 14; a size larger than the font dialog takes (at such sizes
            // not even one character fits the window, and nothing is drawn) is no size at all,
            // and the layout's size stays.
            const float single = float(*points);
            if (single < 11.0f)
                font.size = 14.0;
            else if (double(single) <= largestFontSize)
                font.size = double(single);
        }
    }
    field(); // the face name: the text area keeps the face of its layout
    if (const auto bold = field())
        font.bold = parseTruth(*bold);
    if (const auto italic = field())
        font.italic = parseTruth(*italic);
    return font;
}

QString fontSizeText(double size)
{
    return QString::number(double(float(size)), 'g', 7);
}

QString faceField(const QString &name)
{
    // A comma or a double quote would end the field early and shift bold and italic into the
    // wrong fields; such a name goes in double quotes, with its own quotes dropped (the face is
    // not restored at start-up, only the fields after it must read back right). A line end
    // inside the name would do the same and is quoted too.
    const bool splits = name.contains(u',') || name.contains(u'"') || name.contains(u'\r') ||
                        name.contains(u'\n');
    if (!splits)
        return name;
    QString bare = name;
    bare.remove(u'"');
    return u'"' + bare + u'"';
}

QByteArray zimo2IniBytes(const FontChoice &font)
{
    auto truth = [](bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); };
    const QString crlf = QStringLiteral("\r\n");
    const QString text = fontSizeText(font.size) + crlf + faceField(font.name) + crlf + truth(font.bold) +
                         crlf + truth(font.italic);
    return cp932::encode(text).bytes;
}

} // namespace zimo
