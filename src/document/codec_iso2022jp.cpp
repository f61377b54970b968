#include "document/codec.h"
#include "document/eucjpextensions.h"
#include "document/iconvcodec.h"

#include <array>

// ISO-2022-JP. Decoding is done here, by the escape sequences older software wrote too:
// ESC ( B ASCII, ESC ( J JIS X 0201 Roman (¥ and ‾ at 5C and 7E), ESC ( I and SO .. SI half-width
// katakana, ESC $ @ and ESC $ B (also after ESC & @) JIS X 0208 with the NEC row 13 and the
// IBM extensions in rows 89..92 as Windows writes them. Controls (below 0x21) pass in every set. A byte that fits none of these becomes
// U+DC00 + byte (bytes below 0x80 too, which no encoder writes back: such a reading is not
// complete). Encoding goes through glibc's "ISO-2022-JP" converter with the standard escapes;
// the half-width katakana, the NEC row 13 and the NEC-selected IBM extensions (rows 89..92),
// which it refuses, are written as Windows does (ESC ( I, and those rows inside ESC $ B).

namespace zimo::encoding {

using namespace codec;
using namespace detail;

namespace {

IconvConverter &encoder()
{
    thread_local IconvConverter converter("ISO-2022-JP", utf16Name);
    return converter;
}

enum class Set { Ascii, Roman, Kana, Jis };

// The characters of the 94 x 94 cells of JIS X 0208 and its extension rows, as the EUC-JP codec
// reads them (0 where there is none).
const std::array<char16_t, 94 * 94> &jisTable()
{
    static const std::array<char16_t, 94 * 94> table = [] {
        std::array<char16_t, 94 * 94> t{};
        for (int row = 0; row < 94; ++row) {
            for (int cell = 0; cell < 94; ++cell) {
                const char euc[2] = {char(0xA1 + row), char(0xA1 + cell)};
                const QString s = decodeEucJp(QByteArrayView(euc, 2));
                if (s.size() == 1 && !isStandIn(s[0].unicode()))
                    t[row * 94 + cell] = s[0].unicode();
            }
        }
        return t;
    }();
    return table;
}

bool isHalfWidthKana(char16_t c)
{
    return c >= 0xFF61 && c <= 0xFF9F;
}

qsizetype writeExtension(const char16_t *units, qsizetype pos, qsizetype limit, QByteArray &out)
{
    qsizetype k = pos;
    unsigned char cell[2];
    if (isHalfWidthKana(units[k])) {
        out.append("\x1b(I");
        for (; k < limit && isHalfWidthKana(units[k]); ++k)
            out.append(char(units[k] - 0xFF61 + 0x21));
    } else if (extensionCell(units[k], cell)) {
        out.append("\x1b$B");
        for (; k < limit && extensionCell(units[k], cell); ++k) {
            out.append(char(cell[0] & 0x7F));
            out.append(char(cell[1] & 0x7F));
        }
    } else {
        return 0;
    }
    out.append("\x1b(B");
    return k - pos;
}

class Iso2022JpCodec final : public Codec
{
public:
    QString decode(QByteArrayView bytes) const override
    {
        return decodeIso2022Jp(bytes, nullptr);
    }

    EncodeResult encode(QStringView text, EncodingForm) const override
    {
        // The escape character itself would start an escape sequence, SO and SI would shift to
        // half-width katakana and back.
        return encodeWithIconv(
            encoder(), text, [](char16_t c) { return c == 0x1B || c == 0x0E || c == 0x0F; },
            writeExtension);
    }

    bool keepsBytes(QByteArrayView body, QStringView text) const override
    {
        // A complete reading whose lines the codec would write otherwise keep their bytes (each
        // such line must end in ASCII: no set carried over a line end). Else
        // only when the codec itself gives the bytes back (stand-ins for bytes above 0x7F).
        if (!holdsAnyStandIn(text))
            return documentKeepsBytes(body, text, Encoding::Iso2022Jp);
        return Codec::keepsBytes(body, text);
    }
};

} // namespace

namespace detail {

QString decodeIso2022Jp(QByteArrayView bytes, bool *complete)
{
    const qsizetype n = bytes.size();
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    QString text(n, Qt::Uninitialized);
    char16_t *const outStart = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = outStart;
    bool whole = true;
    Set set = Set::Ascii;
    bool shifted = false; // SO .. SI
    auto standIn = [&](unsigned char b) {
        *out++ = char16_t(standInBase + b);
        whole = false;
    };
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b == 0x1B) {
            const auto at = [&](qsizetype k) { return i + k < n ? p[i + k] : 0; };
            qsizetype length = 0;
            if (at(1) == '(' && (at(2) == 'B' || at(2) == 'J' || at(2) == 'I')) {
                set = at(2) == 'B' ? Set::Ascii : at(2) == 'J' ? Set::Roman : Set::Kana;
                length = 3;
            } else if (at(1) == '$' && (at(2) == '@' || at(2) == 'B')) {
                set = Set::Jis;
                length = 3;
            } else if (at(1) == '&' && at(2) == '@' && at(3) == 0x1B && at(4) == '$' &&
                       at(5) == 'B') {
                set = Set::Jis;
                length = 6;
            }
            if (length) {
                i += length;
                continue;
            }
            standIn(b);
            ++i;
            continue;
        }
        if (b == 0x0E || b == 0x0F) {
            shifted = b == 0x0E;
            ++i;
            continue;
        }
        if (b >= 0x80) {
            standIn(b);
            ++i;
            continue;
        }
        if (b < 0x21 || (b == 0x7F && (set == Set::Ascii || set == Set::Roman) && !shifted)) {
            *out++ = b;
            ++i;
            continue;
        }
        if (shifted || set == Set::Kana) {
            if (b >= 0x21 && b <= 0x5F)
                *out++ = char16_t(0xFF61 + b - 0x21);
            else
                standIn(b);
            ++i;
            continue;
        }
        if (set == Set::Ascii || set == Set::Roman) {
            *out++ = set == Set::Roman && b == 0x5C   ? char16_t(0x00A5)
                     : set == Set::Roman && b == 0x7E ? char16_t(0x203E)
                                                      : char16_t(b);
            ++i;
            continue;
        }
        // JIS X 0208 (with the extension rows): a pair, or a lone byte at the end of the run.
        const unsigned char b2 = i + 1 < n ? p[i + 1] : 0;
        const bool pair = b <= 0x7E && b2 >= 0x21 && b2 <= 0x7E;
        const char16_t c = pair ? jisTable()[(b - 0x21) * 94 + b2 - 0x21] : 0;
        if (c) {
            *out++ = c;
            i += 2;
        } else {
            standIn(b);
            ++i;
        }
    }
    text.truncate(out - outStart);
    if (complete)
        *complete = whole;
    return text;
}

} // namespace detail

const Codec &iso2022JpCodec()
{
    static const Iso2022JpCodec codec;
    return codec;
}

} // namespace zimo::encoding
