#pragma once

#include "platform/files.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace zimo::test {

// Writes a file with exactly these bytes (a failed write fails the test).
inline void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A file's bytes, or "<no file>" when it cannot be read.
inline QByteArray bytesOf(const QString &path)
{
    return readWholeFile(path).value_or(QByteArray("<no file>"));
}

} // namespace zimo::test
