// The encodings other than code page 932 and the recognition of a file's encoding.
#include "document/documentfile.h"
#include "document/encoding.h"
#include "document/keptlines.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zimo;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(zimo::Encoding)
Q_DECLARE_METATYPE(zimo::EncodingOrigin)

namespace {

QString standIn(int byte)
{
    return QString(QChar(char16_t(0xDC00 + byte)));
}

QString units(std::initializer_list<char16_t> list)
{
    return QString::fromUtf16(list.begin(), qsizetype(list.size()));
}

// What Overwrite writes for a document read from `bytes` as `text` and left unchanged.
QByteArray openAndOverwrite(const QByteArray &bytes, TextEncoding e, const QString &text)
{
    const QByteArrayView body = QByteArrayView(bytes).sliced(encoding::byteOrderMark(e).size());
    KeptLines kept;
    kept.remember(body, text, lineCodec(e));
    const DocumentBytes written = encodeDocument(text, e, kept.spansFor(text, text));
    return written.unencodable.isEmpty() ? written.bytes : QByteArray("(unencodable)");
}

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

const QByteArray metaSjis = "<html><head><meta charset=\"Shift_JIS\"></head><body>";
const QByteArray metaUtf8 = "<html><head><meta charset=\"utf-8\"></head><body>";
const QByteArray metaEuc =
    "<HTML><HEAD><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=EUC-JP\">\n<BODY>";

} // namespace

class TestEncoding : public QObject
{
    Q_OBJECT
private slots:
    void recognise_data();
    void recognise();
    void roundTrip_data();
    void roundTrip();
    void randomBytesRoundTrip_data();
    void randomBytesRoundTrip();
    void everyEucJpCell();
    void unencodable_data();
    void unencodable();
    void forcedDecode_data();
    void forcedDecode();
    void declaration_data();
    void declaration();
    void statusText_data();
    void statusText();
};

void TestEncoding::recognise_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<EncodingOrigin>("origin");
    QTest::addColumn<QString>("text");
    using E = Encoding;
    const auto R = EncodingOrigin::Recognised;
    const auto D = EncodingOrigin::Default;

    // 1. A byte-order mark decides, whatever follows.
    QTest::newRow("UTF-8 BOM") << hex("efbbbf") + "a" << E::Utf8 << true << R << u"a"_s;
    QTest::newRow("UTF-8 BOM, then Shift_JIS bytes")
        << hex("efbbbf93fa") << E::Utf8 << true << R << standIn(0x93) + standIn(0xFA);
    QTest::newRow("UTF-16LE BOM") << hex("fffe4100e565") << E::Utf16LE << true << R << u"A日"_s;
    QTest::newRow("UTF-16BE BOM") << hex("feff0041e565") << E::Utf16BE << true << R << u"A\uE565"_s;
    QTest::newRow("UTF-16LE BOM, odd length")
        << hex("fffe4100c1") << E::Utf16LE << true << R << u"A"_s + standIn(0xC1);
    // Texts the document cannot hold as UTF-16: read as code page 932, which keeps every byte.
    QTest::newRow("UTF-16LE BOM, last unit a lone DC80: not clear")
        << hex("fffe410080dc") << E::Cp932 << false << D << QString();
    QTest::newRow("UTF-16LE BOM, odd last byte LF: not clear")
        << hex("fffe41000a") << E::Cp932 << false << D << QString();
    QTest::newRow("UTF-16BE BOM, a lone DC0A: not clear")
        << hex("feffdc0a0041") << E::Cp932 << false << D << QString();
    QTest::newRow("UTF-16BE BOM, odd last byte after a lone high surrogate: not clear")
        << hex("feffdbdbdbd9db") << E::Cp932 << false << D << QString();
    QTest::newRow("UTF-16LE BOM, odd last byte 00 after a lone high surrogate: not clear")
        << hex("fffe4100d9d900") << E::Cp932 << false << D << QString();
    QTest::newRow("UTF-16LE BOM, U+10000 pairs with DC00")
        << hex("fffe00d800dc") << E::Utf16LE << true << R << u"\U00010000"_s;
    QTest::newRow("UTF-16LE BOM, emoji at the end") << hex("fffe3dd800de") << E::Utf16LE << true
                                                    << R << u"😀"_s;

    // 2. Seven bits.
    QTest::newRow("empty") << QByteArray() << E::Cp932 << false << D << QString();
    QTest::newRow("ASCII") << QByteArray("<P>abc</P>\r\n") << E::Cp932 << false << D << QString();
    QTest::newRow("ASCII declared UTF-8") << metaUtf8 << E::Utf8 << false << R << QString();
    QTest::newRow("ASCII declared Shift_JIS") << metaSjis << E::Cp932 << false << R << QString();
    QTest::newRow("ASCII declared EUC-JP") << metaEuc << E::Cp932 << false << D << QString();
    QTest::newRow("ISO-2022-JP") << QByteArray("a\x1b$BF|K\\\x1b(B\r\n") << E::Iso2022Jp << false
                                 << R << u"a日本\r\n"_s;
    QTest::newRow("ISO-2022-JP with JIS Roman")
        << QByteArray("\x1b(J\\\x1b(B") << E::Iso2022Jp << false << R << u"¥"_s;
    // A complete reading is taken whatever escapes the encoder would write.
    // Not when the last line ends in another set: its bytes could not be kept.
    QTest::newRow("ISO-2022-JP not back in ASCII at the end")
        << QByteArray("\x1b$BF|") << E::Cp932 << false << D << QString();
    QTest::newRow("ISO-2022-JP cut inside a pair")
        << QByteArray("\x1b$BF|F") << E::Cp932 << false << D << QString();
    QTest::newRow("ISO-2022-JP, the 1978 set") << QByteArray("\x1b$@F|K\\\x1b(B\r\n")
                                              << E::Iso2022Jp << false << R << u"日本\r\n"_s;
    QTest::newRow("ISO-2022-JP, JIS X 0201 Roman")
        << QByteArray("\x1b(J\\~\x1b(B") << E::Iso2022Jp << false << R << u"¥‾"_s;
    QTest::newRow("ISO-2022-JP, half-width katakana by ESC ( I")
        << QByteArray("\x1b(I1\x1b(Ba") << E::Iso2022Jp << false << R << u"ｱa"_s;
    QTest::newRow("ISO-2022-JP, half-width katakana by SO and SI")
        << QByteArray("\x1b(Ba\x0e" "12\x0f" "b") << E::Iso2022Jp << false << R << u"aｱｲb"_s;
    QTest::newRow("ISO-2022-JP, NEC row 13 inside ESC $ B")
        << QByteArray("\x1b$B-!-5\x1b(B") << E::Iso2022Jp << false << R << u"①Ⅰ"_s;
    QTest::newRow("ISO-2022-JP, ESC & @ before ESC $ B")
        << QByteArray("\x1b&@\x1b$BF|\x1b(B") << E::Iso2022Jp << false << R << u"日"_s;
    QTest::newRow("ISO-2022-JP with a bad pair")
        << QByteArray("\x1b$B\x7f\x7f\x1b(B") << E::Cp932 << false << D << QString();
    QTest::newRow("ISO-2022-JP with an unknown escape")
        << QByteArray("\x1b$(Q!!\x1b(B") << E::Cp932 << false << D << QString();
    QTest::newRow("terminal colours are no ISO-2022-JP")
        << QByteArray("\x1b[31mred\x1b[0m") << E::Cp932 << false << D << QString();

    // 3. The page's declaration, when the bytes are valid in it.
    QTest::newRow("declared Shift_JIS, half-width katakana valid as UTF-8")
        << metaSjis + hex("c3b7") << E::Cp932 << false << R << QString::fromLatin1(metaSjis) + u"ﾃｷ"_s;
    QTest::newRow("declared EUC-JP (http-equiv)")
        << metaEuc + hex("c6fccbdcb8ec") << E::EucJp << false << R
        << QString::fromLatin1(metaEuc) + u"日本語"_s;
    QTest::newRow("declared EUC-JP in an XML declaration")
        << "<?xml version=\"1.0\" encoding='euc-jp'?>" + hex("a4a2") << E::EucJp << false << R
        << QString();
    QTest::newRow("declared Shift_JIS but UTF-8 bytes invalid in it")
        << metaSjis + hex("e38182") << E::Utf8 << false << R << QString::fromLatin1(metaSjis) + u"あ"_s;
    QTest::newRow("declared UTF-8 but Shift_JIS bytes")
        << metaUtf8 + hex("93fa967b8cea") << E::Cp932 << false << D
        << QString::fromLatin1(metaUtf8) + u"日本語"_s;
    QTest::newRow("declared EUC-JP but UTF-8 bytes")
        << metaEuc + hex("e697a5e69cac") << E::Utf8 << false << R
        << QString::fromLatin1(metaEuc) + u"日本"_s;
    QTest::newRow("declaration after the first 1024 bytes counts not")
        << QByteArray(1024, ' ') + metaSjis + hex("c3a9") + "t\xc3\xa9" << E::Utf8 << false << R
        << QString();

    // 4. UTF-8.
    QTest::newRow("UTF-8 Japanese") << hex("e697a5e69cace8aa9e") << E::Utf8 << false << R
                                    << u"日本語"_s;
    // Valid UTF-8 without a three-byte sequence, complete as code page 932 too: the plausible
    // reading.
    QTest::newRow("half-width katakana valid as UTF-8, undeclared")
        << hex("c3b7") << E::Cp932 << false << R << u"ﾃｷ"_s;
    QTest::newRow("half-width katakana ﾐｽ, a lone Greek letter in UTF-8")
        << hex("d0bd") << E::Cp932 << false << R << u"ﾐｽ"_s;
    QTest::newRow("accented letter inside a word") << QByteArray("caf\xc3\xa9 au lait") << E::Utf8
                                                   << false << R << u"café au lait"_s;
    QTest::newRow("Cyrillic word") << hex("d09fd180d0b8d0b2d0b5d182") << E::Utf8 << false << R
                                   << u"Привет"_s;
    QTest::newRow("ﾐｽﾐｽ, two Cyrillic letters in UTF-8") << hex("d0bdd0bd") << E::Cp932 << false
                                                         << R << u"ﾐｽﾐｽ"_s;
    QTest::newRow("Latin-1 sign") << QByteArray("\xc2\xa9 2026") << E::Utf8 << false << R
                                  << u"© 2026"_s;
    QTest::newRow("two-byte UTF-8 not complete as code page 932")
        << QByteArray("\xc3\xa0\x80") << E::Cp932 << false << D << QString();

    // 5. EUC-JP.
    QTest::newRow("short EUC-JP kana, also valid code page 932")
        << hex("a4a2a4a4") << E::EucJp << false << R << u"あい"_s;
    QTest::newRow("EUC-JP invalid as code page 932")
        << hex("c6fccbdc") << E::EucJp << false << R << u"日本"_s;
    QTest::newRow("EUC-JP read as code page 932 holds a double-byte character")
        << hex("e0a1e0a1") << E::EucJp << false << R << QString();
    QTest::newRow("one EUC-JP kana is too little")
        << hex("a4a2") << E::Cp932 << false << D << u"､｢"_s;
    QTest::newRow("half-width katakana in Shift_JIS, valid EUC-JP kanji")
        << hex("c3b7bdc4") << E::Cp932 << false << D << u"ﾃｷｽﾄ"_s;
    QTest::newRow("two half-width katakana in Shift_JIS") << hex("b1dd") << E::Cp932 << false << D
                                                          << u"ｱﾝ"_s;
    // Windows' and eucJP-ms's cells beyond JIS X 0208 and 0212.
    QTest::newRow("EUC-JP with ① (NEC row 13)")
        << hex("c6fccbdcada1a4c7a4b9") << E::EucJp << false << R << u"日本①です"_s;
    QTest::newRow("EUC-JP with an IBM kanji in Windows' rows F9..FC")
        << hex("f9a1a4c8fcfe") << E::EucJp << false << R << u"纊と＂"_s;
    QTest::newRow("EUC-JP with an IBM extension after 8F (eucJP-ms)")
        << hex("8ff3f3a4c88ff4fe") << E::EucJp << false << R << u"ⅰと黑"_s;
    QTest::newRow("EUC-JP user-defined rows after 8F stay unknown")
        << hex("8ff5a1a4c8") << E::Cp932 << false << D << QString();

    // UTF-16 without a byte-order mark, when the evidence is strong.
    QTest::newRow("UTF-16LE without a mark") << hex("e5652c679e8a0d000a00410042000d000a00")
                                             << E::Utf16LE << false << R << u"日本語\r\nAB\r\n"_s;
    QTest::newRow("UTF-16BE without a mark") << hex("304230443046000a0061")
                                             << E::Utf16BE << false << R << u"あいう\na"_s;
    QTest::newRow("UTF-16LE without a mark or a line break: only likely")
        << hex("e5652c679e8a41004200") << E::Cp932 << false << D << QString();
    QTest::newRow("UTF-16LE without a mark, a lone surrogate")
        << hex("0dd841000a00") << E::Cp932 << false << D << QString();
    QTest::newRow("UTF-16LE without a mark, odd length") << hex("41000a0042")
                                                         << E::Cp932 << false << D << QString();
    QTest::newRow("zero bytes in binary data") << hex("000102030405060a00ff") << E::Cp932 << false
                                               << D << QString();

    // 6. Everything else.
    QTest::newRow("Shift_JIS") << hex("93fa967b8cea") << E::Cp932 << false << D << u"日本語"_s;
    QTest::newRow("Shift_JIS declared") << metaSjis + hex("93fa") << E::Cp932 << false << R
                                        << QString::fromLatin1(metaSjis) + u"日"_s;
    QByteArray junk;
    for (int b = 0; b < 256; ++b)
        junk += char(b);
    QTest::newRow("binary junk") << junk << E::Cp932 << false << D << QString();
}

void TestEncoding::recognise()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Encoding, encoding);
    QFETCH(bool, bom);
    QFETCH(EncodingOrigin, origin);
    QFETCH(QString, text);
    const encoding::Recognition got = encoding::recognise(bytes);
    QCOMPARE(got.encoding.encoding, encoding);
    QCOMPARE(got.encoding.bom, bom);
    QCOMPARE(got.origin, origin);

    // The document reading: the same answer, the text without the byte-order mark, and the
    // bytes back unchanged (in the page's form).
    const encoding::DecodedFile file = encoding::decodeFile(bytes);
    QCOMPARE(file.recognition, got);
    if (!text.isNull())
        QCOMPARE(file.text, text);
    const encoding::EncodeResult back = encoding::encode(got.encoding, file.text);
    QVERIFY(back.ok());
    // Duplicate cells come back as their twins, ISO-2022-JP in the standard escapes: same text.
    if (encoding == Encoding::Cp932 || encoding == Encoding::Iso2022Jp)
        QCOMPARE(encoding::decode(encoding, back.bytes), file.text);
    else
        QCOMPARE(encoding::byteOrderMark({encoding, bom}) + back.bytes, bytes);
}

void TestEncoding::roundTrip_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    using E = Encoding;

    QTest::newRow("UTF-8 text") << E::Utf8 << hex("3c503ee697a5efbdb1c3a9f09f9880")
                                << u"<P>日ｱé😀"_s;
    QTest::newRow("UTF-8 U+10FFFF and U+FFFF") << E::Utf8 << hex("f48fbfbfefbfbf")
                                               << u"\U0010FFFF\uFFFF"_s;
    QTest::newRow("UTF-8 overlong slash") << E::Utf8 << hex("c0af")
                                          << standIn(0xC0) + standIn(0xAF);
    QTest::newRow("UTF-8 overlong three bytes") << E::Utf8 << hex("e08080")
                                                << standIn(0xE0) + standIn(0x80) + standIn(0x80);
    QTest::newRow("UTF-8 encoded surrogate") << E::Utf8 << hex("eda080")
                                             << standIn(0xED) + standIn(0xA0) + standIn(0x80);
    QTest::newRow("UTF-8 above U+10FFFF")
        << E::Utf8 << hex("f4908080")
        << standIn(0xF4) + standIn(0x90) + standIn(0x80) + standIn(0x80);
    QTest::newRow("UTF-8 lone continuation byte") << E::Utf8 << hex("618062")
                                                  << u"a"_s + standIn(0x80) + u"b"_s;
    QTest::newRow("UTF-8 cut off three-byte sequence at the end")
        << E::Utf8 << hex("61e381") << u"a"_s + standIn(0xE3) + standIn(0x81);
    QTest::newRow("UTF-8 cut off four-byte sequence at the end")
        << E::Utf8 << hex("f09f98") << standIn(0xF0) + standIn(0x9F) + standIn(0x98);
    QTest::newRow("UTF-8 lead byte before CR LF") << E::Utf8 << hex("e30d0a")
                                                  << standIn(0xE3) + u"\r\n"_s;
    QTest::newRow("UTF-8 FE FF") << E::Utf8 << hex("feff") << standIn(0xFE) + standIn(0xFF);
    // The ASCII fast path takes eight bytes at a time: bad bytes at every place around it.
    for (int pos : {0, 6, 7, 8, 9, 15, 16}) {
        QTest::addRow("UTF-8 bad byte at %d of 17", pos)
            << E::Utf8 << QByteArray(pos, 'a') + "\xFF" + QByteArray(16 - pos, 'a')
            << QString(pos, u'a') + standIn(0xFF) + QString(16 - pos, u'a');
        QTest::addRow("UTF-8 kanji at %d of 19", pos)
            << E::Utf8 << QByteArray(pos, 'a') + hex("e697a5") + QByteArray(16 - pos, 'a')
            << QString(pos, u'a') + u"日"_s + QString(16 - pos, u'a');
    }

    QTest::newRow("EUC-JP text") << E::EucJp << hex("3c503ec6fca4a28eb1a1a2") << u"<P>日あｱ、"_s;
    QTest::newRow("EUC-JP JIS X 0212") << E::EucJp << hex("8fb0a1") << u"丂"_s;
    QTest::newRow("EUC-JP wave dash") << E::EucJp << hex("a1c1") << u"\u301C"_s;
    QTest::newRow("EUC-JP bad trail byte") << E::EucJp << hex("a441") << standIn(0xA4) + u"A"_s;
    QTest::newRow("EUC-JP cut off at the end") << E::EucJp << hex("61a4")
                                               << u"a"_s + standIn(0xA4);
    QTest::newRow("EUC-JP cut off JIS X 0212 at the end")
        << E::EucJp << hex("8fb0") << standIn(0x8F) + standIn(0xB0);
    QTest::newRow("EUC-JP 8E without katakana") << E::EucJp << hex("8e41a4a2")
                                                << standIn(0x8E) + u"Aあ"_s;
    // glibc takes 80..8D and 90..A0 alone for the C1 controls.
    QTest::newRow("EUC-JP 80 and FF") << E::EucJp << hex("80ff") << u"\u0080"_s + standIn(0xFF);
    QTest::newRow("EUC-JP Shift_JIS bytes") << E::EucJp << hex("93fa") << QString();

    QTest::newRow("ISO-2022-JP text") << E::Iso2022Jp
                                      << QByteArray("<P>\x1b$BF|K\\8l\x1b(B</P>\r\n")
                                      << u"<P>日本語</P>\r\n"_s;
    QTest::newRow("ISO-2022-JP two lines")
        << E::Iso2022Jp << QByteArray("\x1b$B$\"\x1b(B\r\n\x1b$B$$\x1b(B\r\n")
        << u"あ\r\nい\r\n"_s;

    // More than two bytes a character: the output buffer has to grow.
    QTest::newRow("EUC-JP JIS X 0212 only") << E::EucJp << hex("8fb0a1").repeated(100)
                                            << u"丂"_s.repeated(100);
    QTest::newRow("ISO-2022-JP switching at every character")
        << E::Iso2022Jp << QByteArray("a\x1b$BF|\x1b(B").repeated(100) << u"a日"_s.repeated(100);
    QTest::newRow("UTF-16LE text") << E::Utf16LE << hex("3c00e5653dd800de") << u"<日😀"_s;
    QTest::newRow("UTF-16BE text") << E::Utf16BE << hex("003c65e5d83dde00") << u"<日😀"_s;
    QTest::newRow("UTF-16LE lone surrogates in the file")
        << E::Utf16LE << hex("00d841000ddc4200") << units({0xD800, 'A', 0xDC0D, 'B'});
    QTest::newRow("UTF-16LE odd last byte") << E::Utf16LE << hex("4100ff")
                                            << u"A"_s + standIn(0xFF);
    QTest::newRow("UTF-16BE odd last byte") << E::Utf16BE << hex("004100") << u"A"_s + standIn(0);
    QTest::newRow("UTF-16BE one byte") << E::Utf16BE << hex("d8") << standIn(0xD8);
}

void TestEncoding::roundTrip()
{
    QFETCH(Encoding, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const QString decoded = encoding::decode(encoding, bytes);
    if (!text.isEmpty())
        QCOMPARE(decoded, text);
    const encoding::EncodeResult back = encoding::encode(encoding, decoded);
    QVERIFY(back.ok());
    QCOMPARE(back.bytes, bytes);
}

void TestEncoding::randomBytesRoundTrip_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QList<QByteArray>>("pieces");
    using E = Encoding;
    using L = QList<QByteArray>;
    QTest::newRow("UTF-8") << E::Utf8
                           << L{"abc ", "\r\n", hex("e697a5e69cac"), hex("c3a9"), hex("f09f9880")};
    QTest::newRow("EUC-JP") << E::EucJp
                            << L{"abc ", "\r\n", hex("c6fccbdc"), hex("8eb1"), hex("8fb0a1")};
    QTest::newRow("UTF-16LE") << E::Utf16LE << L{hex("4100"), hex("e565"), hex("3dd800de")};
    QTest::newRow("UTF-16BE") << E::Utf16BE << L{hex("0041"), hex("65e5"), hex("d83dde00")};
}

// Long text with now and then a random byte: every decoder keeps every byte.
void TestEncoding::randomBytesRoundTrip()
{
    QFETCH(Encoding, encoding);
    QFETCH(QList<QByteArray>, pieces);
    QRandomGenerator random(13);
    for (int size : {1, 2, 3, 7, 100, 100'000}) {
        QByteArray bytes;
        while (bytes.size() < size) {
            if (random.bounded(6) == 0)
                bytes += char(random.bounded(256));
            else
                bytes += pieces[random.bounded(int(pieces.size()))];
        }
        const encoding::ForcedDecode decoded = encoding::decodeAs(encoding, bytes);
        // The codec alone: the same text back (EUC-JP's folded cells, such as an IBM kanji in
        // rows F9..FC and in JIS X 0212, in the page's form); open and Overwrite: the same bytes.
        const TextEncoding e{encoding, decoded.bom, decoded.form};
        const encoding::EncodeResult back = encoding::encode(e, decoded.text);
        QVERIFY(back.ok());
        QCOMPARE(encoding::decode(encoding, back.bytes), decoded.text);
        if (encoding != Encoding::EucJp)
            QCOMPARE(back.bytes, bytes);
        if (encoding == Encoding::EucJp)
            QVERIFY(decoded.lossless);
        if (decoded.lossless)
            QCOMPARE(openAndOverwrite(bytes, e, decoded.text).toHex(),
                     (bytes + encoding::encode(encoding, u"\r\n").bytes).toHex());
    }
}

void TestEncoding::everyEucJpCell()
{
    // Every cell in the standard form: its bytes back, or a folded cell (a character that has
    // another cell) read back as the same character. In each extension's own form its cells
    // come back as themselves.
    int characters = 0;
    int folded = 0;
    int windowsCells = 0;
    int msCells = 0;
    auto isChar = [](const QString &text) {
        return text.size() == 1 && !(text[0].unicode() >= 0xDC80 && text[0].unicode() <= 0xDCFF);
    };
    auto check = [&](const QByteArray &bytes) {
        const QString text = encoding::decode(Encoding::EucJp, bytes);
        const encoding::EncodeResult back = encoding::encode(Encoding::EucJp, text);
        QVERIFY2(back.ok(), bytes.toHex().constData());
        if (back.bytes != bytes) {
            QCOMPARE(encoding::decode(Encoding::EucJp, back.bytes), text);
            ++folded;
        }
        characters += isChar(text);
        const auto u = [](int b) { return static_cast<unsigned char>(b); };
        const bool windows = bytes.size() == 2 && u(bytes[0]) >= 0xF9 && u(bytes[0]) <= 0xFC;
        const bool ms = bytes.size() == 3 && (u(bytes[1]) == 0xF3 || u(bytes[1]) == 0xF4);
        if ((windows || ms) && isChar(text)) {
            const TextEncoding form{Encoding::EucJp, false,
                                    windows ? EncodingForm::Windows : EncodingForm::Ms};
            const QByteArray inForm = encoding::encode(form, text).bytes;
            QCOMPARE(encoding::decode(Encoding::EucJp, inForm), text);
            windowsCells += windows && inForm == bytes;
            msCells += ms && inForm == bytes;
        }
    };
    for (int lead = 0xA1; lead <= 0xFE; ++lead) {
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            const char two[] = {char(lead), char(trail)};
            const char three[] = {char(0x8F), char(lead), char(trail)};
            check(QByteArray(two, 2));
            check(QByteArray(three, 3));
        }
    }
    for (int kana = 0x80; kana <= 0xFF; ++kana)
    {
        const char two[] = {char(0x8E), char(kana)};
        check(QByteArray(two, 2));
    }
    // JIS X 0208 and 0212 as glibc has them, the 63 half-width katakana, the 83 cells of the NEC
    // row 13, the 374 of rows F9..FC and the 106 of eucJP-ms after 8F F3.
    qDebug() << "characters" << characters << "folded" << folded << "windows" << windowsCells
             << "ms" << msCells;
    QCOMPARE(characters, 13009 + 83 + 374 + 106);
    QCOMPARE(folded, 684);
    QCOMPARE(windowsCells, 374);
    // 13 of eucJP-ms's cells hold characters glibc writes elsewhere (JIS X 0212).
    QCOMPARE(msCells, 93);
}

void TestEncoding::unencodable_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<qsizetype>>("positions");
    using E = Encoding;
    using P = QList<qsizetype>;
    QTest::newRow("UTF-8 lone high surrogate") << E::Utf8 << units({'a', 0xD800, 'b'})
                                               << QByteArray("ab") << P{1};
    QTest::newRow("UTF-8 U+DC41 is no stand-in") << E::Utf8 << units({0xDC41, 0xDC80})
                                                 << hex("80") << P{0};
    QTest::newRow("EUC-JP emoji once") << E::EucJp << u"a😀b"_s << QByteArray("ab") << P{1};
    QTest::newRow("EUC-JP Hangul") << E::EucJp << u"日한"_s << hex("c6fc") << P{1};
    QTest::newRow("EUC-JP yen sign and overline") << E::EucJp << u"¥a‾"_s << QByteArray("a")
                                                  << P{0, 2};
    QTest::newRow("ISO-2022-JP half-width katakana, as Windows writes it")
        << E::Iso2022Jp << u"aｱｲb"_s << QByteArray("a\x1b(I12\x1b(Bb") << P{};
    QTest::newRow("ISO-2022-JP NEC row 13, as Windows writes it")
        << E::Iso2022Jp << u"日①"_s << QByteArray("\x1b$BF|\x1b(B\x1b$B-!\x1b(B") << P{};
    QTest::newRow("ISO-2022-JP IBM kanji, as Windows writes it")
        << E::Iso2022Jp << u"a纊"_s << QByteArray("a\x1b$By!\x1b(B") << P{};
    QTest::newRow("ISO-2022-JP emoji") << E::Iso2022Jp << u"a😀"_s << QByteArray("a") << P{1};
    QTest::newRow("EUC-JP NEC row 13 and an IBM kanji")
        << E::EucJp << u"①纊"_s << hex("ada18fd4e3") << P{};
    QTest::newRow("ISO-2022-JP escape character") << E::Iso2022Jp << u"a\x1b"_s << QByteArray("a")
                                                  << P{1};
    QTest::newRow("ISO-2022-JP shift out and in") << E::Iso2022Jp << u"\x0e" "1\x0f"_s
                                                  << QByteArray("1") << P{0, 2};
    QTest::newRow("ISO-2022-JP between kanji") << E::Iso2022Jp << u"日😀本"_s
                                               << QByteArray("\x1b$BF|K\\\x1b(B") << P{1};
}

void TestEncoding::unencodable()
{
    QFETCH(Encoding, encoding);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<qsizetype>, positions);
    const encoding::EncodeResult result = encoding::encode(encoding, text);
    QCOMPARE(result.bytes, bytes);
    QCOMPARE(result.unencodable, positions);
    for (qsizetype pos : positions)
        QVERIFY(!encoding::canEncodeAt(encoding, text, pos));
    // And the characters around them can.
    for (qsizetype pos = 0; pos < text.size(); ++pos) {
        if (!positions.contains(pos) && !text[pos].isSurrogate())
            QVERIFY(encoding::canEncodeAt(encoding, text, pos));
    }
}

void TestEncoding::forcedDecode_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<bool>("lossless");
    using E = Encoding;
    QTest::newRow("EUC-JP read as Shift_JIS (folded cells count as kept)")
        << E::Cp932 << hex("eea4") << false << true;
    QTest::newRow("UTF-8 with its mark") << E::Utf8 << hex("efbbbf61") << true << true;
    QTest::newRow("UTF-16LE without a mark") << E::Utf16LE << hex("4100") << false << true;
    QTest::newRow("UTF-16BE mark read as LE is text") << E::Utf16LE << hex("feff0041") << false
                                                      << true;
    QTest::newRow("UTF-16 ending in a lone DC80") << E::Utf16LE << hex("410080dc") << false << false;
    QTest::newRow("UTF-16 with a lone DC0D") << E::Utf16LE << hex("0ddc4100") << false << false;
    QTest::newRow("UTF-16 with an odd last byte CR") << E::Utf16LE << hex("41000d") << false
                                                     << false;
    QTest::newRow("UTF-16 with an odd last byte E3") << E::Utf16LE << hex("4100e3") << false
                                                     << true;
    QTest::newRow("UTF-16 with an odd last byte after a high surrogate")
        << E::Utf16BE << hex("dbd9db") << false << false;
    QTest::newRow("Shift_JIS read as ISO-2022-JP") << E::Iso2022Jp << hex("93fa967b") << false
                                                   << true;
    QTest::newRow("ISO-2022-JP not back in ASCII") << E::Iso2022Jp << QByteArray("\x1b$BF|")
                                                   << false << false;
    QTest::newRow("ISO-2022-JP as Windows writes it")
        << E::Iso2022Jp << QByteArray("\x1b$B-!\x1b(B\r\n\x1b(I12\x1b(B\r\n\x1b$@F|\x1b(J\r\n")
        << false << true;
    QTest::newRow("broken ISO-2022-JP") << E::Iso2022Jp << QByteArray("\x1b$BF|F") << false
                                        << false;
    QTest::newRow("EUC-JP with a folded NEC row 13 cell (≒, also in row 2)")
        << E::EucJp << hex("adf0a4a2") << false << true;
    // Ⅲ after 8F F4 is written as AD B7, which would group with the lone B6 before it: the
    // line keeps its bytes.
    QTest::newRow("EUC-JP lone lead byte before a folded eucJP-ms cell")
        << E::EucJp << hex("b68ff4a10d0a") << false << true;
}

void TestEncoding::forcedDecode()
{
    QFETCH(Encoding, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, bom);
    QFETCH(bool, lossless);
    const encoding::ForcedDecode decoded = encoding::decodeAs(encoding, bytes);
    QCOMPARE(decoded.bom, bom);
    QCOMPARE(decoded.lossless, lossless);
    if (lossless) {
        // Open then Overwrite: the lines the codec would write otherwise keep their bytes.
        const TextEncoding e{encoding, bom, decoded.form};
        QCOMPARE(openAndOverwrite(bytes, e, decoded.text).toHex(),
                 (bytes + encoding::encode(encoding, u"\r\n").bytes).toHex());
    }
}

void TestEncoding::declaration_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("known");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("name");
    using E = Encoding;
    QTest::newRow("meta charset, quoted") << u"<meta charset=\"Shift_JIS\">"_s << true << E::Cp932
                                          << u"Shift_JIS"_s;
    QTest::newRow("meta charset, bare, upper case") << u"<META CHARSET=UTF-8>"_s << true << E::Utf8
                                                    << u"UTF-8"_s;
    QTest::newRow("http-equiv") << u"<meta http-equiv='Content-Type' content='text/html; charset = x-sjis'>"_s
                                << true << E::Cp932 << u"x-sjis"_s;
    QTest::newRow("Windows-31J") << u"<meta charset=\"Windows-31J\">"_s << true << E::Cp932
                                 << u"Windows-31J"_s;
    QTest::newRow("XML declaration") << u"<?xml version=\"1.0\" encoding=\"EUC-JP\"?>"_s << true
                                     << E::EucJp << u"EUC-JP"_s;
    QTest::newRow("ISO-2022-JP") << u"<meta charset=iso-2022-jp>"_s << true << E::Iso2022Jp
                                 << u"iso-2022-jp"_s;
    QTest::newRow("unknown name") << u"<meta charset=\"koi8-r\">"_s << false << E::Cp932
                                  << u"koi8-r"_s;
    QTest::newRow("charset outside a meta element") << u"<p>charset=utf-8</p>"_s << false
                                                    << E::Cp932 << QString();
    QTest::newRow("meta without charset, then one with")
        << u"<meta name=\"x\" content=\"y\"><meta charset=\"euc-jp\">"_s << true << E::EucJp
        << u"euc-jp"_s;
    QTest::newRow("none") << u"<html><body>日本語</body>"_s << false << E::Cp932 << QString();
}

void TestEncoding::declaration()
{
    QFETCH(QString, text);
    QFETCH(bool, known);
    QFETCH(Encoding, encoding);
    QFETCH(QString, name);
    Encoding found = Encoding::Cp932;
    QString foundName;
    QCOMPARE(encoding::declaredEncoding(text, &found, &foundName), known);
    QCOMPARE(found, encoding);
    QCOMPARE(foundName, name);
    QCOMPARE(encoding::hasDeclaration(text, nullptr), !name.isEmpty());
}

void TestEncoding::statusText_data()
{
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::addColumn<EncodingOrigin>("origin");
    QTest::addColumn<QString>("text");
    using E = Encoding;
    QTest::newRow("default") << E::Cp932 << false << EncodingOrigin::Default << u"Shift_JIS（既定）"_s;
    QTest::newRow("UTF-8 with mark") << E::Utf8 << true << EncodingOrigin::Recognised
                                     << u"UTF-8（BOM付き）"_s;
    QTest::newRow("EUC-JP") << E::EucJp << false << EncodingOrigin::Recognised << u"EUC-JP"_s;
    QTest::newRow("chosen UTF-16BE") << E::Utf16BE << true << EncodingOrigin::Chosen
                                     << u"UTF-16BE（BOM付き）（指定）"_s;
    QTest::newRow("no mark for EUC-JP") << E::EucJp << true << EncodingOrigin::Chosen
                                        << u"EUC-JP（指定）"_s;
}

void TestEncoding::statusText()
{
    QFETCH(Encoding, encoding);
    QFETCH(bool, bom);
    QFETCH(EncodingOrigin, origin);
    QFETCH(QString, text);
    QCOMPARE(encoding::statusText({encoding, bom}, origin), text);
}

QTEST_GUILESS_MAIN(TestEncoding)
#include "tst_encoding.moc"
