#include "document/cp932.h"

// Placeholder until the codec lands.
namespace zimo::cp932 {

QString decode(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

EncodeResult encode(QStringView text)
{
    return {text.toLatin1(), {}};
}

bool canEncodeAt(QStringView, qsizetype)
{
    return true;
}

} // namespace zimo::cp932
