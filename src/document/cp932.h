#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace zimo::cp932 {

// Code page 932 (Microsoft's Shift-JIS), the encoding of documents, settings and snippet files.

// Decodes without losing a byte: a byte where no valid character starts (0x80, 0xA0, 0xFD-0xFF, a
// lead byte with a bad trail byte, a lead byte cut off at the end) becomes U+DC00 + byte, and
// decoding goes on at the next byte.
QString decode(QByteArrayView bytes);

struct EncodeResult
{
    QByteArray bytes;
    // Positions (UTF-16 indexes into the text) of the characters code page 932 cannot hold, in
    // order; a surrogate pair is reported once, at its first unit. Such a character is left out
    // of `bytes`.
    QList<qsizetype> unencodable;
    bool ok() const { return unencodable.isEmpty(); }
};

// Encodes; U+DC80..U+DCFF (the decoder's stand-ins for undecodable bytes) become those bytes again.
EncodeResult encode(QStringView text);

// Whether code page 932 can hold the character (a whole surrogate pair counts as one) at `pos`.
bool canEncodeAt(QStringView text, qsizetype pos);

} // namespace zimo::cp932
