#pragma once

// The codecs behind encoding::decode and encoding::encode: one class per encoding, each in its
// own file (codec_<name>.cpp), found through codecFor. Adding an encoding means one such file and
// one line in codecFor (codecs.cpp). Internal to src/document.

#include "document/encoding.h"

#include <cstring>

namespace zimo::encoding {

class Codec
{
public:
    virtual ~Codec() = default;
    // The text of `bytes` (no byte-order mark in them). Every byte is kept: a byte that is no
    // character becomes U+DC00 + byte.
    virtual QString decode(QByteArrayView bytes) const = 0;
    // The bytes of `text`, without a byte-order mark; characters the encoding cannot hold are left
    // out and listed by position.
    virtual EncodeResult encode(QStringView text, EncodingForm form) const = 0;
    // The byte-order mark, empty for encodings that have none.
    virtual QByteArrayView byteOrderMark() const { return {}; }
    // Whether a document read from `body` as `text` is written back as the same bytes (the
    // document keeps the bytes of lines the codec would write otherwise, see keptlines.h).
    // By default: the codec itself gives the bytes back.
    virtual bool keepsBytes(QByteArrayView body, QStringView text) const
    {
        const EncodeResult back = encode(text, EncodingForm::Standard);
        return back.ok() && back.bytes == body;
    }
};

const Codec &codecFor(Encoding encoding);

// Shared by the codecs and the recognition.
namespace detail {

constexpr quint64 highBits = 0x8080808080808080ULL;

inline quint64 load64(const unsigned char *p)
{
    quint64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Whether any byte is above 0x7F.
bool hasHighByte(QByteArrayView bytes);
// Whether the text holds a stand-in U+DC80..U+DCFF for a byte.
bool holdsStandIn(QStringView text);
// Whether the text holds any unit U+DC00..U+DCFF that is not the second half of a pair: a byte
// that is no character, also below 0x80 (ISO-2022-JP).
bool holdsAnyStandIn(QStringView text);

struct Utf8Check
{
    bool valid = true;
    bool multiByte = false;
    bool longSequence = false; // a sequence of three or four bytes
};
Utf8Check checkUtf8(QByteArrayView bytes);

QString decodeUtf16(QByteArrayView bytes, bool little);
// Whether a UTF-16 reading can stand as the document's text (see codec_utf16.cpp).
bool utf16Clear(QStringView text, bool oddLength);

// The shape of EUC-JP and which extension rows it uses.
struct EucShape
{
    bool valid = false;
    bool windowsRows = false; // a character in rows F9..FC
    bool msRows = false;      // a character after 8F in rows F3..F4
    EncodingForm form() const
    {
        return msRows && !windowsRows ? EncodingForm::Ms
               : windowsRows          ? EncodingForm::Windows
                                      : EncodingForm::Standard;
    }
};
EucShape eucShape(QByteArrayView bytes);

// Whether a document read from `body` as `text` in `encoding` and written unchanged gives `body`
// back: the codec's bytes, and the bytes of the lines it keeps (keptlines.h).
bool documentKeepsBytes(QByteArrayView body, QStringView text, TextEncoding encoding);

// ISO-2022-JP's decoder, also telling whether every byte was part of a character.
QString decodeIso2022Jp(QByteArrayView bytes, bool *complete);

} // namespace detail

} // namespace zimo::encoding
