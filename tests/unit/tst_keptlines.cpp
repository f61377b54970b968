// Lines written back with the bytes they were read from: which lines are remembered, which of them
// an edited text still holds, and the line diff that decides it.
#include "document/cp932.h"
#include "document/documentfile.h"
#include "document/keptlines.h"

#include <QRandomGenerator>
#include <QTest>

#include <vector>

using namespace zimo;
using namespace Qt::StringLiterals;

namespace {

using Numbers = QList<qsizetype>;
using Pairs = QList<std::pair<qsizetype, qsizetype>>;

// 8790 and 81E0 both read as ≒ (81E0 is what the codec writes); ED40 reads as 纊 (written FA5C).
const QByteArray necNearlyEqual("\x87\x90");
const QByteArray nearlyEqual("\x81\xe0");
const QByteArray necKanji("\xed\x40");
const QByteArray ibmKanji("\xfa\x5c");

// The file Overwrite writes for `edited` after `original` was opened.
QByteArray writeBack(const QByteArray &original, const QString &edited, Numbers *remembered = nullptr)
{
    const QString text = cp932::decode(original);
    KeptLines kept;
    kept.remember(original, text, lineCodec(Encoding::Cp932));
    if (remembered)
        *remembered = kept.lineNumbers();
    return encodeDocument(edited, {}, kept.spansFor(edited, text)).bytes;
}

// Text decoded from `bytes` with `edit` applied.
QString edited(const QByteArray &bytes, const std::function<void(QString &)> &edit)
{
    QString text = cp932::decode(bytes);
    edit(text);
    return text;
}

// A text of `n` lines "line i" (CR LF), with `cell` at the end of the lines in `with`.
QByteArray numberedLines(int n, const QList<int> &with, const QByteArray &cell)
{
    QByteArray bytes;
    for (int i = 0; i < n; ++i) {
        bytes += "line " + QByteArray::number(i);
        if (with.contains(i))
            bytes += cell;
        bytes += "\r\n";
    }
    return bytes;
}

// The length of a longest common subsequence, the slow way.
qsizetype lcsLength(const QStringList &a, const QStringList &b)
{
    std::vector<std::vector<qsizetype>> t(size_t(a.size() + 1), std::vector<qsizetype>(size_t(b.size() + 1)));
    for (qsizetype i = a.size() - 1; i >= 0; --i)
        for (qsizetype j = b.size() - 1; j >= 0; --j)
            t[size_t(i)][size_t(j)] = a[i] == b[j] ? t[size_t(i + 1)][size_t(j + 1)] + 1
                                                   : std::max(t[size_t(i + 1)][size_t(j)], t[size_t(i)][size_t(j + 1)]);
    return t[0][0];
}

QList<QStringView> views(const QStringList &lines)
{
    QList<QStringView> list;
    for (const QString &line : lines)
        list.append(line);
    return list;
}

// A UTF-16LE codec in which U+2126 OHM SIGN reads as U+03A9 (as a normalising decoder would do):
// two-byte line ends and a character with two byte forms.
LineCodec foldingUtf16()
{
    return {[](QByteArrayView bytes) {
                QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.data()),
                                                  bytes.size() / 2);
                text.replace(QChar(0x2126), QChar(0x03A9));
                return text;
            },
            [](QStringView text) {
                return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
            }};
}

// An encoding with a shift state: 0E shifts to U+3000 + byte, 0F back; CR and LF stay line ends
// but do not end the shift. The encoder shifts around every such character.
LineCodec shifting()
{
    return {[](QByteArrayView bytes) {
                QString text;
                bool shifted = false;
                for (const char b : bytes) {
                    if (b == 0x0E || b == 0x0F)
                        shifted = b == 0x0E;
                    else
                        text += QChar(char16_t(shifted && b != '\r' && b != '\n' ? 0x3000 + b : b));
                }
                return text;
            },
            [](QStringView text) {
                QByteArray bytes;
                for (const QChar c : text) {
                    if (c.unicode() >= 0x3000)
                        bytes += QByteArray("\x0e") + char(c.unicode() - 0x3000) + '\x0f';
                    else
                        bytes += char(c.unicode());
                }
                return bytes;
            }};
}

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

} // namespace

class TestKeptLines : public QObject
{
    Q_OBJECT
private slots:
    void writtenBack_data();
    void writtenBack();
    void otherCodec_data();
    void otherCodec();
    void rebaseFollowsWrittenText();
    void lineDiff_data();
    void lineDiff();
};

void TestKeptLines::writtenBack_data()
{
    QTest::addColumn<QByteArray>("original");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Numbers>("remembered");
    QTest::addColumn<QByteArray>("written");

    const QByteArray plain("<P>\x93\xfa\x96\x7b\x8c\xea</P>\r\n\x81\x60\x87\x40\r\n");
    QTest::newRow("ordinary page: nothing remembered")
        << plain << cp932::decode(plain) << Numbers{} << plain + "\r\n";

    for (const auto &[name, end] : {std::pair{"CR LF", QByteArray("\r\n")}, {"LF", QByteArray("\n")},
                                    {"CR", QByteArray("\r")}}) {
        const QByteArray bytes = "a" + necNearlyEqual + end + "plain" + end + necKanji + end;
        QTest::newRow(qPrintable(u"unchanged, "_s + QLatin1StringView(name)))
            << bytes << cp932::decode(bytes) << Numbers{0, 2} << bytes + "\r\n";
        QTest::newRow(qPrintable(u"first line edited, "_s + QLatin1StringView(name)))
            << bytes << edited(bytes, [](QString &t) { t.insert(1, u'!'); }) << Numbers{0, 2}
            << "a!" + nearlyEqual + end + "plain" + end + necKanji + end + "\r\n";
    }
    const QByteArray mixed = necNearlyEqual + "\r\n" + necKanji + "\r" + necNearlyEqual + "\n\r\n" + necKanji;
    QTest::newRow("mixed line ends, no end after the last line")
        << mixed << cp932::decode(mixed) << Numbers{0, 1, 2, 4} << mixed + "\r\n";

    const QByteArray twins = necNearlyEqual + "x\r\n" + nearlyEqual + "x\r\n" + necNearlyEqual + "x";
    QTest::newRow("same text from different cells, unchanged")
        << twins << cp932::decode(twins) << Numbers{0, 2} << twins + "\r\n";
    QTest::newRow("same text from different cells, lines inserted between")
        << twins << edited(twins, [](QString &t) { t.replace(u"x\r\n"_s, u"x\r\nnew\r\n"_s); })
        << Numbers{0, 2}
        << necNearlyEqual + "x\r\nnew\r\n" + nearlyEqual + "x\r\nnew\r\n" + necNearlyEqual + "x\r\n";
    QTest::newRow("same text from different cells, the one in the middle edited")
        << twins << edited(twins, [](QString &t) { t.insert(6, u'!'); }) << Numbers{0, 2}
        << necNearlyEqual + "x\r\n" + nearlyEqual + "x!\r\n" + necNearlyEqual + "x\r\n";

    const QByteArray below = "top\r\nmid\r\n" + necNearlyEqual + "\r\nend\r\n";
    QTest::newRow("line inserted above")
        << below << edited(below, [](QString &t) { t.insert(0, u"new\r\n"_s); }) << Numbers{2}
        << "new\r\n" + below + "\r\n";
    QTest::newRow("lines removed above")
        << below << edited(below, [](QString &t) { t.remove(0, 10); }) << Numbers{2}
        << necNearlyEqual + "\r\nend\r\n\r\n";
    QTest::newRow("line end after it changed")
        << below << edited(below, [](QString &t) { t.replace(u"≒\r\n"_s, u"≒\n"_s); }) << Numbers{2}
        << "top\r\nmid\r\n" + necNearlyEqual + "\nend\r\n\r\n";
    QTest::newRow("two lines joined")
        << below << edited(below, [](QString &t) { t.replace(u"mid\r\n"_s, u"mid"_s); })
        << Numbers{2} << "top\r\nmid" + nearlyEqual + "\r\nend\r\n\r\n";
    QTest::newRow("line moved is no longer where it stood")
        << below << edited(below, [](QString &t) { t = u"≒\r\ntop\r\nmid\r\nend\r\n"_s; })
        << Numbers{2} << nearlyEqual + "\r\ntop\r\nmid\r\nend\r\n\r\n";
    QTest::newRow("everything replaced")
        << below << u"≒ 纊"_s << Numbers{2} << nearlyEqual + " " + ibmKanji + "\r\n";
    QTest::newRow("everything deleted") << below << QString() << Numbers{2} << QByteArray("\r\n");

    // A stand-in for a lone lead byte at the end of the line: the line end follows it on disk as
    // it did in the file read.
    const QByteArray lead = necKanji + "\x81\r\n" + necKanji + "\x81";
    QTest::newRow("lone lead byte at the line's end")
        << lead << cp932::decode(lead) << Numbers{0, 1} << lead + "\r\n";

    // Long texts: edits before, after and around remembered lines, across the comparison's
    // blocks of 256 characters.
    const QByteArray many = numberedLines(400, {0, 150, 151, 399}, necKanji);
    auto lineOf = [](int i) { return u"line "_s + QString::number(i); };
    QTest::newRow("long text, one edit between remembered lines")
        << many << edited(many, [&](QString &t) { t.replace(lineOf(100) + u"\r\n"_s, lineOf(100) + u"!\r\n"_s); })
        << Numbers{0, 150, 151, 399}
        << numberedLines(400, {0, 150, 151, 399}, necKanji).replace("line 100\r\n", "line 100!\r\n") + "\r\n";
    QTest::newRow("long text, edits on both sides of remembered lines")
        << many
        << edited(many, [&](QString &t) {
               t.replace(lineOf(10) + u"\r\n"_s, QString());
               t.replace(lineOf(300) + u"\r\n"_s, lineOf(300) + u"\r\nnew\r\nnew\r\n"_s);
           })
        << Numbers{0, 150, 151, 399}
        << numberedLines(400, {0, 150, 151, 399}, necKanji)
                   .replace("line 10\r\n", "")
                   .replace("line 300\r\n", "line 300\r\nnew\r\nnew\r\n") +
               "\r\n";
    QTest::newRow("long text, a remembered line deleted among edits")
        << many
        << edited(many, [&](QString &t) {
               t.replace(lineOf(140) + u"\r\n"_s, lineOf(140) + u"!\r\n"_s);
               t.replace(lineOf(150) + u"纊\r\n"_s, QString());
               t.replace(lineOf(160) + u"\r\n"_s, lineOf(160) + u"!\r\n"_s);
           })
        << Numbers{0, 150, 151, 399}
        << numberedLines(400, {0, 151, 399}, necKanji)
                   .replace("line 150\r\n", "")
                   .replace("line 140\r\n", "line 140!\r\n")
                   .replace("line 160\r\n", "line 160!\r\n") +
               "\r\n";

    // EUC-JP read as code page 932: every two-byte code of the JIS kanji rows (leads B0..F4,
    // trails A1..FE), 94 to a line. As code page 932 they are half-width katakana, stand-ins for
    // bytes and two-byte cells, among them the folded cells under ED and EE.
    QByteArray euc;
    for (int lead = 0xB0; lead <= 0xF4; ++lead) {
        euc += "<P>";
        for (int trail = 0xA1; trail <= 0xFE; ++trail) {
            euc += char(lead);
            euc += char(trail);
        }
        euc += "</P>\r\n";
    }
    Numbers eucLines;
    for (int lead = 0xB0; lead <= 0xF4; ++lead) {
        const QByteArray line = euc.mid((lead - 0xB0) * (3 + 188 + 6), 3 + 188 + 4);
        if (cp932::encode(cp932::decode(line)).bytes != line)
            eucLines.append(lead - 0xB0);
    }
    QVERIFY(!eucLines.isEmpty());
    QTest::newRow("EUC-JP page read as code page 932, unchanged")
        << euc << cp932::decode(euc) << eucLines << euc + "\r\n";
    QTest::newRow("EUC-JP page read as code page 932, one line edited")
        << euc << edited(euc, [](QString &t) { t.insert(0, u"<!-- -->"_s); }) << eucLines
        << "<!-- -->" + cp932::encode(cp932::decode(euc.left(3 + 188 + 4))).bytes + euc.mid(3 + 188 + 4) + "\r\n";
}

// What a write gives for a text after the document was read: the lines it holds unchanged keep
// the bytes they were read from, everything else is written by the codec.
void TestKeptLines::writtenBack()
{
    QFETCH(QByteArray, original);
    QFETCH(QString, text);
    QFETCH(Numbers, remembered);
    QFETCH(QByteArray, written);
    Numbers numbers;
    const QByteArray bytes = writeBack(original, text, &numbers);
    QCOMPARE(numbers, remembered);
    QCOMPARE(bytes.toHex(' '), written.toHex(' '));
    // What is written reads back as the text.
    QCOMPARE(cp932::decode(bytes.chopped(2)), text);
}

void TestKeptLines::otherCodec_data()
{
    QTest::addColumn<bool>("shift"); // the codec: false for folding UTF-16, true for shifting
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QByteArray>("written");
    const QString ohm(QChar(0x2126)), omega(QChar(0x03A9));
    QTest::newRow("unchanged") << false << utf16(u"a"_s + ohm + u"\r\nb\rc\n"_s + ohm) << QString()
                               << utf16(u"a"_s + ohm + u"\r\nb\rc\n"_s + ohm);
    QTest::newRow("line inserted above")
        << false << utf16(u"a\r\n"_s + ohm) << u"new\r\na\r\n"_s + omega << utf16(u"new\r\na\r\n"_s + ohm);
    QTest::newRow("the line edited") << false << utf16(u"a\r\n"_s + ohm) << u"a\r\n!"_s + omega
                                     << utf16(u"a\r\n!"_s + omega);
    // U+0A05 U+3000 hold the bytes 0A 00 (LF) off the units' boundaries: no line end there.
    const QString offBoundary = QString(QChar(0x0A05)) + QChar(0x3000);
    QTest::newRow("line end bytes off the units' boundaries")
        << false << utf16(ohm + offBoundary + u"\r\n"_s + offBoundary + ohm) << QString()
        << utf16(ohm + offBoundary + u"\r\n"_s + offBoundary + ohm);
    // The first line leaves the shift on: its bytes would change how the next line reads, so it
    // is written by the codec; the second line's bytes (shift off, C) are kept while it stands.
    const QByteArray open("\x0e\x41\x42\r\n\x0f\x43");
    const QString shiftedText = QString(QChar(0x3041)) + QChar(0x3042);
    QTest::newRow("shift left on, unchanged")
        << true << open << QString() << QByteArray("\x0e\x41\x0f\x0e\x42\x0f\r\n\x0f\x43");
    QTest::newRow("shift left on, the next line edited")
        << true << open << shiftedText + u"\r\nD"_s << QByteArray("\x0e\x41\x0f\x0e\x42\x0f\r\nD");
}

// The same for other codecs: two-byte units (line ends are the codec's own bytes for CR and LF),
// and a shift state.
void TestKeptLines::otherCodec()
{
    QFETCH(bool, shift);
    QFETCH(QByteArray, read);
    QFETCH(QString, edit);
    QFETCH(QByteArray, written);
    const LineCodec codec = shift ? shifting() : foldingUtf16();
    const QString text = codec.decode(read);
    KeptLines kept;
    kept.remember(read, text, codec);
    QVERIFY(!kept.isEmpty());
    const QString now = edit.isNull() ? text : edit;
    const QList<KeptSpan> spans = kept.spansFor(now, text);
    QByteArray out;
    appendAroundKept(
        now, spans, [&](qsizetype from, qsizetype to) { out += codec.encode(now.sliced(from, to - from)); },
        out);
    QCOMPARE(out.toHex(' '), written.toHex(' '));
    QCOMPARE(codec.decode(out), now);
    // The same put into the codec's bytes for the whole text.
    QByteArray whole = codec.encode(now);
    QVERIFY(putKeptBytes(now, whole, spans, codec));
    QCOMPARE(whole.toHex(' '), written.toHex(' '));
}

// After a write the remembered lines are the kept ones, numbered as in the written text, and the
// next write keeps them again.
void TestKeptLines::rebaseFollowsWrittenText()
{
    const QByteArray original = "a\r\n" + necNearlyEqual + "\r\n" + necKanji + "\r\nz";
    const QString read = cp932::decode(original);
    KeptLines kept;
    kept.remember(original, read, lineCodec(Encoding::Cp932));
    QCOMPARE(kept.lineNumbers(), (Numbers{1, 2}));

    // Two lines inserted at the top, the 纊 line edited: ≒ is kept and now on line 3.
    const QString first = u"new\r\nnew\r\na\r\n≒\r\n纊!\r\nz"_s;
    const QList<KeptSpan> spans = kept.spansFor(first, read);
    QCOMPARE(spans, (QList<KeptSpan>{{3, 13, 14, necNearlyEqual}}));
    kept.rebase(spans, first);
    QCOMPARE(kept.lineNumbers(), (Numbers{3}));

    const QString second = u"new\r\na\r\n≒\r\n纊!\r\nz"_s;
    QCOMPARE(encodeDocument(second, {}, kept.spansFor(second, first)).bytes,
             "new\r\na\r\n" + necNearlyEqual + "\r\n" + ibmKanji + "!\r\nz\r\n");

    kept.clear();
    QVERIFY(kept.spansFor(second, second).isEmpty());
}

void TestKeptLines::lineDiff_data()
{
    QTest::addColumn<QStringList>("a");
    QTest::addColumn<QStringList>("b");
    QTest::addColumn<qsizetype>("maxEdits");
    QTest::addColumn<bool>("found");

    QTest::newRow("both empty") << QStringList{} << QStringList{} << qsizetype(10) << true;
    QTest::newRow("all inserted") << QStringList{} << QStringList{"a", "b"} << qsizetype(10) << true;
    QTest::newRow("all deleted") << QStringList{"a", "b"} << QStringList{} << qsizetype(10) << true;
    QTest::newRow("same") << QStringList{"a", "b", "c"} << QStringList{"a", "b", "c"} << qsizetype(0)
                          << true;
    QTest::newRow("replaced") << QStringList{"a", "x", "c"} << QStringList{"a", "y", "c"}
                              << qsizetype(2) << true;
    QTest::newRow("more edits than allowed")
        << QStringList{"a", "x", "c"} << QStringList{"a", "y", "c"} << qsizetype(1) << false;
    QTest::newRow("repeated lines") << QStringList{"x", "x", "y", "x"} << QStringList{"x", "y", "x", "x"}
                                    << qsizetype(10) << true;
    // Random sequences over a small alphabet (many equal lines, many ways to pair them).
    QRandomGenerator random(16);
    for (int round = 0; round < 40; ++round) {
        QStringList a, b;
        const int n = random.bounded(30), m = random.bounded(30);
        for (int i = 0; i < n; ++i)
            a.append(QString(QChar(u'a' + random.bounded(3))));
        for (int i = 0; i < m; ++i)
            b.append(QString(QChar(u'a' + random.bounded(3))));
        QTest::newRow(qPrintable(u"random "_s + QString::number(round))) << a << b << qsizetype(100) << true;
    }
}

// The line diff pairs equal lines in order, as many as a longest common subsequence has.
void TestKeptLines::lineDiff()
{
    QFETCH(QStringList, a);
    QFETCH(QStringList, b);
    QFETCH(qsizetype, maxEdits);
    QFETCH(bool, found);
    const auto pairs = keptlines_detail::matchLines(views(a), views(b), maxEdits);
    QCOMPARE(pairs.has_value(), found);
    if (!pairs)
        return;
    qsizetype lastA = -1, lastB = -1;
    for (const auto &[i, j] : *pairs) {
        QVERIFY(i > lastA && j > lastB);
        QVERIFY(i < a.size() && j < b.size());
        QCOMPARE(a[i], b[j]);
        lastA = i;
        lastB = j;
    }
    QCOMPARE(pairs->size(), lcsLength(a, b));
}

QTEST_GUILESS_MAIN(TestKeptLines)
#include "tst_keptlines.moc"
