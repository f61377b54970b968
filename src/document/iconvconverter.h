#pragma once

// Pieces the codecs share: the machine's UTF-16 for glibc's converters, the stand-ins for bytes
// that are no character, and a converter handle. Internal to src/document.

#include <QtGlobal>

#include <cerrno>
#include <iconv.h>

namespace zimo::codec {

// QString's units in glibc's naming.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
inline constexpr const char *utf16Name = "UTF-16LE";
#else
inline constexpr const char *utf16Name = "UTF-16BE";
#endif

// A byte that is no character of the encoding decodes to U+DC00 + byte (U+DC80..U+DCFF for the
// bytes 0x80..0xFF) and encodes back to that byte.
inline constexpr char16_t standInBase = 0xDC00;

inline bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

inline bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

inline bool isStandIn(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

// One glibc converter. Keep one per direction and thread, opened on first use: opening one costs
// far more than a short conversion.
class IconvConverter
{
public:
    IconvConverter(const char *to, const char *from) : m_cd(iconv_open(to, from)) {}
    ~IconvConverter()
    {
        if (valid())
            iconv_close(m_cd);
    }
    IconvConverter(const IconvConverter &) = delete;
    IconvConverter &operator=(const IconvConverter &) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts from `in` until the input ends or the converter stops, moving the pointers and
    // counts past what was done. 0 when all was converted, else errno (EILSEQ: no character at
    // `in`; EINVAL: the input ends inside a character; E2BIG: the output is full). Without a
    // converter everything is refused.
    int run(const char *&in, size_t &inLeft, char *&out, size_t &outLeft)
    {
        if (!valid())
            return EILSEQ;
        char *src = const_cast<char *>(in);
        const size_t r = iconv(m_cd, &src, &inLeft, &out, &outLeft);
        in = src;
        return r == static_cast<size_t>(-1) ? errno : 0;
    }
    // Writes what returns the output to its initial state (ISO-2022-JP: back to ASCII).
    int flush(char *&out, size_t &outLeft)
    {
        if (!valid())
            return 0;
        return iconv(m_cd, nullptr, nullptr, &out, &outLeft) == static_cast<size_t>(-1) ? errno : 0;
    }
    // Forgets any shift state.
    void reset()
    {
        if (valid())
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }

private:
    iconv_t m_cd;
};

} // namespace zimo::codec
