// Document file bytes: where an unwritable character stands, references, and the round trip of
// every byte sequence through Open and Overwrite.
#include "document/cp932.h"
#include "document/documentcommands.h"
#include "document/documentfile.h"
#include "platform/files.h"
#include "support/fakes.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace zimo;
using namespace zimo::test;

class TestDocumentFile : public QObject
{
    Q_OBJECT
private slots:
    void placeOf_data();
    void placeOf();
    void references_data();
    void references();
    void roundTripThroughOpenAndOverwrite_data();
    void roundTripThroughOpenAndOverwrite();
};

void TestDocumentFile::placeOf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<uint>("codePoint");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::newRow("first") << QStringLiteral("é") << 0 << 0xE9u << 1 << 1;
    QTest::newRow("after CR LF") << QStringLiteral("ab\r\ncdé") << 6 << 0xE9u << 2 << 3;
    QTest::newRow("lone CR and LF are characters") << QStringLiteral("a\rb\nc€") << 5 << 0x20ACu
                                                   << 1 << 6;
    QTest::newRow("CR CR LF") << QStringLiteral("a\r\r\né") << 4 << 0xE9u << 2 << 1;
    QTest::newRow("pair counted once") << QStringLiteral("😀x😀") << 3 << 0x1F600u << 1 << 3;
    QTest::newRow("lone surrogate") << QString::fromUtf16(u"a\xD800") << 1 << 0xD800u << 1 << 2;
}

void TestDocumentFile::placeOf()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(uint, codePoint);
    QFETCH(int, line);
    QFETCH(int, column);
    const TextPlace place = zimo::placeOf(text, position);
    QCOMPARE(uint(place.codePoint), codePoint);
    QCOMPARE(place.line, line);
    QCOMPARE(place.column, column);
}

void TestDocumentFile::references_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("none") << QStringLiteral("あ") << QByteArray("\x82\xa0\r\n");
    QTest::newRow("accent and emoji") << QStringLiteral("é😀あ")
                                      << QByteArray("&#xE9;&#x1F600;\x82\xa0\r\n");
    QTest::newRow("at the end, after a stand-in")
        << QString::fromUtf16(u"\xDC80\x20AC") << QByteArray("\x80&#x20AC;\r\n");
    QTest::newRow("two in a row") << QStringLiteral("ßß") << QByteArray("&#xDF;&#xDF;\r\n");
}

// What OK to the question writes: every unwritable character as a reference, the rest as is.
void TestDocumentFile::references()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const DocumentBytes plain = encodeDocument(text);
    QCOMPARE(encodeDocumentWithReferences(text, plain.unencodable), bytes);
    QVERIFY(!bytes.contains('?'));
}

void TestDocumentFile::roundTripThroughOpenAndOverwrite_data()
{
    QTest::addColumn<int>("edited"); // 0: the line holding the table, 1: the last line
    QTest::addColumn<int>("folded");
    QTest::newRow("unchanged") << -1 << 0;
    QTest::newRow("table's line edited") << 0 << 398;
    QTest::newRow("last line edited") << 1 << 0;
}

// Every character the table holds, bytes that start no character, lone CR and lone LF: opened and
// written back with Overwrite, the file is the same apart from the final CR LF. The table's
// duplicate cells (NEC and IBM duplicates under leads 87, ED, EE and FA) keep their bytes while
// their line is unchanged; once it is edited they are written as the cell of the same character
// that the table prefers.
void TestDocumentFile::roundTripThroughOpenAndOverwrite()
{
    QFETCH(int, edited);
    QFETCH(int, folded);
    QByteArray original;
    QList<qsizetype> cellOffsets;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char cell[2] = {char(lead), char(trail)};
            const QString one = cp932::decode(QByteArrayView(cell, 2));
            if (one.size() != 1 || (one[0].unicode() & 0xFF00) == 0xDC00)
                continue;
            cellOffsets.append(original.size());
            original.append(cell, 2);
        }
    }
    QCOMPARE(cellOffsets.size(), 9604);
    const QByteArray tail("\r\n\x80\xa0\xfd\xfe\xff a\rb\nc\n\r\x81\x7f\x00 end\x81", 23);
    original.append(tail);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.txt"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(original);
    }
    FakePlatform p;
    DocumentCommands doc(p.services);
    p.dialog.fileAnswers.enqueue(path);
    doc.mnuFileOpen_Click();
    QCOMPARE(doc.file_text(), p.text.text());
    if (edited == 0)
        p.text.setText(u'!' + p.text.text());
    else if (edited == 1)
        p.text.setText(p.text.text() + u'!');
    doc.mnuFileOverwrite_Click();
    QVERIFY(p.messageBox.shown.isEmpty());

    const QByteArray written = readWholeFile(path).value_or(QByteArray());
    const qsizetype shift = edited == 0 ? 1 : 0;
    QCOMPARE(written.size(), original.size() + 2 + (edited >= 0 ? 1 : 0));
    QVERIFY(written.startsWith(edited == 0 ? "!" : ""));
    QVERIFY(written.endsWith(tail + (edited == 1 ? "!" : "") + "\r\n"));
    int foldedNow = 0;
    for (const qsizetype at : cellOffsets) {
        const QByteArray was = original.mid(at, 2), now = written.mid(at + shift, 2);
        if (was == now)
            continue;
        const uchar lead = uchar(was[0]);
        QVERIFY2(lead == 0x87 || lead == 0xED || lead == 0xEE || lead == 0xFA,
                 was.toHex().constData());
        QCOMPARE(cp932::decode(now), cp932::decode(was));
        ++foldedNow;
    }
    QCOMPARE(foldedNow, folded);
}

QTEST_GUILESS_MAIN(TestDocumentFile)
#include "tst_documentfile.moc"
