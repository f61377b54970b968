#pragma once

// What ISO-2022-JP borrows from the EUC-JP codec. Internal to src/document.

#include <QByteArrayView>
#include <QString>

namespace zimo::encoding::detail {

// EUC-JP's decoder, with the NEC row 13 and the IBM extensions.
QString decodeEucJp(QByteArrayView bytes);
// The cell (0xA1..0xFE) of the NEC row 13 that holds `c` when glibc's EUC-JP does not write it.
bool row13Cell(char16_t c, unsigned char *cell);

} // namespace zimo::encoding::detail
