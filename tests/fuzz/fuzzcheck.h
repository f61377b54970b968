#pragma once

// What the fuzz targets share: a failed property is reported and aborts, so libFuzzer keeps the
// input as a finding just as it does for a crash or a sanitizer report.

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <cstdlib>

namespace zimo::fuzz {

[[noreturn]] inline void fail(const char *file, int line, const char *condition,
                              const QString &detail)
{
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, condition);
    if (!detail.isEmpty())
        std::fprintf(stderr, "  %s\n", detail.toUtf8().constData());
    std::abort();
}

// Text for a failure report: the bytes or UTF-16 units in hex.
inline QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

inline QString units(const QString &text)
{
    QString out;
    for (const QChar c : text)
        out += QString::number(c.unicode(), 16).rightJustified(4, u'0') + u' ';
    return out;
}

} // namespace zimo::fuzz

#define FUZZ_CHECK(condition, detail)                                                              \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::zimo::fuzz::fail(__FILE__, __LINE__, #condition, (detail));                          \
    } while (false)
