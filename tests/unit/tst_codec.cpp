#include "document/cp932.h"

#include <QMap>
#include <QRandomGenerator>
#include <QTest>

using namespace zimo;
using namespace Qt::StringLiterals;

namespace {

// The decoder's stand-in for an undecodable byte.
QString standIn(int byte)
{
    return QString(QChar(char16_t(0xDC00 + byte)));
}

QString units(std::initializer_list<char16_t> list)
{
    return QString::fromUtf16(list.begin(), qsizetype(list.size()));
}

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

bool isLeadByte(int b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Decodes one character at a time through short slices: an independent walk to check the
// chunked conversion against.
QString decodeCharacterwise(const QByteArray &bytes)
{
    QString text;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isLeadByte(b) && i + 1 < bytes.size()) {
            const QString pair = cp932::decode(bytes.sliced(i, 2));
            if (pair.size() == 1) {
                text += pair;
                i += 2;
                continue;
            }
        }
        text += cp932::decode(bytes.sliced(i, 1));
        ++i;
    }
    return text;
}

} // namespace

class TestCodec : public QObject
{
    Q_OBJECT
private slots:
    // The whole table.
    void everySingleByte();
    void everyTwoByteSequence();

    // Decoding that keeps every byte.
    void undecodableBytes_data();
    void undecodableBytes();
    void chunkedMatchesCharacterwise();

    // Characters both ways.
    void japaneseText_data();
    void japaneseText();
    void encodeFolds_data();
    void encodeFolds();

    // Characters the code page cannot hold.
    void unencodable_data();
    void unencodable();
    void canEncodeAt_data();
    void canEncodeAt();
};

void TestCodec::everySingleByte()
{
    for (int b = 0; b < 256; ++b) {
        const QByteArray bytes(1, char(b));
        const QString text = cp932::decode(bytes);
        QString expected;
        if (b < 0x80)
            expected = QChar(char16_t(b));
        else if (b >= 0xA1 && b <= 0xDF) // half-width katakana
            expected = QChar(char16_t(0xFF61 + b - 0xA1));
        else // 80, A0, FD-FF, and a lead byte with nothing after it
            expected = standIn(b);
        QCOMPARE(text, expected);
        const cp932::EncodeResult back = cp932::encode(text);
        QVERIFY(back.ok());
        QCOMPARE(back.bytes, bytes);
    }
}

void TestCodec::everyTwoByteSequence()
{
    int cells = 0;        // lead byte + trail byte 40..FC
    int decodedCells = 0; // of those, the ones that are one character
    QMap<int, int> foldedByLead;
    for (int lead = 0; lead < 256; ++lead) {
        const QString leadAlone = cp932::decode(QByteArray(1, char(lead)));
        for (int trail = 0; trail < 256; ++trail) {
            QByteArray bytes(2, Qt::Uninitialized);
            bytes[0] = char(lead);
            bytes[1] = char(trail);
            const QString text = cp932::decode(bytes);
            const cp932::EncodeResult back = cp932::encode(text);
            QVERIFY2(back.ok(), bytes.toHex().constData());
            const bool cell = isLeadByte(lead) && trail >= 0x40 && trail <= 0xFC;
            cells += cell;
            if (!cell || text.size() != 1) {
                // Not one character: the two bytes decode separately and come back as they were.
                QCOMPARE(text, leadAlone + cp932::decode(QByteArray(1, char(trail))));
                QCOMPARE(back.bytes, bytes);
                continue;
            }
            ++decodedCells;
            if (back.bytes != bytes) {
                // A duplicate cell: it re-encodes to the canonical cell of the same character.
                QCOMPARE(back.bytes.size(), 2);
                QCOMPARE(cp932::decode(back.bytes), text);
                ++foldedByLead[lead];
            }
        }
    }
    QCOMPARE(cells, 11340);
    QCOMPARE(decodedCells, 9604);
    const QMap<int, int> expectedFolds{{0x87, 9}, {0xED, 188}, {0xEE, 186}, {0xFA, 15}};
    QCOMPARE(foldedByLead, expectedFolds);
}

void TestCodec::undecodableBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("80 at start") << hex("80") + "abc" << standIn(0x80) + u"abc"_s;
    QTest::newRow("A0 in the middle") << "a" + hex("a0") + "b" << u"a"_s + standIn(0xA0) + u"b"_s;
    QTest::newRow("FD FE FF in a row at the end")
        << QByteArray("x\xFD\xFE\xFF") << u"x"_s + standIn(0xFD) + standIn(0xFE) + standIn(0xFF);
    QTest::newRow("lead byte cut off at the end") << hex("93fa82") << u"日"_s + standIn(0x82);
    QTest::newRow("lead byte before CR LF keeps the line break")
        << QByteArray("a\x88\r\nb") << u"a"_s + standIn(0x88) + u"\r\nb"_s;
    QTest::newRow("lead byte with ASCII trail") << QByteArray("\x81 z") << standIn(0x81) + u" z"_s;
    QTest::newRow("lead byte with trail 7F") << hex("827f") << standIn(0x82) + QChar(0x7F);
    QTest::newRow("lead byte with trail FD") << hex("81fd") << standIn(0x81) + standIn(0xFD);
    QTest::newRow("unassigned cell 8540, trail decodes alone")
        << hex("8540") << standIn(0x85) + u"@"_s;
    QTest::newRow("unassigned cell, trail starts the next character")
        << hex("85889f") << standIn(0x85) + u"亜"_s;
    QTest::newRow("between Japanese characters")
        << hex("93fa80967b") << u"日"_s + standIn(0x80) + u"本"_s;
    for (qsizetype pos : {31, 32, 63, 64, 99}) {
        QTest::addRow("stand-in at %lld of 100", qlonglong(pos))
            << QByteArray(pos, 'a') + "\xA0" + QByteArray(99 - pos, 'a')
            << QString(pos, u'a') + standIn(0xA0) + QString(99 - pos, u'a');
    }
    QTest::newRow("unassigned cell FCFC, then a cut-off lead byte")
        << hex("fcfc") << standIn(0xFC) + standIn(0xFC);
    // The folded cell must not be written in its usual form FA5C: EE FA is a character.
    QTest::newRow("lead byte before a folded cell") << hex("eeed40") << standIn(0xEE) + u"纊"_s;
}

void TestCodec::undecodableBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cp932::decode(bytes), text);
    const cp932::EncodeResult back = cp932::encode(text);
    QVERIFY(back.ok());
    QCOMPARE(back.bytes, bytes);
}

void TestCodec::chunkedMatchesCharacterwise()
{
    // Mostly text with now and then a byte that starts nothing, in one long buffer, so that the
    // conversion stops and resumes many times at every kind of place.
    QRandomGenerator random(932);
    const QByteArray pieces[] = {"abc ",      "\r\n",      hex("93fa967b8cea"), hex("c3b7bd"),
                                 hex("8790"), hex("ed40"), hex("f040"),         hex("8160")};
    QByteArray bytes;
    while (bytes.size() < 200'000) {
        if (random.bounded(8) == 0)
            bytes += char(random.bounded(256));
        else
            bytes += pieces[random.bounded(int(std::size(pieces)))];
    }
    const QString text = cp932::decode(bytes);
    QCOMPARE(text, decodeCharacterwise(bytes));
    const cp932::EncodeResult back = cp932::encode(text);
    QVERIFY(back.ok());
    QCOMPARE(cp932::decode(back.bytes), text);
}

void TestCodec::japaneseText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("kanji and katakana")
        << hex("93fa967b8cea8365834c83588367") << u"日本語テキスト"_s;
    QTest::newRow("half-width katakana") << hex("c3b7bdc4cca7b2d9") << u"ﾃｷｽﾄﾌｧｲﾙ"_s;
    QTest::newRow("mixed with ASCII and CR LF") << "<P>" + hex("93fa967b") + "</P>\r\n"
                                                << u"<P>日本</P>\r\n"_s;
    QTest::newRow("ideographic space") << hex("8140") << u"\u3000"_s;
    QTest::newRow("backslash and tilde are ASCII") << QByteArray("\\~") << u"\\~"_s;
    QTest::newRow("8160 is the full-width tilde") << hex("8160") << u"\uFF5E"_s;
    QTest::newRow("815C is the horizontal bar") << hex("815c") << u"\u2015"_s;
    QTest::newRow("NEC row 13: circled one") << hex("8740") << u"①"_s;
    QTest::newRow("NEC row 13: Roman numeral one") << hex("8754") << u"Ⅰ"_s;
    QTest::newRow("NEC row 13: parenthesised kabu") << hex("878a") << u"㈱"_s;
    QTest::newRow("IBM extension: small Roman numeral one") << hex("fa40") << u"ⅰ"_s;
    QTest::newRow("IBM extension kanji FA5C") << hex("fa5c") << u"纊"_s;
    QTest::newRow("IBM extension kanji FB40") << hex("fb40") << u"涖"_s;
    QTest::newRow("last IBM extension cell FC4B") << hex("fc4b") << u"黑"_s;
    QTest::newRow("user-defined area start") << hex("f040") << u"\uE000"_s;
    QTest::newRow("user-defined area end") << hex("f9fc") << u"\uE757"_s;
}

void TestCodec::japaneseText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cp932::decode(bytes), text);
    const cp932::EncodeResult back = cp932::encode(text);
    QVERIFY(back.ok());
    QCOMPARE(back.bytes, bytes);
}

void TestCodec::encodeFolds_data()
{
    // Characters with more than one way in: the table writes them as other bytes than they came
    // from, or writes a look-alike that decodes to a different code point.
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("wave dash U+301C") << QByteArray() << u"\u301C"_s << hex("8160");
    QTest::newRow("NEC row 13 8790 ≒") << hex("8790") << u"≒"_s << hex("81e0");
    QTest::newRow("NEC row 13 879A ∵") << hex("879a") << u"∵"_s << hex("81e6");
    QTest::newRow("NEC-selected IBM ED40 纊") << hex("ed40") << u"纊"_s << hex("fa5c");
    QTest::newRow("NEC-selected IBM EEEF ⅰ") << hex("eeef") << u"ⅰ"_s << hex("fa40");
    QTest::newRow("NEC-selected IBM EEF9 ￢") << hex("eef9") << u"￢"_s << hex("81ca");
    QTest::newRow("IBM FA4A Ⅰ") << hex("fa4a") << u"Ⅰ"_s << hex("8754");
    QTest::newRow("IBM FA54 ￢") << hex("fa54") << u"￢"_s << hex("81ca");
    QTest::newRow("IBM FA5B ∵") << hex("fa5b") << u"∵"_s << hex("81e6");
    QTest::newRow("after a lead byte it does not join")
        << hex("888790") << standIn(0x88) + u"≒"_s << hex("8881e0");
    QTest::newRow("minus sign") << QByteArray() << u"\u2212"_s << hex("817c");
    QTest::newRow("em dash") << QByteArray() << u"\u2014"_s << hex("815c");
}

void TestCodec::encodeFolds()
{
    QFETCH(QByteArray, from);
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    if (!from.isEmpty())
        QCOMPARE(cp932::decode(from), text);
    const cp932::EncodeResult result = cp932::encode(text);
    QVERIFY(result.ok());
    QCOMPARE(result.bytes, written);
}

void TestCodec::unencodable_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<qsizetype>>("positions");
    using P = QList<qsizetype>;
    QTest::newRow("accented letter") << u"aéb"_s << QByteArray("ab") << P{1};
    QTest::newRow("in Japanese text") << u"日é本"_s << hex("93fa967b") << P{1};
    QTest::newRow("emoji pair once at its first unit") << u"a😀b"_s << QByteArray("ab") << P{1};
    QTest::newRow("several in a row") << u"😀😀éx"_s << QByteArray("x") << P{0, 2, 4};
    QTest::newRow("all of the text") << u"ÄÖÜ"_s << QByteArray() << P{0, 1, 2};
    QTest::newRow("pair with low half in the stand-in range")
        << u"💀\r\n"_s << QByteArray("\r\n") << P{0};
    QTest::newRow("tag character") << u"a\U000E0041b"_s << QByteArray("ab") << P{1};
    QTest::newRow("lone high surrogate") << units({'a', 0xD800, 'b'}) << QByteArray("ab") << P{1};
    QTest::newRow("lone high surrogate at the end")
        << units({'a', 0xD83D}) << QByteArray("a") << P{1};
    QTest::newRow("lone low surrogate") << units({0xDFFF, 'a'}) << QByteArray("a") << P{0};
    QTest::newRow("U+DC00..U+DC7F are no stand-ins")
        << units({0xDC0D, 0xDC41, 0xDC7F, 0xDC80}) << hex("80") << P{0, 1, 2};
    // Their table entries are ASCII look-alikes that reopen as other characters.
    QTest::newRow("yen sign") << u"1¥2"_s << QByteArray("12") << P{1};
    QTest::newRow("overline") << u"\u203E"_s << QByteArray() << P{0};
    QTest::newRow("byte order mark") << u"\uFEFFa"_s << QByteArray("a") << P{0};
    QTest::newRow("replacement character") << u"\uFFFD"_s << QByteArray() << P{0};
    QTest::newRow("stand-ins stay bytes around a report")
        << standIn(0x80) + u"é"_s + standIn(0xFF) << hex("80ff") << P{1};
    // Long text is searched for surrogates a block at a time: put one at every kind of place.
    for (qsizetype pos : {0, 1, 31, 32, 33, 63, 64, 65, 97, 98}) {
        const QString text = QString(pos, u'a') + u"😀"_s + QString(98 - pos, u'a');
        QTest::addRow("emoji at %lld of 100", qlonglong(pos))
            << text << QByteArray(98, 'a') << P{pos};
    }
    QTest::newRow("long text, pair split by a block end")
        << QString(31, u'a') + units({0xD83D, 0xDE00, 0xD83D}) + QString(40, u'a')
        << QByteArray(71, 'a') << P{31, 33};
}

void TestCodec::unencodable()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QList<qsizetype>, positions);
    const cp932::EncodeResult result = cp932::encode(text);
    QCOMPARE(result.bytes, bytes);
    QCOMPARE(result.unencodable, positions);
    QVERIFY(!result.ok());
    QVERIFY(!result.bytes.contains('?'));
    for (qsizetype pos : positions)
        QVERIFY(!cp932::canEncodeAt(text, pos));
}

void TestCodec::canEncodeAt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("pos");
    QTest::addColumn<bool>("can");
    QTest::newRow("ASCII") << u"ab"_s << qsizetype(1) << true;
    QTest::newRow("kanji") << u"a日"_s << qsizetype(1) << true;
    QTest::newRow("wave dash") << u"\u301C"_s << qsizetype(0) << true;
    QTest::newRow("stand-in") << standIn(0xA0) << qsizetype(0) << true;
    QTest::newRow("accented letter") << u"é"_s << qsizetype(0) << false;
    QTest::newRow("pair, first unit") << u"😀"_s << qsizetype(0) << false;
    QTest::newRow("pair, second unit") << u"😀"_s << qsizetype(1) << false;
    QTest::newRow("pair, second unit in stand-in range") << u"💀"_s << qsizetype(1) << false;
    QTest::newRow("lone surrogate below the stand-ins") << units({0xDC0A}) << qsizetype(0) << false;
    QTest::newRow("before the start") << u"a"_s << qsizetype(-1) << false;
    QTest::newRow("past the end") << u"a"_s << qsizetype(1) << false;
}

void TestCodec::canEncodeAt()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, pos);
    QFETCH(bool, can);
    QCOMPARE(cp932::canEncodeAt(text, pos), can);
}

QTEST_GUILESS_MAIN(TestCodec)
#include "tst_codec.moc"
