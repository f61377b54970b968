#include "document/codec.h"
#include "document/eucjpextensions.h"
#include "document/iconvcodec.h"

#include <QHash>

#include <array>
#include <bitset>

// EUC-JP through glibc's "EUC-JP" converter (JIS X 0208, half-width katakana after 8E, JIS X 0212
// after 8F), and the cells Windows and eucJP-ms add to it, which glibc's converter refuses:
// - the NEC row 13 (AD A1..AD FE: ①, Ⅰ, ㈱, ...), the cells 8740..879E of code page 932;
// - Windows' rows F9..FC (JIS rows 89..92): the NEC-selected IBM extensions, the cells
//   ED40..EEFC of code page 932, by the usual JIS row and cell arithmetic;
// - eucJP-ms's IBM extensions after 8F in rows F3..F4 (JIS X 0212 rows 83..84), those JIS X 0212
//   lacks, as glibc's "EUC-JP-MS" converter has them.
// Decoding takes all of them in any page; encoding writes a character in the form of the page
// (EncodingForm). The tables are built once from glibc's converters.

namespace zimo::encoding {

using namespace codec;
using namespace detail;

namespace {

struct Tables
{
    std::array<char16_t, 94> row13{};      // AD A1.. (0 where no character)
    std::array<char16_t, 4 * 94> windows{}; // F9 A1..FC FE
    std::array<char16_t, 2 * 94> ms{};      // 8F F3 A1..8F F4 FE
    // Encoding: the bytes (two or three, packed big end first) of each character.
    QHash<char16_t, quint32> row13Bytes, windowsBytes, msBytes;
    // Characters glibc writes from JIS X 0212 that Windows' EUC-JP writes in rows F9..FC.
    std::bitset<65536> windowsOverride;
};

// The one character of `bytes` in the converter, or 0.
char16_t single(IconvConverter &cd, QByteArrayView bytes)
{
    char16_t out[4];
    const char *in = bytes.data();
    size_t inLeft = size_t(bytes.size());
    char *o = reinterpret_cast<char *>(out);
    size_t outLeft = sizeof out;
    cd.reset();
    if (cd.run(in, inLeft, o, outLeft) != 0 || outLeft != sizeof out - 2)
        return 0;
    return isLowSurrogate(out[0]) || isHighSurrogate(out[0]) ? 0 : out[0];
}

// How many bytes glibc's EUC-JP writes the character in, 0 when it does not.
int glibcWrites(IconvConverter &cd, char16_t c)
{
    char buf[8];
    const char *in = reinterpret_cast<const char *>(&c);
    size_t inLeft = 2;
    char *o = buf;
    size_t outLeft = sizeof buf;
    cd.reset();
    return cd.run(in, inLeft, o, outLeft) == 0 ? int(o - buf) : 0;
}

// The code page 932 cell of JIS row `row` (1..94) and cell `cell` (1..94).
QByteArray sjisCell(int row, int cell)
{
    const int lead = row <= 62 ? 0x81 + (row - 1) / 2 : 0xE0 + (row - 63) / 2;
    int trail;
    if (row % 2 == 1)
        trail = cell + 0x3F + (cell + 0x3F >= 0x7F ? 1 : 0);
    else
        trail = cell + 0x9E;
    const char bytes[2] = {char(lead), char(trail)};
    return QByteArray(bytes, 2);
}

Tables buildTables()
{
    Tables t;
    IconvConverter ms(utf16Name, "EUC-JP-MS");
    IconvConverter plain("EUC-JP", utf16Name);
    auto fromCp932 = [](int row, int cell) -> char16_t {
        const QString s = cp932::decode(sjisCell(row, cell));
        return s.size() == 1 && !isStandIn(s[0].unicode()) ? s[0].unicode() : 0;
    };
    for (int cell = 1; cell <= 94; ++cell) {
        const char16_t c = fromCp932(13, cell);
        t.row13[cell - 1] = c;
        if (c && !glibcWrites(plain, c))
            t.row13Bytes.insert(c, 0xADA0u + cell);
    }
    for (int r = 0; r < 4; ++r) {
        for (int cell = 1; cell <= 94; ++cell) {
            const char16_t c = fromCp932(89 + r, cell);
            t.windows[r * 94 + cell - 1] = c;
            if (!c || t.row13Bytes.contains(c))
                continue;
            t.windowsBytes.insert(c, quint32(0xF9 + r) << 8 | (0xA0 + cell));
            // A kanji glibc writes from JIS X 0212, which Windows' EUC-JP does not have.
            if (glibcWrites(plain, c) == 3)
                t.windowsOverride.set(c);
        }
    }
    for (int r = 0; r < 2; ++r) {
        for (int cell = 1; cell <= 94; ++cell) {
            const char bytes[3] = {char(0x8F), char(0xF3 + r), char(0xA0 + cell)};
            const char16_t c = single(ms, QByteArrayView(bytes, 3));
            // Rows F3..F4 past the IBM extensions are eucJP-ms's user-defined area.
            if (!c || (c >= 0xE000 && c <= 0xF8FF))
                continue;
            t.ms[r * 94 + cell - 1] = c;
            if (!glibcWrites(plain, c) && !t.row13Bytes.contains(c))
                t.msBytes.insert(c, 0x8F0000u | quint32(0xF3 + r) << 8 | (0xA0 + cell));
        }
    }
    return t;
}

const Tables &tables()
{
    static const Tables t = buildTables();
    return t;
}

IconvConverter &decoder()
{
    thread_local IconvConverter converter(utf16Name, "EUC-JP");
    return converter;
}

IconvConverter &encoder()
{
    thread_local IconvConverter converter("EUC-JP", utf16Name);
    return converter;
}

bool inRow(unsigned char b)
{
    return b >= 0xA1 && b <= 0xFE;
}

// The extension character at p, its unit written at out; the bytes taken, or 0.
qsizetype decodeExtension(const unsigned char *p, qsizetype left, char16_t *&out)
{
    if (left < 2)
        return 0;
    const Tables &t = tables();
    char16_t c = 0;
    qsizetype taken = 2;
    if (p[0] == 0xAD && inRow(p[1])) {
        c = t.row13[p[1] - 0xA1];
    } else if (p[0] >= 0xF9 && p[0] <= 0xFC && inRow(p[1])) {
        c = t.windows[(p[0] - 0xF9) * 94 + p[1] - 0xA1];
    } else if (p[0] == 0x8F && left >= 3 && (p[1] == 0xF3 || p[1] == 0xF4) && inRow(p[2])) {
        c = t.ms[(p[1] - 0xF3) * 94 + p[2] - 0xA1];
        taken = 3;
    }
    if (!c)
        return 0;
    *out++ = c;
    return taken;
}

void appendPacked(QByteArray &bytes, quint32 packed)
{
    if (packed > 0xFFFF)
        bytes.append(char(packed >> 16));
    bytes.append(char(packed >> 8));
    bytes.append(char(packed));
}

// Characters the converter writes but that would reopen as something else: ¥ and ‾ become the
// ASCII backslash and tilde.
bool refused(char16_t c)
{
    return c == 0x00A5 || c == 0x203E;
}

class EucJpCodec final : public Codec
{
public:
    QString decode(QByteArrayView bytes) const override
    {
        return decodeWithIconv(decoder(), bytes, decodeExtension);
    }

    EncodeResult encode(QStringView text, EncodingForm form) const override
    {
        const Tables &t = tables();
        // Where each form looks for a character glibc does not write, in order.
        const QHash<char16_t, quint32> *order[3] = {&t.row13Bytes, &t.windowsBytes, &t.msBytes};
        if (form == EncodingForm::Ms)
            std::swap(order[1], order[2]);
        auto extension = [&](const char16_t *units, qsizetype pos, qsizetype,
                             QByteArray &bytes) -> qsizetype {
            for (const auto *table : order) {
                const auto it = table->constFind(units[pos]);
                if (it != table->cend()) {
                    appendPacked(bytes, *it);
                    return 1;
                }
            }
            return 0;
        };
        if (form == EncodingForm::Windows) {
            return encodeWithIconv(
                encoder(), text,
                [&](char16_t c) { return refused(c) || t.windowsOverride.test(c); }, extension);
        }
        return encodeWithIconv(encoder(), text, refused, extension);
    }

    bool keepsBytes(QByteArrayView body, QStringView text) const override
    {
        // The lines holding a folded cell (≒ in the NEC row 13 and in row 2, an IBM kanji in two
        // places) keep their bytes in the document; so do lines where a stand-in for a lead byte
        // would group with a cell written in another form.
        return documentKeepsBytes(body, text, {Encoding::EucJp, false, eucShape(body).form()});
    }
};

} // namespace

namespace detail {

EucShape eucShape(QByteArrayView bytes)
{
    EucShape shape;
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        // ASCII eight bytes at a time.
        while (i + 8 <= n && (load64(p + i) & highBits) == 0)
            i += 8;
        if (i >= n)
            break;
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
        } else if (inRow(b)) {
            if (i + 1 >= n || !inRow(p[i + 1]))
                return shape;
            shape.windowsRows |= b >= 0xF9 && b <= 0xFC;
            i += 2;
        } else if (b == 0x8E) {
            if (i + 1 >= n || p[i + 1] < 0xA1 || p[i + 1] > 0xDF)
                return shape;
            i += 2;
        } else if (b == 0x8F) {
            if (i + 2 >= n || !inRow(p[i + 1]) || !inRow(p[i + 2]))
                return shape;
            shape.msRows |= p[i + 1] == 0xF3 || p[i + 1] == 0xF4;
            i += 3;
        } else {
            return shape;
        }
    }
    shape.valid = true;
    return shape;
}

bool extensionCell(char16_t c, unsigned char bytes[2])
{
    const Tables &t = tables();
    auto it = t.row13Bytes.constFind(c);
    if (it == t.row13Bytes.cend()) {
        it = t.windowsBytes.constFind(c);
        if (it == t.windowsBytes.cend())
            return false;
    }
    bytes[0] = static_cast<unsigned char>(*it >> 8);
    bytes[1] = static_cast<unsigned char>(*it & 0xFF);
    return true;
}

QString decodeEucJp(QByteArrayView bytes)
{
    return decodeWithIconv(decoder(), bytes, decodeExtension);
}

} // namespace detail

const Codec &eucJpCodec()
{
    static const EucJpCodec codec;
    return codec;
}

} // namespace zimo::encoding
