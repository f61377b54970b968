#include "document/encodingnames.h"

namespace zimo::encoding {

QString displayName(Encoding e)
{
    switch (e) {
    case Encoding::Cp932:
        return QStringLiteral("Shift_JIS");
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::EucJp:
        return QStringLiteral("EUC-JP");
    case Encoding::Iso2022Jp:
        return QStringLiteral("ISO-2022-JP");
    case Encoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    }
    return {};
}

QString longName(Encoding e)
{
    if (e == Encoding::Cp932)
        return QStringLiteral("シフトJIS（コード ページ 932）");
    if (e == Encoding::Iso2022Jp)
        return QStringLiteral("ISO-2022-JP（JIS）");
    return displayName(e);
}

QString statusText(TextEncoding e, EncodingOrigin origin)
{
    QString text = displayName(e.encoding);
    if (e.bom && !byteOrderMark(e).isEmpty())
        text += QStringLiteral("（BOM付き）");
    if (origin == EncodingOrigin::Default)
        text += QStringLiteral("（既定）");
    else if (origin == EncodingOrigin::Chosen)
        text += QStringLiteral("（指定）");
    return text;
}

} // namespace zimo::encoding
