// The page check: Tidy's findings in Japanese at the line and column the status bar shows, and
// the program's own findings (charset declaration, characters the encoding cannot hold, mixed
// line ends).

#include "check/pagecheck.h"

#include <tidy/tidy.h>

#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <memory>

using namespace zimo;

Q_DECLARE_METATYPE(zimo::Encoding)

namespace {

// A valid page with `body` as its line 7.
QString pageWith(const QString &body, const QString &lineEnd = QStringLiteral("\n"))
{
    const QStringList lines = {QStringLiteral("<!DOCTYPE html>"), QStringLiteral("<html>"),
                               QStringLiteral("<head>"), QStringLiteral("<title>t</title>"),
                               QStringLiteral("</head>"), QStringLiteral("<body>"), body,
                               QStringLiteral("</body>"), QStringLiteral("</html>"), QString()};
    return lines.join(lineEnd);
}

// The line (1-based) and column of a position counted independently of the checker: every CR LF,
// CR or LF ends a line.
std::pair<qsizetype, qsizetype> lineColumnOf(QStringView text, qsizetype pos)
{
    qsizetype line = 1, start = 0;
    for (qsizetype i = 0; i < pos; ++i) {
        if (text[i] == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            if (i + 1 == pos)
                break; // between CR and LF: still the line's end
            ++i;
        } else if (text[i] != u'\r' && text[i] != u'\n') {
            continue;
        }
        ++line;
        start = i + 1;
    }
    return {line, pos - start + 1};
}

QStringList rowsOf(const QList<Finding> &findings)
{
    QStringList out;
    for (const Finding &f : findings)
        out.append(findingRow(f));
    return out;
}

} // namespace

class TestPageCheck : public QObject
{
    Q_OBJECT
private slots:
    void tidyFindings_data();
    void tidyFindings();
    void everyTranslationTakesTidysArguments();
    void untranslatedKeyShowsTidysText();
    void placeOnEveryLineEndAndEncoding_data();
    void placeOnEveryLineEndAndEncoding();
    void placeOutOfRange_data();
    void placeOutOfRange();
    void ownFindings_data();
    void ownFindings();
    void rowsAsCopied();
    void sizes_data();
    void sizes();
    void documentOrder();
    void deepNesting_data();
    void deepNesting();
};

void TestPageCheck::tidyFindings_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected"); // the first finding's row as copied

    QTest::newRow("end tag missing") << QStringLiteral("<p><b>太字</p>")
                                     << QStringLiteral("行 7, 列 4: 警告: </p> の前に </b> がありません");
    QTest::newRow("unexpected end tag") << QStringLiteral("<p>a</td></p>")
                                        << QStringLiteral("行 7, 列 5: 警告: ここには書けない </td> があります（無視されます）");
    QTest::newRow("entity without semicolon")
        << QStringLiteral("<p>&copy 2024</p>")
        << QStringLiteral("行 7, 列 4: 警告: 文字参照「&copy」の終わりに「;」がありません");
    QTest::newRow("img without alt") << QStringLiteral("<p><img src=\"a.png\"></p>")
                                     << QStringLiteral("行 7, 列 4: 警告: <img> に属性「alt」がありません");
    QTest::newRow("unknown element") << QStringLiteral("<p><foo>a</foo></p>")
                                     << QStringLiteral("行 7, 列 4: エラー: <foo> は HTML にない要素です");
    QTest::newRow("unknown attribute") << QStringLiteral("<p><font colr=\"red\">x</font></p>")
                                       << QStringLiteral("行 7, 列 4: 警告: <font> 要素は HTML5 で廃止されました");
    QTest::newRow("proprietary attribute")
        << QStringLiteral("<p marginwidth=0>x</p>")
        << QStringLiteral("行 7, 列 1: 警告: <p> の属性「marginwidth」は標準の HTML にない独自拡張です");
    QTest::newRow("unknown entity")
        << QStringLiteral("<p>&foo; x</p>")
        << QStringLiteral("行 7, 列 4: 警告: 「&foo」は知られていない文字参照です（「&」そのものは「&amp;」と書きます）");
    QTest::newRow("nesting") << QStringLiteral("<p><b><i>x</b></i></p>")
                             << QStringLiteral("行 7, 列 7: 警告: b は </b> の誤りではありませんか");
    QTest::newRow("nested emphasis") << QStringLiteral("<p><b><b>x</b></b></p>")
                                     << QStringLiteral("行 7, 列 4: 警告: 強調の <b> が二重になっています");
    QTest::newRow("bad value") << QStringLiteral("<p><img src=a.png alt=x width=10px></p>")
                               << QStringLiteral("行 7, 列 4: 警告: <img> の属性「width」の値「10px」は正しくありません");
    QTest::newRow("anchor twice") << QStringLiteral("<a name=x>a</a><a name=x>b</a>")
                                  << QStringLiteral("行 7, 列 16: 警告: <a> のアンカー「x」は前にも定義されています");
    QTest::newRow("space in address") << QStringLiteral("<p><a href=\"a b.html\">x</a></p>")
                                      << QStringLiteral("行 7, 列 4: 警告: <a> の URI に、そのままでは書けない文字があります");
    // The quote never closes: the value runs to the end of the page.
    QTest::newRow("missing quote")
        << QStringLiteral("<p id=\"a>x</p>")
        << QStringLiteral("行 7, 列 1: 警告: <p> の属性「id」の値「a>x</p> </body> </html>」は正しくありません");
}

void TestPageCheck::tidyFindings()
{
    QFETCH(QString, body);
    QFETCH(QString, expected);
    const QList<Finding> found = checkPage(pageWith(body), Encoding::Utf8);
    QVERIFY2(!found.isEmpty(), "nothing found");
    QCOMPARE(findingRow(found.first()), expected);
}

void TestPageCheck::everyTranslationTakesTidysArguments()
{
    // Each Japanese template names Tidy's key and takes as many arguments as Tidy's own text:
    // a template with one too few would drop an element's name, one too many leave a gap.
    static const QRegularExpression tidyArg(QStringLiteral("%[0-9]*[sdu]"));
    static const QRegularExpression ownArg(QStringLiteral("%([1-9])"));
    const QList<QByteArray> keys = translatedTidyKeys();
    QVERIFY(keys.size() >= 40);
    for (const QByteArray &key : keys) {
        const uint code = tidyErrorCodeFromKey(key.constData());
        QVERIFY2(code != UINT_MAX, key.constData());
        const QString english = QString::fromUtf8(tidyDefaultString(code));
        const qsizetype wanted = english.count(tidyArg);
        int highest = 0;
        for (const auto &m : ownArg.globalMatch(tidyMessageTemplate(key)))
            highest = std::max(highest, m.captured(1).toInt());
        QVERIFY2(highest == wanted, qPrintable(QStringLiteral("%1: %2 / %3")
                                                   .arg(QString::fromLatin1(key))
                                                   .arg(highest)
                                                   .arg(wanted)));
    }
}

void TestPageCheck::untranslatedKeyShowsTidysText()
{
    TidyReport r;
    r.key = "SOME_FUTURE_KEY";
    r.english = QStringLiteral("something Tidy says");
    QCOMPARE(tidyMessageText(r), QStringLiteral("something Tidy says"));
    r.english.clear();
    QCOMPARE(tidyMessageText(r), QStringLiteral("SOME_FUTURE_KEY"));
    // An argument's own "%2" is not filled again.
    r.key = "MISSING_ENDTAG_BEFORE";
    r.arguments = {QStringLiteral("%2"), QStringLiteral("<p>")};
    QCOMPARE(tidyMessageText(r), QStringLiteral("<p> の前に </%2> がありません"));
}

void TestPageCheck::placeOnEveryLineEndAndEncoding_data()
{
    QTest::addColumn<QString>("lineEnd");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("before"); // what stands before "<p>&copy" on the line

    const struct
    {
        const char *name;
        QString end;
    } ends[] = {{"LF", QStringLiteral("\n")},
                {"CR", QStringLiteral("\r")},
                {"CRLF", QStringLiteral("\r\n")},
                {"mixed", QStringLiteral("mixed")}};
    const struct
    {
        const char *name;
        Encoding encoding;
        QString before;
    } encodings[] = {
        // A tab, Japanese, half-width kana and a character outside the BMP, where the encoding
        // holds them.
        {"cp932", Encoding::Cp932, QStringLiteral("\t日本ｱ")},
        {"utf8", Encoding::Utf8, QStringLiteral("\t日本ｱ\U00020BB7")},
        {"eucjp", Encoding::EucJp, QStringLiteral("\t日本ｱ")},
        {"iso2022jp", Encoding::Iso2022Jp, QStringLiteral("\t日本")},
        {"utf16le", Encoding::Utf16LE, QStringLiteral("\t日本ｱ\U00020BB7")},
        {"utf16be", Encoding::Utf16BE, QStringLiteral("\t日本ｱ\U00020BB7")}};
    for (const auto &e : ends)
        for (const auto &enc : encodings)
            QTest::addRow("%s %s", e.name, enc.name) << e.end << enc.encoding << enc.before;
}

void TestPageCheck::placeOnEveryLineEndAndEncoding()
{
    QFETCH(QString, lineEnd);
    QFETCH(Encoding, encoding);
    QFETCH(QString, before);

    QString page;
    if (lineEnd == QLatin1String("mixed")) {
        page = pageWith(before + QStringLiteral("<p>&copy x</p>"), QStringLiteral("\r\n"));
        // Lines 2 and 4 end in LF, line 5 in CR.
        page.replace(QStringLiteral("<html>\r\n"), QStringLiteral("<html>\n"));
        page.replace(QStringLiteral("<title>t</title>\r\n"), QStringLiteral("<title>t</title>\n"));
        page.replace(QStringLiteral("</head>\r\n"), QStringLiteral("</head>\r"));
    } else {
        page = pageWith(before + QStringLiteral("<p>&copy x</p>"), lineEnd);
    }
    // The document as ZIMO reads it from its file in that encoding.
    const encoding::EncodeResult bytes = encoding::encode(encoding, page);
    QVERIFY(bytes.ok());
    const encoding::ForcedDecode read = encoding::decodeAs(encoding, bytes.bytes);
    QCOMPARE(read.text, page);

    const QList<Finding> found = checkPage(read.text, encoding);
    const qsizetype at = page.indexOf(QStringLiteral("&copy"));
    bool seen = false;
    for (const Finding &f : found) {
        if (f.key == "ZIMO_MIXED_LINE_ENDS")
            continue;
        QCOMPARE(f.key, QByteArray("MISSING_SEMICOLON"));
        QCOMPARE(f.line, 7);
        QCOMPARE(f.column, before.size() + 4);
        QCOMPARE(f.position, at);
        seen = true;
    }
    QVERIFY(seen);
    QCOMPARE(found.size(), lineEnd == QLatin1String("mixed") ? 3 : 1);
}

void TestPageCheck::placeOutOfRange_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<qsizetype>("position");

    // Text "ab\r\nc\U0001F600d\re": lines "ab", "c😀d", "e".
    QTest::newRow("no place") << 0 << 0 << qsizetype(0);
    QTest::newRow("first") << 1 << 1 << qsizetype(0);
    QTest::newRow("end of line 1") << 1 << 3 << qsizetype(2);
    QTest::newRow("past line 1") << 1 << 40 << qsizetype(2);
    QTest::newRow("after pair") << 2 << 3 << qsizetype(7);
    QTest::newRow("end of line 2") << 2 << 4 << qsizetype(8);
    QTest::newRow("last line") << 3 << 2 << qsizetype(10);
    QTest::newRow("past the last line") << 9 << 1 << qsizetype(9);
}

void TestPageCheck::placeOutOfRange()
{
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(qsizetype, position);
    const QString text = QStringLiteral("ab\r\nc\U0001F600d\re");
    TidyReport r;
    r.line = line;
    r.column = column;
    r.key = "MISSING_DOCTYPE";
    const QList<Finding> placed = placeTidyReports(text, {r});
    QCOMPARE(placed.size(), 1);
    QCOMPARE(placed[0].position, position);
    const auto [l, c] = lineColumnOf(text, position);
    QCOMPARE(placed[0].line, l);
    QCOMPARE(placed[0].column, c);
}

void TestPageCheck::ownFindings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QStringList>("expected");

    const QString sjisMeta = QStringLiteral("<html><head>\n<meta charset=\"Shift_JIS\">\n");
    QTest::newRow("declared Shift_JIS, written UTF-8")
        << sjisMeta << Encoding::Utf8
        << QStringList{QStringLiteral("行 2, 列 16: エラー: 文字コードの宣言（Shift_JIS）とファイルの文字コード（UTF-8）が一致しません")};
    QTest::newRow("declared Shift_JIS, written Shift_JIS") << sjisMeta << Encoding::Cp932 << QStringList{};
    QTest::newRow("alias")
        << QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Windows-31J\">")
        << Encoding::Cp932 << QStringList{};
    QTest::newRow("utf-16 either order")
        << QStringLiteral("<meta charset=utf-16>") << Encoding::Utf16BE << QStringList{};
    QTest::newRow("XML declaration")
        << QStringLiteral("<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<html>") << Encoding::Utf8
        << QStringList{QStringLiteral("行 1, 列 31: エラー: 文字コードの宣言（EUC-JP）とファイルの文字コード（UTF-8）が一致しません")};
    QTest::newRow("a name ZIMO cannot write")
        << QStringLiteral("<meta charset=\"ISO-8859-1\">") << Encoding::Cp932
        << QStringList{QStringLiteral("行 1, 列 16: エラー: 文字コードの宣言（ISO-8859-1）とファイルの文字コード（Shift_JIS）が一致しません")};
    QTest::newRow("no declaration") << QStringLiteral("<p>charset=utf-8</p>") << Encoding::Cp932 << QStringList{};

    QTest::newRow("cannot hold, twice on a line")
        << QStringLiteral("a\U0001F600b\U0001F600\nc\u00e9") << Encoding::Cp932
        << QStringList{QStringLiteral("行 1, 列 2: エラー: 「\U0001F600」など 2 文字は文字コード Shift_JIS では保存できません"),
                       QStringLiteral("行 2, 列 2: エラー: 「\u00e9」は文字コード Shift_JIS では保存できません")};
    QTest::newRow("EUC-JP cannot hold an emoji")
        << QStringLiteral("x\U0001F600") << Encoding::EucJp
        << QStringList{QStringLiteral("行 1, 列 2: エラー: 「\U0001F600」は文字コード EUC-JP では保存できません")};
    QTest::newRow("EUC-JP holds the NEC and IBM extensions")
        << QStringLiteral("\u2460\u2170\u7e8a") << Encoding::EucJp << QStringList{};
    QTest::newRow("UTF-8 holds everything") << QStringLiteral("\U0001F600\u00e9") << Encoding::Utf8 << QStringList{};

    QTest::newRow("mixed line ends")
        << QStringLiteral("a\r\nb\r\nc\nd\re") << Encoding::Cp932
        << QStringList{QStringLiteral("行 3, 列 2: 警告: 改行の種類が混在しています（CR LF が 2 か所、LF が 1 か所、CR が 1 か所）。この行の改行は LF です"),
                       QStringLiteral("行 4, 列 2: 警告: 改行の種類が混在しています（CR LF が 2 か所、LF が 1 か所、CR が 1 か所）。この行の改行は CR です")};
    QTest::newRow("mostly LF")
        << QStringLiteral("a\nb\nc\r\n") << Encoding::Cp932
        << QStringList{QStringLiteral("行 3, 列 2: 警告: 改行の種類が混在しています（CR LF が 1 か所、LF が 2 か所）。この行の改行は CR LF です")};
    // LF then CR is two line ends; CR then LF is one.
    QTest::newRow("LF CR") << QStringLiteral("a\n\rb") << Encoding::Cp932
                           << QStringList{QStringLiteral("行 2, 列 1: 警告: 改行の種類が混在しています（LF が 1 か所、CR が 1 か所）。この行の改行は CR です")};
    QTest::newRow("one kind") << QStringLiteral("a\rb\rc") << Encoding::Cp932 << QStringList{};
    QTest::newRow("empty") << QString() << Encoding::Cp932 << QStringList{};
}

void TestPageCheck::ownFindings()
{
    QFETCH(QString, text);
    QFETCH(Encoding, encoding);
    QFETCH(QStringList, expected);
    const QList<Finding> found = zimo::ownFindings(text, encoding);
    QCOMPARE(rowsOf(found), expected);
    for (const Finding &f : found) {
        const auto [line, column] = lineColumnOf(text, f.position);
        QCOMPARE(f.line, line);
        QCOMPARE(f.column, column);
    }
}

void TestPageCheck::rowsAsCopied()
{
    Finding a;
    a.line = 12;
    a.column = 3;
    a.kind = FindingKind::Error;
    a.message = QStringLiteral("</b> がありません");
    Finding b = a;
    b.kind = FindingKind::Info;
    b.line = 1234567;
    QCOMPARE(findingRows({a, b}), QStringLiteral("行 12, 列 3: エラー: </b> がありません\n"
                                                 "行 1234567, 列 3: 情報: </b> がありません\n"));
    QCOMPARE(findingRows({}), QString());
}

void TestPageCheck::sizes_data()
{
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 16383, 16385, 1 << 20})
        QTest::addRow("%d", size) << size;
}

void TestPageCheck::sizes()
{
    // Mistakes on lines of every end kind, Japanese and a NUL between them; cut at any size.
    QFETCH(int, size);
    const QString unit = QStringLiteral("<p>あ&copy <b>x</p>\r\n<img src=a>\n\t<foo>\U0001F600</td>\r<br>");
    QString text;
    text.reserve(size + unit.size());
    while (text.size() < size)
        text += unit;
    text.truncate(size);
    const QList<Finding> found = checkPage(text, Encoding::Utf8);
    if (size > 100)
        QVERIFY(found.size() > size / 100);
    qsizetype previous = 0;
    for (const Finding &f : found) {
        QVERIFY(f.position >= previous && f.position <= text.size());
        previous = f.position;
        QVERIFY(!f.message.isEmpty());
    }
    // The line and column of a sample agree with a count of their own.
    for (qsizetype i = 0; i < found.size(); i += std::max<qsizetype>(1, found.size() / 50)) {
        const auto [line, column] = lineColumnOf(text, found[i].position);
        QCOMPARE(found[i].line, line);
        QCOMPARE(found[i].column, column);
    }
}

void TestPageCheck::documentOrder()
{
    // Tidy reports a missing end tag after what follows it, and the program's own findings come
    // after Tidy's: the list is sorted by place all the same. A NUL does not end the check.
    const QString text = QStringLiteral("<meta charset=euc-jp>\n<p><b>x</p>\n<p>a\0</td>\r\n<img src=a.png>\n")
                             .replace(u'\0', QChar(0));
    const QList<Finding> found = checkPage(text, Encoding::Utf8);
    QVERIFY(found.size() >= 4);
    for (qsizetype i = 1; i < found.size(); ++i)
        QVERIFY(found[i - 1].position <= found[i].position);
    QStringList keys;
    for (const Finding &f : found)
        keys.append(QString::fromLatin1(f.key));
    QVERIFY2(keys.contains(QStringLiteral("ZIMO_CHARSET_MISMATCH")), qPrintable(keys.join(u' ')));
    QVERIFY2(keys.contains(QStringLiteral("ZIMO_MIXED_LINE_ENDS")), qPrintable(keys.join(u' ')));
    QVERIFY2(keys.contains(QStringLiteral("MISSING_ATTRIBUTE")), qPrintable(keys.join(u' ')));
}

void TestPageCheck::deepNesting_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<int>("depth");
    // Tidy's parser takes about 200 bytes of stack a level, and its time grows with the square
    // of the depth: the check is called from a thread with a small stack, so that a depth that
    // is quick to check already overflows any stack but the checker's own.
    QTest::newRow("dl") << QStringLiteral("<dl>") << 12000;
    QTest::newRow("div in b") << QStringLiteral("<b><div>") << 6000;
}

void TestPageCheck::deepNesting()
{
    // A page of nothing but nested elements is checked, not the end of the program, whatever
    // stack the caller has.
    QFETCH(QString, tag);
    QFETCH(int, depth);
    const QString text = tag.repeated(depth);
    QVERIFY(tidyStackSize(text) >= qsizetype(depth) * 200);
    QList<Finding> found;
    std::unique_ptr<QThread> caller(
        QThread::create([&] { found = checkPage(text, Encoding::Cp932); }));
    caller->setStackSize(1024 * 1024);
    caller->start();
    QVERIFY(caller->wait());
    QVERIFY(!found.isEmpty());
    QVERIFY(found.last().position <= text.size());
}

QTEST_GUILESS_MAIN(TestPageCheck)
#include "tst_pagecheck.moc"
