#pragma once

// What ISO-2022-JP borrows from the EUC-JP codec. Internal to src/document.

#include <QByteArrayView>
#include <QString>

namespace zimo::encoding::detail {

// EUC-JP's decoder, with the NEC row 13 and the IBM extensions.
QString decodeEucJp(QByteArrayView bytes);
// The EUC-JP bytes of `c` in the NEC row 13 (AD) or Windows' rows F9..FC, when it has them there
// and glibc's EUC-JP does not write it from JIS X 0208.
bool extensionCell(char16_t c, unsigned char bytes[2]);

} // namespace zimo::encoding::detail
