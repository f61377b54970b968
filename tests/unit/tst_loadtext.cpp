#include "document/loadtext.h"
#include "platform/filenames.h"
#include "support/fakes.h"
#include "support/filebytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace zimo;
using namespace zimo::test;

namespace {
// The one plain OK box with the application title that load_text shows for a failure.
QList<ShownMessage> okBox(const QString &prompt)
{
    return {ShownMessage{prompt, MsgStyle::OkOnly, QString()}};
}
} // namespace

class TestLoadText : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void lines_data();
    void lines();
    void sizeLimit_data();
    void sizeLimit();
    void cannotOpen_data();
    void cannotOpen();
    void insertsAfterSelection();
    void leavesDocumentStateAlone();
    void commandLine_data();
    void commandLine();

private:
    void write(const QString &name, const QByteArray &bytes);
    QTemporaryDir m_dir;
};

void TestLoadText::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestLoadText::write(const QString &name, const QByteArray &bytes)
{
    QFile f(m_dir.filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

void TestLoadText::lines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Encoding>("document");
    QTest::newRow("empty file inserts nothing") << QByteArray() << QString() << Encoding::Cp932;
    QTest::newRow("CR LF, no final end") << QByteArray("a\r\nb") << QStringLiteral("a\r\nb\r\n") << Encoding::Cp932;
    QTest::newRow("final CR LF") << QByteArray("a\r\nb\r\n") << QStringLiteral("a\r\nb\r\n") << Encoding::Cp932;
    QTest::newRow("lone CR ends a line") << QByteArray("a\rb") << QStringLiteral("a\r\nb\r\n") << Encoding::Cp932;
    QTest::newRow("lone LF stays") << QByteArray("a\nb") << QStringLiteral("a\nb\r\n") << Encoding::Cp932;
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n") << QStringLiteral("\r\n\r\n") << Encoding::Cp932;
    QTest::newRow("Japanese") << QByteArray("\x93\xfa\x96\x7b\x8c\xea\r\n\xb1\xb2")
                              << QStringLiteral("日本語\r\nｱｲ\r\n") << Encoding::Cp932;
    // Every encoding the program recognises, split into lines after decoding.
    QTest::newRow("UTF-8") << QByteArray("\xe6\x97\xa5\r\n\xef\xbd\xb1\nz")
                           << QStringLiteral("日\r\nｱ\nz\r\n") << Encoding::Cp932;
    QTest::newRow("UTF-16LE with its mark")
        << QByteArray("\xff\xfe\xe5\x65\r\0\n\0a\0\r\0", 12) << QStringLiteral("日\r\na\r\n") << Encoding::Cp932;
    QTest::newRow("EUC-JP kana") << QByteArray("\xa4\xa2\xa4\xa4\rx") << QStringLiteral("あい\r\nx\r\n") << Encoding::Cp932;
    QTest::newRow("ISO-2022-JP over two lines")
        << QByteArray("\x1b$BF|\x1b(B\r\n\x1b$BK\\\x1b(B") << QStringLiteral("日\r\n本\r\n") << Encoding::Cp932;
    // Bytes that read completely both as UTF-8 (without a three-byte sequence) and as code page
    // 932 take the document's reading: ﾃｷ into a Shift_JIS document, ÷ into a UTF-8 one.
    QTest::newRow("ﾃｷ or ÷, into a Shift_JIS document")
        << QByteArray("\xc3\xb7") << QStringLiteral("ﾃｷ\r\n") << Encoding::Cp932;
    QTest::newRow("ﾃｷ or ÷, into a UTF-8 document")
        << QByteArray("\xc3\xb7") << QStringLiteral("÷\r\n") << Encoding::Utf8;
    // Plausible Western text stays UTF-8 (a letter inside a word).
    QTest::newRow("café into a Shift_JIS document")
        << QByteArray("caf\xc3\xa9") << QStringLiteral("café\r\n") << Encoding::Cp932;
    QTest::newRow("UTF-8 Japanese stays UTF-8 in a Shift_JIS document")
        << QByteArray("\xe6\x97\xa5") << QStringLiteral("日\r\n") << Encoding::Cp932;
    QTest::newRow("one EUC-JP kana into an EUC-JP document")
        << QByteArray("\xa4\xa2") << QStringLiteral("あ\r\n") << Encoding::EucJp;
    QTest::newRow("one EUC-JP kana into a Shift_JIS document")
        << QByteArray("\xa4\xa2") << QStringLiteral("､｢\r\n") << Encoding::Cp932;
}

void TestLoadText::lines()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, text);
    QFETCH(Encoding, document);
    write(QStringLiteral("a.txt"), file);
    FakePlatform p;
    load_text(p.services, QStringLiteral("a.txt"), document);
    QCOMPARE(p.text.text(), text);
    QCOMPARE(p.messageBox.shown.size(), 0);
    QCOMPARE(p.text.selStart(), text.size());
    QCOMPARE(p.text.selLength(), 0);
}

void TestLoadText::sizeLimit_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QByteArray>("name"); // as the system has it
    QTest::newRow("10000 bytes") << 10000 << true << QByteArray("big.txt");
    QTest::newRow("10001 bytes") << 10001 << false << QByteArray("big.txt");
    // A name made on an older system (Shift_JIS): the very file is measured and read.
    QTest::newRow("10000 bytes, Shift_JIS name") << 10000 << true << QByteArray("\x93\xfa\x96\x7b.txt");
    QTest::newRow("10001 bytes, Shift_JIS name") << 10001 << false << QByteArray("\x93\xfa\x96\x7b.txt");
}

void TestLoadText::sizeLimit()
{
    QFETCH(int, size);
    QFETCH(bool, loaded);
    QFETCH(QByteArray, name);
    // Double-byte characters: the limit counts bytes on disk, not characters.
    QByteArray bytes;
    while (bytes.size() + 2 <= size)
        bytes += "\x82\xa0";
    if (bytes.size() < size)
        bytes += 'x';
    const QString path = fileNameFromBytes(name);
    writeBytes(path, bytes);
    FakePlatform p;
    p.text.setText(QStringLiteral("keep"));
    load_text(p.services, path);
    ::unlink(name.constData());
    if (loaded) {
        QCOMPARE(p.messageBox.shown.size(), 0);
        QCOMPARE(p.text.text().size(), 4 + 5000 + 2);
    } else {
        QCOMPARE(p.messageBox.shown, okBox(QStringLiteral("でかい！")));
        QCOMPARE(p.text.text(), QStringLiteral("keep"));
    }
}

void TestLoadText::cannotOpen_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing file") << QStringLiteral("missing.txt");
    QTest::newRow("folder") << QStringLiteral("folder");
    QTest::newRow("quoted path") << QStringLiteral("\"a.txt\"");
    QTest::newRow("unreadable") << QStringLiteral("locked.txt");
}

void TestLoadText::cannotOpen()
{
    QFETCH(QString, path);
    QDir(m_dir.path()).mkdir(QStringLiteral("folder"));
    write(QStringLiteral("a.txt"), "a");
    write(QStringLiteral("locked.txt"), "secret");
    QFile::setPermissions(m_dir.filePath(QStringLiteral("locked.txt")), QFileDevice::Permissions());
    if (path == u"locked.txt" && QFile(path).open(QIODevice::ReadOnly))
        QSKIP("running with rights that ignore file permissions");
    FakePlatform p;
    p.text.setText(QStringLiteral("before"));
    p.text.select(1, 2);
    load_text(p.services, path);
    QCOMPARE(p.messageBox.shown, okBox(QStringLiteral("開けない！")));
    QCOMPARE(p.text.text(), QStringLiteral("before"));
}

void TestLoadText::insertsAfterSelection()
{
    write(QStringLiteral("a.txt"), "x\r\ny");
    FakePlatform p;
    p.text.setText(QStringLiteral("12345"));
    p.text.select(1, 2); // "23"
    load_text(p.services, QStringLiteral("a.txt"));
    QCOMPARE(p.text.text(), QStringLiteral("123x\r\ny\r\n45"));
    QCOMPARE(p.text.selStart(), 9);
    QCOMPARE(p.text.selLength(), 0);
}

void TestLoadText::leavesDocumentStateAlone()
{
    write(QStringLiteral("a.txt"), "x");
    FakePlatform p;
    p.dialog.fileName = QStringLiteral("chosen.txt");
    load_text(p.services, QStringLiteral("a.txt"));
    QCOMPARE(p.dialog.fileName, QStringLiteral("chosen.txt"));
    QVERIFY(!p.mnuFileOverwrite.enabled);
    QVERIFY(!p.mnuEditBack.enabled);
}

void TestLoadText::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("path");
    QTest::newRow("none") << QStringList() << QString();
    QTest::newRow("one") << QStringList{QStringLiteral("a.txt")} << QStringLiteral("a.txt");
    QTest::newRow("only the first") << QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}
                                    << QStringLiteral("a.txt");
    QTest::newRow("space and Japanese kept whole")
        << QStringList{QStringLiteral("/tmp/新しい 文書.txt")} << QStringLiteral("/tmp/新しい 文書.txt");
}

void TestLoadText::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, path);
    QCOMPARE(pathFromArguments(arguments), path);
}

QTEST_GUILESS_MAIN(TestLoadText)
#include "tst_loadtext.moc"
