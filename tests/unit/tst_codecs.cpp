// One table per codec: bytes, the text they decode to, and the bytes that text encodes to (in the
// encoding's form), so that a codec's cells and its stand-ins are checked in one place each.

#include "document/encoding.h"

#include <QTest>

using namespace zimo;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(zimo::TextEncoding)

namespace {

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

QString standIn(int byte)
{
    return QString(QChar(0xDC00 + byte));
}

// Columns of every table.
void columns()
{
    QTest::addColumn<TextEncoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written"); // what the text encodes to
}

void check()
{
    QFETCH(TextEncoding, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    QCOMPARE(encoding::decode(encoding.encoding, bytes), text);
    const encoding::EncodeResult back = encoding::encode(encoding, text);
    if (written == "(unencodable)") {
        QVERIFY(!back.ok());
        return;
    }
    QVERIFY(back.ok());
    QCOMPARE(back.bytes.toHex(), written.toHex());
    // What is written reads back as the same text.
    QCOMPARE(encoding::decode(encoding.encoding, back.bytes), text);
}

} // namespace

class TestCodecs : public QObject
{
    Q_OBJECT
private slots:
    void cp932_data();
    void cp932() { check(); }
    void utf8_data();
    void utf8() { check(); }
    void utf16_data();
    void utf16() { check(); }
    void eucJp_data();
    void eucJp() { check(); }
    void iso2022Jp_data();
    void iso2022Jp() { check(); }
};

void TestCodecs::cp932_data()
{
    columns();
    const TextEncoding e{Encoding::Cp932};
    QTest::newRow("kanji, kana, ASCII") << e << hex("93fa8abfb1") + "a" << u"日漢ｱa"_s
                                        << hex("93fa8abfb1") + "a";
    QTest::newRow("NEC row 13") << e << hex("8740") << u"①"_s << hex("8740");
    QTest::newRow("folded NEC-selected IBM kanji") << e << hex("ed40") << u"纊"_s << hex("fa5c");
    QTest::newRow("bad bytes kept") << e << hex("80a0fd81") << standIn(0x80) + standIn(0xA0) +
                                                                    standIn(0xFD) + standIn(0x81)
                                    << hex("80a0fd81");
}

void TestCodecs::utf8_data()
{
    columns();
    const TextEncoding e{Encoding::Utf8};
    QTest::newRow("one to four bytes") << e << hex("61c3a9e697a5f09f9880") << u"aé日😀"_s
                                       << hex("61c3a9e697a5f09f9880");
    QTest::newRow("overlong form kept") << e << hex("c0af") << standIn(0xC0) + standIn(0xAF)
                                        << hex("c0af");
    QTest::newRow("encoded surrogate kept") << e << hex("eda080")
                                            << standIn(0xED) + standIn(0xA0) + standIn(0x80)
                                            << hex("eda080");
    QTest::newRow("cut off at the end") << e << hex("e697") << standIn(0xE6) + standIn(0x97)
                                        << hex("e697");
}

void TestCodecs::utf16_data()
{
    columns();
    const TextEncoding le{Encoding::Utf16LE};
    const TextEncoding be{Encoding::Utf16BE};
    QTest::newRow("LE") << le << hex("41 00 e5 65 3d d8 00 de") << u"A日😀"_s
                        << hex("4100e5653dd800de");
    QTest::newRow("BE") << be << hex("0041 65e5 d83d de00") << u"A日😀"_s << hex("004165e5d83dde00");
    QTest::newRow("LE, lone surrogate kept") << le << hex("00d8") << QString(QChar(0xD800))
                                             << hex("00d8");
    QTest::newRow("BE, odd last byte") << be << hex("0041c1") << u"A"_s + standIn(0xC1)
                                       << hex("0041c1");
}

void TestCodecs::eucJp_data()
{
    columns();
    const TextEncoding standard{Encoding::EucJp};
    const TextEncoding windows{Encoding::EucJp, false, EncodingForm::Windows};
    const TextEncoding ms{Encoding::EucJp, false, EncodingForm::Ms};
    QTest::newRow("JIS X 0208, katakana, JIS X 0212")
        << standard << hex("c6fc8eb18fb0a1") << u"日ｱ丂"_s << hex("c6fc8eb18fb0a1");
    QTest::newRow("NEC row 13, first and last cells")
        << standard << hex("ada1adfc") << u"①∪"_s << hex("ada1a2c0");
    QTest::newRow("NEC row 13 Roman numerals and ㈱") << standard << hex("adb5adea") << u"Ⅰ㈱"_s
                                                     << hex("adb5adea");
    // Windows' rows F9..FC: the NEC-selected IBM extensions.
    QTest::newRow("IBM kanji, Windows' form") << windows << hex("f9a1fcee") << u"纊\u9ED1"_s
                                              << hex("f9a1fcee");
    QTest::newRow("IBM kanji in Windows' rows, standard form")
        << standard << hex("f9a1") << u"纊"_s << hex("8fd4e3");
    QTest::newRow("small Roman numerals, Windows' form") << windows << hex("fcf1") << u"ⅰ"_s
                                                         << hex("fcf1");
    // eucJP-ms: after 8F in rows F3..F4.
    QTest::newRow("small Roman numerals, eucJP-ms form") << ms << hex("8ff3f3") << u"ⅰ"_s
                                                         << hex("8ff3f3");
    QTest::newRow("IBM kanji in eucJP-ms rows, Windows' form")
        << windows << hex("8ff4fe") << u"黑"_s << hex("fcee");
    QTest::newRow("undefined cell of row 13 kept") << standard << hex("adff")
                                                   << standIn(0xAD) + standIn(0xFF) << hex("adff");
    QTest::newRow("user-defined rows kept") << standard << hex("f5a1")
                                            << standIn(0xF5) + standIn(0xA1) << hex("f5a1");
}

void TestCodecs::iso2022Jp_data()
{
    columns();
    const TextEncoding e{Encoding::Iso2022Jp};
    QTest::newRow("standard escapes") << e << QByteArray("a\x1b$BF|\x1b(Bb") << u"a日b"_s
                                      << QByteArray("a\x1b$BF|\x1b(Bb");
    QTest::newRow("1978 set, written as 1983") << e << QByteArray("\x1b$@F|\x1b(B") << u"日"_s
                                               << QByteArray("\x1b$BF|\x1b(B");
    QTest::newRow("JIS X 0201 Roman") << e << QByteArray("\x1b(J\\~\x1b(B") << u"¥‾"_s
                                      << QByteArray("\x1b(J\\~\x1b(B");
    QTest::newRow("half-width katakana by SO and SI, written with ESC ( I")
        << e << QByteArray("\x0e" "1\x0f") << u"ｱ"_s << QByteArray("\x1b(I1\x1b(B");
    QTest::newRow("NEC row 13 inside ESC $ B") << e << QByteArray("\x1b$B-!\x1b(B") << u"①"_s
                                               << QByteArray("\x1b$B-!\x1b(B");
    QTest::newRow("line ends pass in every set") << e << QByteArray("\x1b$BF|\r\nF|\x1b(B")
                                                 << u"日\r\n日"_s
                                                 << QByteArray("\x1b$BF|\x1b(B\r\n\x1b$BF|\x1b(B");
    QTest::newRow("unknown escape and a high byte kept")
        << e << QByteArray("\x1b$(Q\x80") << standIn(0x1B) + u"$(Q"_s + standIn(0x80)
        << QByteArray("(unencodable)");
}

QTEST_GUILESS_MAIN(TestCodecs)
#include "tst_codecs.moc"
