// File names that are not UTF-8: bytes → name → bytes exactly, the form shown to the user, the
// URL handed to the browser, and the name chosen in Qt's file dialog taken back to the real one.
#include "platform/filenames.h"
#include "support/filebytes.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;
using namespace zimo::test;

class TestFileNames : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void randomBytesRoundTrip();
    void surrogatesHoldingNoByte_data();
    void surrogatesHoldingNoByte();
    void fileUrls_data();
    void fileUrls();
    void dialogChoiceTakenBack_data();
    void dialogChoiceTakenBack();
    void folders_data();
    void folders();
};

namespace {

QString escaped(QByteArrayView bytes)
{
    QString s;
    for (const char c : bytes)
        s += QChar(char16_t(0xDC00 + uchar(c)));
    return s;
}

} // namespace

void TestFileNames::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("valid UTF-8") << QByteArray("/tmp/日本語 ページ.html")
                                 << QStringLiteral("/tmp/日本語 ページ.html")
                                 << QStringLiteral("/tmp/日本語 ページ.html");
    QTest::newRow("4-byte character") << QByteArray("\xf0\x9f\x98\x80.html")
                                      << QStringLiteral("\U0001F600.html")
                                      << QStringLiteral("\U0001F600.html");
    // 日本 in Shift_JIS: 0x7B is "{" on its own.
    QTest::newRow("Shift_JIS name") << QByteArray("\x93\xfa\x96\x7b.html")
                                    << escaped("\x93\xfa\x96") + QStringLiteral("{.html")
                                    << QStringLiteral("\\x93\\xFA\\x96{.html");
    QTest::newRow("EUC-JP name") << QByteArray("/p/\xc6\xfc\xcb\xdc.html")
                                 << QStringLiteral("/p/") + escaped("\xc6\xfc\xcb\xdc") +
                                        QStringLiteral(".html")
                                 << QStringLiteral("/p/\\xC6\\xFC\\xCB\\xDC.html");
    QTest::newRow("lone 0x80") << QByteArray("\x80") << escaped("\x80") << QStringLiteral("\\x80");
    QTest::newRow("surrogate-looking ED B0 80")
        << QByteArray("a\xed\xb0\x80") << QStringLiteral("a") + escaped("\xed\xb0\x80")
        << QStringLiteral("a\\xED\\xB0\\x80");
    QTest::newRow("overlong slash C0 AF") << QByteArray("\xc0\xaf") << escaped("\xc0\xaf")
                                          << QStringLiteral("\\xC0\\xAF");
    QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << escaped("\xf4\x90\x80\x80")
                                     << QStringLiteral("\\xF4\\x90\\x80\\x80");
    QTest::newRow("cut character at the end") << QByteArray("x\xe3\x81") << QStringLiteral("x") + escaped("\xe3\x81")
                                              << QStringLiteral("x\\xE3\\x81");
    QTest::newRow("valid and invalid side by side")
        << QByteArray("\xc3\xa9\xe9") << QStringLiteral("é") + escaped("\xe9")
        << QStringLiteral("é\\xE9");
    // The longest name a file system takes, of Shift_JIS あ (82 A0) and one letter.
    QTest::newRow("255 bytes") << QByteArray("\x82\xa0").repeated(127) + "a"
                               << escaped("\x82\xa0").repeated(127) + QStringLiteral("a")
                               << QStringLiteral("\\x82\\xA0").repeated(127) + QStringLiteral("a");
    QTest::newRow("empty") << QByteArray() << QString() << QString();
}

void TestFileNames::roundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(fileNameFromBytes(bytes), name);
    QCOMPARE(fileNameBytes(name), bytes);
    QCOMPARE(displayFileName(name), shown);
}

// Any bytes come back as they were.
void TestFileNames::randomBytesRoundTrip()
{
    QRandomGenerator random(22);
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes(random.bounded(1, 12), Qt::Uninitialized);
        for (char &c : bytes) {
            // Bytes around the edges of UTF-8's ranges come up often.
            static const uchar edges[] = {0x7f, 0x80, 0xbf, 0xc0, 0xc1, 0xc2, 0xdf, 0xe0, 0xed,
                                          0xef, 0xf0, 0xf4, 0xf5, 0xff, 0x9f, 0xa0, 0x8f, 0x90};
            c = random.bounded(2) ? char(edges[random.bounded(int(sizeof edges))])
                                  : char(random.bounded(256));
        }
        const QString name = fileNameFromBytes(bytes);
        QCOMPARE(fileNameBytes(name), bytes);
        // Valid UTF-8 reads as Qt reads it.
        if (QString::fromUtf8(bytes).toUtf8() == bytes && !QString::fromUtf8(bytes).contains(QChar::ReplacementCharacter))
            QCOMPARE(name, QString::fromUtf8(bytes));
    }
}

void TestFileNames::surrogatesHoldingNoByte_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("low surrogate below the bytes") << QString(QChar(0xDC41)) + u'a'
                                                   << QByteArray("\xef\xbf\xbd" "a");
    QTest::newRow("lone high surrogate") << QStringLiteral("a") + QChar(0xD800)
                                         << QByteArray("a\xef\xbf\xbd");
    QTest::newRow("pair") << QStringLiteral("\U0001F600") << QByteArray("\xf0\x9f\x98\x80");
}

void TestFileNames::surrogatesHoldingNoByte()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QCOMPARE(fileNameBytes(name), bytes);
}

void TestFileNames::fileUrls_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("url");
    QTest::newRow("plain") << QByteArray("/tmp/a.html") << QByteArray("file:///tmp/a.html");
    QTest::newRow("UTF-8 and a blank") << QByteArray("/tmp/日 a.html")
                                       << QByteArray("file:///tmp/%E6%97%A5%20a.html");
    QTest::newRow("Shift_JIS") << QByteArray("/tmp/\x93\xfa\x96\x7b.html")
                               << QByteArray("file:///tmp/%93%FA%96%7B.html");
    QTest::newRow("characters of URLs") << QByteArray("/tmp/a#b?c%d.html")
                                        << QByteArray("file:///tmp/a%23b%3Fc%25d.html");
    QTest::newRow("EUC-JP folder") << QByteArray("/\xc6\xfc/a b.html")
                                   << QByteArray("file:///%C6%FC/a%20b.html");
}

void TestFileNames::fileUrls()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, url);
    const QUrl made = fileUrl(fileNameFromBytes(path));
    QVERIFY(made.isValid());
    QCOMPARE(made.toEncoded(), url);
    // A URL dropped from a file manager gives the very name back.
    QCOMPARE(localFileName(QUrl::fromEncoded(url)), fileNameFromBytes(path));
    // Qt reads the same file back where the name is UTF-8.
    if (!QString::fromUtf8(path).contains(QChar::ReplacementCharacter))
        QCOMPARE(made.toLocalFile(), QString::fromUtf8(path));
}

void TestFileNames::dialogChoiceTakenBack_data()
{
    QTest::addColumn<QList<QByteArray>>("files");
    QTest::addColumn<QByteArray>("chosen"); // the name in the folder as the system has it
    QTest::addColumn<QByteArray>("taken");  // empty: the choice stays as Qt gave it
    QTest::newRow("Shift_JIS name") << QList<QByteArray>{"\x93\xfa\x96\x7b.html", "a.html"}
                                    << QByteArray("\x93\xfa\x96\x7b.html")
                                    << QByteArray("\x93\xfa\x96\x7b.html");
    QTest::newRow("EUC-JP name") << QList<QByteArray>{"\xc6\xfc\xcb\xdc.html"}
                                 << QByteArray("\xc6\xfc\xcb\xdc.html")
                                 << QByteArray("\xc6\xfc\xcb\xdc.html");
    // Both show as the same replacement characters: neither can be told to be the one.
    QTest::newRow("two alike") << QList<QByteArray>{"\x93\xfa.html", "\x94\xfb.html"}
                               << QByteArray("\x93\xfa.html") << QByteArray();
    QTest::newRow("UTF-8 name") << QList<QByteArray>{"日本.html"} << QByteArray("日本.html")
                                << QByteArray("日本.html");
    // A new name typed for Save that no file is shown as.
    QTest::newRow("no such file") << QList<QByteArray>{"a.html"} << QByteArray("\x93\xfa.html")
                                  << QByteArray();
}

void TestFileNames::dialogChoiceTakenBack()
{
    QFETCH(QList<QByteArray>, files);
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, taken);
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    for (const QByteArray &file : files)
        writeBytes(folder + fileNameFromBytes(file), "x");
    QCOMPARE(entriesOf(dir.path()).size(), files.size());
    // What Qt's dialog gives back: the name as it lists it.
    const QString given = folder + QFile::decodeName(chosen);
    QCOMPARE(qtShownFileName(folder + fileNameFromBytes(chosen)), given);
    const QString result = resolveShownFileName(given);
    removeTree(dir.path());
    QCOMPARE(result, taken.isEmpty() ? given : folder + fileNameFromBytes(taken));
}

void TestFileNames::folders_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");
    QTest::newRow("absolute") << QStringLiteral("/a/b/c.html") << QStringLiteral("/a/b");
    QTest::newRow("at the root") << QStringLiteral("/c.html") << QStringLiteral("/");
    QTest::newRow("Shift_JIS folder") << QStringLiteral("/") + escaped("\x93\xfa") + QStringLiteral("/c")
                                      << QStringLiteral("/") + escaped("\x93\xfa");
    QTest::newRow("relative") << QStringLiteral("c.html") << QStringLiteral("<working>");
    QTest::newRow("relative in a folder") << QStringLiteral("d/c.html")
                                          << QStringLiteral("<working>/d");
}

void TestFileNames::folders()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    folder.replace(QStringLiteral("<working>"), workingFolderName());
    QCOMPARE(folderOf(path), folder);
}

QTEST_GUILESS_MAIN(TestFileNames)
#include "tst_filenames.moc"
