#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;

class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void splitLines_data();
    void splitLines();
    void fields_data();
    void fields();
    void atomicWriteReplaces();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void readMissingAndFolder();
};

void TestFiles::splitLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::newRow("empty") << QByteArray() << QList<QByteArray>{};
    QTest::newRow("CR LF, no final end") << QByteArray("a\r\nb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("final CR LF") << QByteArray("a\r\nb\r\n") << QList<QByteArray>{"a", "b"};
    QTest::newRow("lone CR ends a line") << QByteArray("a\rb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("lone LF stays inside") << QByteArray("a\nb") << QList<QByteArray>{"a\nb"};
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QList<QByteArray>{"a\n", "b"};
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n") << QList<QByteArray>{"", ""};
    QTest::newRow("CR CR LF") << QByteArray("a\r\r\n") << QList<QByteArray>{"a", ""};
}

void TestFiles::splitLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, lines);
    QCOMPARE(zimo::splitLines(bytes), lines);
}

void TestFiles::fields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("fields");
    QTest::newRow("lines") << QByteArray("12\r\nFace\r\nTrue\r\nFalse")
                           << QList<QByteArray>{"12", "Face", "True", "False"};
    QTest::newRow("final CR LF") << QByteArray("12\r\nFace\r\n")
                                 << QList<QByteArray>{"12", "Face"};
    QTest::newRow("leading blanks skipped") << QByteArray("   a,  b") << QList<QByteArray>{"a", "b"};
    QTest::newRow("comma ends a field") << QByteArray("My, Face\r\nx")
                                        << QList<QByteArray>{"My", "Face", "x"};
    QTest::newRow("quoted keeps comma") << QByteArray("\"a,b\",c")
                                        << QList<QByteArray>{"a,b", "c"};
    QTest::newRow("quoted unclosed runs to end") << QByteArray("\"abc") << QList<QByteArray>{"abc"};
    QTest::newRow("empty first line") << QByteArray("\r\nb") << QList<QByteArray>{"", "b"};
    QTest::newRow("lone LF ends a field") << QByteArray("a\nb") << QList<QByteArray>{"a", "b"};
    QTest::newRow("nothing") << QByteArray("") << QList<QByteArray>{};
    QTest::newRow("Shift-JIS bytes") << QByteArray("\x83\x65\x83\x58\x83\x67,x")
                                     << QList<QByteArray>{"\x83\x65\x83\x58\x83\x67", "x"};
}

void TestFiles::fields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, fields);
    FieldReader reader(bytes);
    QList<QByteArray> got;
    while (auto field = reader.next())
        got.append(*field);
    QCOMPARE(got, fields);
}

void TestFiles::atomicWriteReplaces()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.txt"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("a much longer old content");
    f.close();
    QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    QString error;
    QVERIFY(writeFileAtomically(path, QByteArray("new"), &error));
    QCOMPARE(readWholeFile(path), std::optional<QByteArray>("new"));
    QCOMPARE(QFile(path).permissions() & 0x7777,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                 QFileDevice::WriteUser);
}

void TestFiles::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("missing folder") << QStringLiteral("missing/x.txt");
    QTest::newRow("read-only folder") << QStringLiteral("ro/x.txt");
}

void TestFiles::failedWriteKeepsOldFile()
{
    QFETCH(QString, where);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("ro"));
    const QString path = dir.filePath(where);
    const bool readOnlyCase = where.startsWith(u"ro/");
    if (readOnlyCase) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old bytes");
        f.close();
        QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                              QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (QFileInfo(dir.filePath(QStringLiteral("ro"))).isWritable())
            QSKIP("running with rights that ignore folder permissions");
    }
    QString error;
    QVERIFY(!writeFileAtomically(path, QByteArray("new"), &error));
    QVERIFY(!error.isEmpty());
    if (readOnlyCase) {
        QCOMPARE(readWholeFile(path), std::optional<QByteArray>("old bytes"));
        QFile::setPermissions(dir.filePath(QStringLiteral("ro")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                  QFileDevice::ExeOwner);
    }
}

void TestFiles::readMissingAndFolder()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(!readWholeFile(dir.filePath(QStringLiteral("none")), &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!readWholeFile(dir.path()));
    // Devices and pipes are refused instead of read for ever.
    QVERIFY(!readWholeFile(QStringLiteral("/dev/zero"), &error));
    QCOMPARE(error, QStringLiteral("通常のファイルではありません。"));
}

QTEST_GUILESS_MAIN(TestFiles)
#include "tst_files.moc"
