#pragma once

// Decoding and encoding through one of glibc's converters, kept lossless as for code page 932
// (a byte the converter refuses becomes its stand-in), with a hook for the cells the converter
// does not know (the EUC-JP extensions, ISO-2022-JP's half-width katakana). Internal to
// src/document.

#include "document/encoding.h"
#include "document/iconvconverter.h"

namespace zimo::encoding::detail {

// Grows `bytes` so that at least `need` more bytes fit after `out`; keeps `out` valid.
inline void reserveOut(QByteArray &bytes, char *&out, size_t need)
{
    const qsizetype used = out - bytes.data();
    if (bytes.size() - used >= qsizetype(need))
        return;
    bytes.resize(qMax(bytes.size() * 2, used + qsizetype(need) + 16));
    out = bytes.data() + used;
}

// `extension(p, left, out)`: where the converter stops at p (left bytes from there), decodes the
// character there if the codec knows it, writes its unit at out (moving out) and returns the
// bytes taken; 0 when it does not.
template <typename Extension>
QString decodeWithIconv(codec::IconvConverter &cd, QByteArrayView bytes, Extension &&extension)
{
    const qsizetype n = bytes.size();
    // Every character of these encodings is in the BMP and takes at least one byte.
    QString text(n, Qt::Uninitialized);
    char16_t *const outStart = reinterpret_cast<char16_t *>(text.data());
    char16_t *out = outStart;
    const char *in = bytes.data();
    const char *const end = in + n;
    cd.reset();
    while (in < end) {
        char *o = reinterpret_cast<char *>(out);
        size_t inLeft = size_t(end - in);
        size_t outLeft = size_t(n - (out - outStart)) * sizeof(char16_t);
        const int error = cd.run(in, inLeft, o, outLeft);
        out = reinterpret_cast<char16_t *>(o);
        if (error == 0)
            break;
        const auto *p = reinterpret_cast<const unsigned char *>(in);
        if (const qsizetype taken = extension(p, end - in, out)) {
            in += taken;
        } else {
            // No character at `in` (or the input ends inside one): keep the byte.
            const auto byte = static_cast<unsigned char>(*in);
            if (byte < 0x80 && !cd.valid())
                *out++ = byte;
            else
                *out++ = char16_t(codec::standInBase + byte);
            ++in;
        }
        cd.reset();
    }
    // Not shrunk: the text lives only until the text box has it.
    text.truncate(out - outStart);
    return text;
}

// `needsCare(c)`: the unit is not handed to the converter (surrogates always are not).
// `extension(units, pos, limit, bytes)`: appends to `bytes` the bytes, from and back to the initial
// state, of the characters in units[pos, limit) from pos on that the codec writes itself, and returns how many
// units it took; 0 when it cannot write units[pos].
template <typename NeedsCare, typename Extension>
EncodeResult encodeWithIconv(codec::IconvConverter &cd, QStringView text, NeedsCare &&needsCare,
                             Extension &&extension)
{
    using namespace codec;
    EncodeResult result;
    const qsizetype n = text.size();
    QByteArray &bytes = result.bytes;
    bytes = QByteArray(n * 2 + 16, Qt::Uninitialized);
    char *out = bytes.data();
    const char16_t *const units = text.utf16();
    cd.reset();

    auto flush = [&] {
        reserveOut(bytes, out, 8);
        size_t outLeft = size_t(bytes.size() - (out - bytes.data()));
        cd.flush(out, outLeft);
    };
    QByteArray extra;
    // Writes units[pos...] by the codec's own rule; the units taken, 0 when it cannot.
    auto writeExtension = [&](qsizetype pos, qsizetype limit) -> qsizetype {
        extra.clear();
        const qsizetype taken = extension(units, pos, limit, extra);
        if (taken == 0)
            return 0;
        flush();
        reserveOut(bytes, out, size_t(extra.size()));
        std::memcpy(out, extra.constData(), size_t(extra.size()));
        out += extra.size();
        return taken;
    };

    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && !isHighSurrogate(units[j]) && !isLowSurrogate(units[j]) &&
               !needsCare(units[j]))
            ++j;
        // Convert units[i, j).
        const char *in = reinterpret_cast<const char *>(units + i);
        size_t inLeft = size_t(j - i) * sizeof(char16_t);
        // The buffer holds two bytes a unit, which is enough for nearly all text; the converter
        // says when it is not (JIS X 0212 takes three bytes, escape sequences three more).
        size_t need = 16;
        while (inLeft > 0) {
            reserveOut(bytes, out, need);
            size_t outLeft = size_t(bytes.size() - (out - bytes.data()));
            const int error = cd.run(in, inLeft, out, outLeft);
            if (error == 0)
                continue;
            if (error == E2BIG) {
                need = outLeft + inLeft + 64;
                continue;
            }
            const qsizetype pos = (reinterpret_cast<const char16_t *>(in) - units);
            qsizetype taken = 1;
            if (!cd.valid() && units[pos] < 0x80) {
                reserveOut(bytes, out, 1);
                *out++ = char(units[pos]);
            } else if (const qsizetype t = writeExtension(pos, j)) {
                taken = t;
            } else {
                // A character the encoding cannot hold: report it and go on after it.
                result.unencodable.append(pos);
            }
            in += taken * qsizetype(sizeof(char16_t));
            inLeft -= size_t(taken) * sizeof(char16_t);
        }
        if (j == n)
            break;
        const char16_t c = units[j];
        if (isHighSurrogate(c) && j + 1 < n && isLowSurrogate(units[j + 1])) {
            result.unencodable.append(j);
            i = j + 2;
        } else if (isStandIn(c)) {
            // The byte goes out as it was read, after the converter is back in its initial state.
            flush();
            reserveOut(bytes, out, 1);
            *out++ = char(c - standInBase);
            i = j + 1;
        } else if (const qsizetype taken = isLowSurrogate(c) || isHighSurrogate(c)
                                               ? 0
                                               : writeExtension(j, n)) {
            i = j + taken;
        } else {
            result.unencodable.append(j);
            i = j + 1;
        }
    }
    flush();
    bytes.truncate(out - bytes.data());
    return result;
}

} // namespace zimo::encoding::detail
