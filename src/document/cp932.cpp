#include "document/cp932.h"

#include <QHash>

#include "document/iconvconverter.h"

#include <cerrno>

// Both directions run glibc's "CP932" converter over as much of the input as it accepts in one
// call, writing straight into the result's buffer, and step in by hand only where it stops:
// - decoding: a byte where no character starts is kept as U+DC00 + byte (only bytes 0x80..0xFF
//   can be such a byte, so the stand-ins are U+DC80..U+DCFF);
// - encoding: surrogates never reach the converter. Code page 932 holds no character outside the
//   Basic Multilingual Plane, and glibc would silently drop the Unicode tag characters
//   (U+E0000..U+E007F) instead of refusing them, so every surrogate pair is reported here, a lone
//   U+DC80..U+DCFF becomes its byte again and every other lone surrogate is reported.
// Details of the table (which cells decode, which fold onto others) are in docs/codepage932.md.

namespace zimo::cp932 {

using namespace codec;

namespace {

// Characters the converter writes as plain ASCII look-alikes (¥ as a backslash, ‾ as a tilde):
// they would reopen as other characters that look different in every current program, so they
// are reported like any character the code page cannot hold.
bool isAsciiLookAlike(char16_t c)
{
    return c == 0x00A5 || c == 0x203E;
}

bool isSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

IconvConverter &decoder()
{
    thread_local IconvConverter converter(utf16Name, "CP932");
    return converter;
}

IconvConverter &encoder()
{
    thread_local IconvConverter converter("CP932", utf16Name);
    return converter;
}

} // namespace

QString decode(QByteArrayView bytes)
{
    const qsizetype n = bytes.size();
    // Every byte gives at most one UTF-16 unit (a two-byte character gives one, a stand-in one).
    QString text(n, Qt::Uninitialized);
    char16_t *const outStart = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = outStart;
    const char *in = bytes.data();
    const char *const end = in + n;

    IconvConverter &cd = decoder();
    cd.reset();
    while (in < end) {
        char *o = reinterpret_cast<char *>(out);
        size_t inLeft = static_cast<size_t>(end - in);
        size_t outLeft = static_cast<size_t>(n - (out - outStart)) * sizeof(char16_t);
        const int error = cd.run(in, inLeft, o, outLeft);
        out = reinterpret_cast<char16_t *>(o);
        if (error == 0)
            break;
        cd.reset();
        // EILSEQ or EINVAL: no character starts at `in`. Keep the byte, go on with the next one.
        // (E2BIG cannot happen: the buffer holds a unit for every byte.)
        Q_ASSERT(error == EILSEQ || error == EINVAL);
        // (Without a converter, run() refuses everything and only ASCII is decoded, by hand:
        // still nothing is lost.)
        const auto byte = static_cast<unsigned char>(*in);
        *out++ = byte < 0x80 && !cd.valid() ? char16_t(byte) : char16_t(standInBase + byte);
        ++in;
    }
    text.truncate(out - outStart);
    // Japanese text takes one unit for two bytes: give back the unused half of the buffer.
    if (text.size() < n - n / 4)
        text.squeeze();
    return text;
}

namespace {

// Encodes text[from, to), which holds no surrogate, appending at `out`; reports what the code page
// cannot hold.
void encodePlain(IconvConverter &cd, QStringView text, qsizetype from, qsizetype to, char *&out,
                 QList<qsizetype> &unencodable)
{
    const char *const base = reinterpret_cast<const char *>(text.utf16());
    const char *in = base + from * qsizetype(sizeof(char16_t));
    const char *const end = base + to * qsizetype(sizeof(char16_t));
    while (in < end) {
        // Two bytes at most per unit; the caller's buffer is sized for that.
        size_t inLeft = static_cast<size_t>(end - in);
        size_t outLeft = inLeft;
        const int error = cd.run(in, inLeft, out, outLeft);
        if (error == 0)
            break;
        cd.reset();
        const qsizetype pos = (in - base) / qsizetype(sizeof(char16_t));
        const char16_t c = text[pos].unicode();
        if (c < 0x80 && !cd.valid())
            *out++ = char(c);
        else
            unencodable.append(pos);
        in += sizeof(char16_t);
    }
}

// The index of the first surrogate or ASCII look-alike in units[from, n), or n. Looks at blocks of
// units without branching inside a block, which the compiler turns into vector instructions: the
// scan costs a fraction of the conversion even on text without any surrogate.
qsizetype findSurrogate(const char16_t *units, qsizetype from, qsizetype n)
{
    constexpr qsizetype block = 32;
    qsizetype i = from;
    while (i + block <= n) {
        unsigned found = 0;
        for (qsizetype k = 0; k < block; ++k)
            found |= unsigned(isSurrogate(units[i + k]) || isAsciiLookAlike(units[i + k]));
        if (found)
            break;
        i += block;
    }
    while (i < n && !isSurrogate(units[i]) && !isAsciiLookAlike(units[i]))
        ++i;
    return i;
}

bool isLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Whether the two bytes decode to one character.
bool formsCharacter(unsigned char lead, unsigned char trail)
{
    const char pair[2] = {char(lead), char(trail)};
    const QString text = decode(QByteArrayView(pair, 2));
    return text.size() == 1 && !isStandIn(text[0].unicode());
}

// The characters that have more than one cell: the cell the converter writes first, then the
// others (which decode to the same character but are never written by the converter).
using Cells = QList<QByteArray>;
const QHash<char16_t, Cells> &duplicateCells()
{
    static const QHash<char16_t, Cells> cells = [] {
        QHash<char16_t, Cells> found;
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(static_cast<unsigned char>(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                const char pair[2] = {char(lead), char(trail)};
                const QString text = decode(QByteArrayView(pair, 2));
                if (text.size() != 1 || isStandIn(text[0].unicode()))
                    continue;
                const EncodeResult written = encode(text);
                if (written.ok() && written.bytes != QByteArrayView(pair, 2)) {
                    Cells &list = found[text[0].unicode()];
                    if (list.isEmpty())
                        list.append(written.bytes);
                    list.append(QByteArray(pair, 2));
                }
            }
        }
        return found;
    }();
    return cells;
}

// Writes text[pos], which follows the stand-in for the lead byte `lead`, if it is a character
// with duplicate cells; returns false (nothing written) otherwise. The usual cell may start with a
// byte that would join the lead byte into another character, which would change the text on the
// next open: then a duplicate cell that does not join is written. An unchanged file always has
// one, because that is how its bytes decoded.
bool writeAfterLeadStandIn(unsigned char lead, char16_t c, char *&out)
{
    if (c < 0x80)
        return false;
    const QHash<char16_t, Cells> &duplicates = duplicateCells();
    const auto it = duplicates.constFind(c);
    if (it == duplicates.constEnd())
        return false;
    const Cells &cells = *it;
    QByteArray chosen = cells.first();
    for (const QByteArray &cell : cells) {
        if (!formsCharacter(lead, static_cast<unsigned char>(cell[0]))) {
            chosen = cell;
            break;
        }
    }
    for (char b : chosen)
        *out++ = b;
    return true;
}

} // namespace

EncodeResult encode(QStringView text)
{
    EncodeResult result;
    const qsizetype n = text.size();
    result.bytes.resize(n * 2);
    char *const outStart = result.bytes.data();
    char *out = outStart;
    const char16_t *const units = text.utf16();

    IconvConverter &cd = encoder();
    cd.reset();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype j = findSurrogate(units, i, n);
        if (j > i)
            encodePlain(cd, text, i, j, out, result.unencodable);
        if (j == n)
            break;
        const char16_t c = units[j];
        if (isAsciiLookAlike(c)) {
            result.unencodable.append(j);
            i = j + 1;
        } else if (isHighSurrogate(c) && j + 1 < n && isLowSurrogate(units[j + 1])) {
            result.unencodable.append(j);
            i = j + 2;
        } else {
            i = j + 1;
            if (isStandIn(c)) {
                const auto byte = static_cast<unsigned char>(c - standInBase);
                *out++ = char(byte);
                if (isLeadByte(byte) && i < n && writeAfterLeadStandIn(byte, units[i], out))
                    ++i;
            } else {
                result.unencodable.append(j);
            }
        }
    }
    result.bytes.truncate(out - outStart);
    return result;
}

bool canEncodeAt(QStringView text, qsizetype pos)
{
    if (pos < 0 || pos >= text.size())
        return false;
    const char16_t c = text[pos].unicode();
    if (isLowSurrogate(c) && pos > 0 && isHighSurrogate(text[pos - 1].unicode()))
        return false; // the second half of a pair
    if (isSurrogate(c))
        return isStandIn(c);
    return encode(text.sliced(pos, 1)).ok();
}

} // namespace zimo::cp932
