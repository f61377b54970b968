#pragma once

#include "document/cp932.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

namespace zimo {

// The encodings a document can be read and written in. Every decoder keeps every byte: a byte
// that is no character of the encoding (or a sequence cut off at the end, or the odd last byte of
// UTF-16) becomes U+DC00 + byte and is written back as that byte, as in code page 932.
enum class Encoding { Cp932, Utf8, EucJp, Iso2022Jp, Utf16LE, Utf16BE };

// Which cells of EUC-JP beyond JIS X 0208 and 0212 a page uses for the IBM extensions (the NEC
// row 13, AD A1..AD FE, is the same in all): the form an edited line is written in.
enum class EncodingForm : quint8 {
    Standard, // glibc's EUC-JP; an IBM kanji JIS X 0212 lacks goes to rows F9..FC
    Windows,  // Windows' EUC-JP: the NEC-selected IBM extensions in rows F9..FC, no JIS X 0212
    Ms,       // eucJP-ms: the IBM kanji in JIS X 0212 where it has them, the rest after 8F F3..F4
};

// An encoding, whether its file starts with a byte-order mark (UTF-8 and UTF-16 only), and its
// form (EUC-JP only).
struct TextEncoding
{
    constexpr TextEncoding(Encoding e = Encoding::Cp932, bool b = false,
                           EncodingForm f = EncodingForm::Standard)
        : encoding(e), bom(b), form(f)
    {
    }
    Encoding encoding = Encoding::Cp932;
    bool bom = false;
    EncodingForm form = EncodingForm::Standard;
    bool operator==(const TextEncoding &) const = default;
};

// How the program came to the encoding of a document.
enum class EncodingOrigin {
    Default,    // nothing in the bytes said otherwise: code page 932
    Recognised, // a byte-order mark, a declaration or the bytes themselves
    Chosen,     // the user chose it
};

namespace encoding {

using EncodeResult = cp932::EncodeResult;

// The text of `bytes` (no byte-order mark in them) in `encoding`.
QString decode(Encoding encoding, QByteArrayView bytes);
// The bytes of `text` in `encoding`, without a byte-order mark; characters the encoding cannot
// hold are left out and listed by position, as cp932::encode does.
EncodeResult encode(Encoding encoding, QStringView text);
// The same in the encoding's form (EUC-JP: where the IBM extensions go).
EncodeResult encode(TextEncoding encoding, QStringView text);

// The byte-order mark of the encoding (empty when `bom` is off or the encoding has none).
QByteArray byteOrderMark(TextEncoding encoding);

// Whether the encoding can hold the character (a whole surrogate pair counts as one) at `pos`.
bool canEncodeAt(Encoding encoding, QStringView text, qsizetype pos);

// What the bytes of a file are, by these rules in this order (docs/encodings.md):
// 1. a byte-order mark (UTF-8, UTF-16 LE or BE);
// 2. UTF-16 without a mark when the evidence is strong (a line break, text ranges);
// 3. no byte above 0x7F: ISO-2022-JP when it holds its escape sequences, its reading is complete
//    and the document would write the same bytes back; UTF-8 when a declaration says so;
//    otherwise code page 932;
// 4. a charset declaration of the page in its first 1024 bytes naming Shift_JIS (or an alias),
//    EUC-JP or UTF-8, when the bytes are strictly valid in it;
// 5. strictly valid UTF-8 with at least one multi-byte sequence; with two-byte sequences only and
//    complete as code page 932 too, the plausible reading (Western words, or half-width katakana);
// 6. valid EUC-JP (with the NEC row 13 and the IBM extensions) that is not valid code page 932, or
//    that read as code page 932 would hold a double-byte character, or whose characters above
//    ASCII are at least two and half of them kana;
// 7. everything else: code page 932.
struct Recognition
{
    TextEncoding encoding;
    EncodingOrigin origin = EncodingOrigin::Default;
    bool operator==(const Recognition &) const = default;
};
Recognition recognise(QByteArrayView bytes);

// A file's bytes recognised and decoded (the byte-order mark is not part of the text).
struct DecodedFile
{
    QString text;
    Recognition recognition;
};
DecodedFile decodeFile(QByteArrayView bytes);
// The same for bytes inserted into a document in `document` (a snippet, a dropped file): where
// the bytes leave the choice open (valid UTF-8 without a three-byte sequence, or EUC-JP or code
// page 932 decided by their shape alone) and their reading in the document's encoding is
// complete, that reading.
DecodedFile decodeFile(QByteArrayView bytes, Encoding document);

// The bytes decoded in a given encoding: a byte-order mark of that encoding at the start is taken
// as such. `lossless` tells whether writing the text back gives exactly these bytes.
struct ForcedDecode
{
    QString text;
    bool bom = false;
    bool lossless = false;
    EncodingForm form = EncodingForm::Standard;
};
ForcedDecode decodeAs(Encoding encoding, QByteArrayView bytes);

// The encoding a charset declaration in the first 1024 units of `text` names, if it is one of
// those the program knows (Shift_JIS and its aliases, EUC-JP, UTF-8, ISO-2022-JP, UTF-16);
// `name` receives the declared name as written. False without a declaration or with another name.
bool declaredEncoding(QStringView text, Encoding *encoding, QString *name);
// Whether the text holds a charset declaration at all (any name); `name` receives it.
bool hasDeclaration(QStringView text, QString *name);

} // namespace encoding

} // namespace zimo

// The names shown to the user.
#include "document/encodingnames.h"
