#include "settings/fontsettings.h"

#include "document/cp932.h"
#include "platform/files.h"

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
            // A size below 11 points is shown as 14. A number beyond the range of a single
            // (1e39) is no size at all, not an infinite one.
            const float single = float(*points);
            if (single > 0 && qIsFinite(single))
                font.size = single < 11.0f ? 14.0 : double(single);
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

QByteArray zimo2IniBytes(const FontChoice &font)
{
    auto truth = [](bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); };
    const QString crlf = QStringLiteral("\r\n");
    const QString text = fontSizeText(font.size) + crlf + font.name + crlf + truth(font.bold) +
                         crlf + truth(font.italic);
    return cp932::encode(text).bytes;
}

} // namespace zimo
