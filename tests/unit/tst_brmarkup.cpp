#include "markup/brmarkup.h"

#include <QRandomGenerator>
#include <QTest>

using namespace zimo::markup;
using namespace Qt::StringLiterals;

class TestBrMarkup : public QObject
{
    Q_OBJECT
private slots:
    void addTags_data();
    void addTags();
    void removeTags_data();
    void removeTags();
    void addTwiceGivesTwoTags();
    void removeAfterAddRestores_data();
    void removeAfterAddRestores();
    void sameAsReplaceOnRandomTexts();
    void centerBlockWrapsUnchanged_data();
    void centerBlockWrapsUnchanged();
    void appendSnippetOnNewLine_data();
    void appendSnippetOnNewLine();
};

void TestBrMarkup::addTags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three lines") << u"a\r\nb\r\nc"_s << u"a<BR>\r\nb<BR>\r\nc"_s;
    QTest::newRow("ends in CR LF") << u"a\r\nb\r\n"_s << u"a<BR>\r\nb<BR>\r\n"_s;
    QTest::newRow("starts with CR LF") << u"\r\na"_s << u"<BR>\r\na"_s;
    QTest::newRow("lone LF lines") << u"a\nb\nc\n"_s << u"a\nb\nc\n"_s;
    QTest::newRow("lone CR lines") << u"a\rb\rc\r"_s << u"a\rb\rc\r"_s;
    QTest::newRow("LF CR is no break") << u"a\n\rb"_s << u"a\n\rb"_s;
    QTest::newRow("CR CR LF") << u"a\r\r\nb"_s << u"a\r<BR>\r\nb"_s;
    QTest::newRow("CR LF LF") << u"a\r\n\nb"_s << u"a<BR>\r\n\nb"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("no break") << u"abc"_s << u"abc"_s;
    QTest::newRow("empty lines") << u"\r\n\r\n"_s << u"<BR>\r\n<BR>\r\n"_s;
    QTest::newRow("tag already there") << u"a<BR>\r\nb"_s << u"a<BR><BR>\r\nb"_s;
    QTest::newRow("Japanese") << u"日本語の文\r\n二行目\r\n"_s << u"日本語の文<BR>\r\n二行目<BR>\r\n"_s;
    QTest::newRow("surrogate pair") << u"\U00020BB7\r\n\U00020BB7"_s
                                    << u"\U00020BB7<BR>\r\n\U00020BB7"_s;
}

void TestBrMarkup::addTags()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(addBrTags(text), expected);
}

void TestBrMarkup::removeTags_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three lines") << u"a<BR>\r\nb<BR>\r\nc"_s << u"a\r\nb\r\nc"_s;
    QTest::newRow("tag is the whole line") << u"<BR>\r\n"_s << u"\r\n"_s;
    QTest::newRow("two tags lose one") << u"a<BR><BR>\r\nb"_s << u"a<BR>\r\nb"_s;
    QTest::newRow("stray bracket stays") << u"<<BR>\r\n"_s << u"<\r\n"_s;
    QTest::newRow("lower case") << u"a<br>\r\nb"_s << u"a<br>\r\nb"_s;
    QTest::newRow("mixed case") << u"a<Br>\r\nb"_s << u"a<Br>\r\nb"_s;
    QTest::newRow("space inside") << u"a<BR >\r\nb"_s << u"a<BR >\r\nb"_s;
    QTest::newRow("slash inside") << u"a<BR/>\r\nb"_s << u"a<BR/>\r\nb"_s;
    QTest::newRow("space before break") << u"a<BR> \r\nb"_s << u"a<BR> \r\nb"_s;
    QTest::newRow("tab before break") << u"a<BR>\t\r\nb"_s << u"a<BR>\t\r\nb"_s;
    QTest::newRow("final tag without break") << u"a\r\nb<BR>"_s << u"a\r\nb<BR>"_s;
    QTest::newRow("tag before lone LF") << u"a<BR>\nb"_s << u"a<BR>\nb"_s;
    QTest::newRow("tag before lone CR") << u"a<BR>\rb"_s << u"a<BR>\rb"_s;
    QTest::newRow("tag before CR CR LF") << u"a<BR>\r\r\nb"_s << u"a<BR>\r\r\nb"_s;
    QTest::newRow("full-width tag") << u"a＜ＢＲ＞\r\nb"_s << u"a＜ＢＲ＞\r\nb"_s;
    QTest::newRow("partial tag") << u"BR>\r\n"_s << u"BR>\r\n"_s;
    QTest::newRow("no tags") << u"a\r\nb\r\n"_s << u"a\r\nb\r\n"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("Japanese") << u"見出し<BR>\r\n本文<BR>\r\n"_s << u"見出し\r\n本文\r\n"_s;
}

void TestBrMarkup::removeTags()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(removeBrTags(text), expected);
}

void TestBrMarkup::addTwiceGivesTwoTags()
{
    QCOMPARE(addBrTags(addBrTags(u"a\r\nb\r\n"_s)), u"a<BR><BR>\r\nb<BR><BR>\r\n"_s);
    QCOMPARE(removeBrTags(u"a<BR><BR>\r\nb<BR><BR>\r\n"_s), u"a<BR>\r\nb<BR>\r\n"_s);
}

void TestBrMarkup::removeAfterAddRestores_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain lines") << u"a\r\nb\r\nc"_s;
    QTest::newRow("lines with tags") << u"a<BR>\r\n<br>\r\n<BR>"_s;
    QTest::newRow("lone CR and LF") << u"\r\r\n\n\r\n\r"_s;
    QTest::newRow("empty lines") << u"\r\n\r\n\r\n"_s;
}

void TestBrMarkup::removeAfterAddRestores()
{
    QFETCH(QString, text);
    QCOMPARE(removeBrTags(addBrTags(text)), text);
}

// Against QString::replace, which scans left to right and never rescans what it put in: texts
// made of the characters that matter, so that tags, breaks and near misses meet in every order.
void TestBrMarkup::sameAsReplaceOnRandomTexts()
{
    const char16_t alphabet[] = u"<BR>\r\nbr/ 字";
    const int letters = int(std::size(alphabet)) - 1;
    QRandomGenerator random(20240601);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int length = random.bounded(40);
        for (int i = 0; i < length; ++i)
            text.append(QChar(alphabet[random.bounded(letters)]));
        // Tags and breaks are rare among random letters: splice some in whole.
        for (int k = random.bounded(4); k > 0; --k)
            text.insert(random.bounded(text.size() + 1),
                        random.bounded(2) ? u"<BR>\r\n"_s : u"\r\n"_s);

        QString added = text;
        added.replace(u"\r\n"_s, u"<BR>\r\n"_s);
        QString removed = text;
        removed.replace(u"<BR>\r\n"_s, u"\r\n"_s);
        QCOMPARE(addBrTags(text), added);
        QCOMPARE(removeBrTags(text), removed);
    }
}

void TestBrMarkup::centerBlockWrapsUnchanged_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("expected");
    QTest::newRow("nothing") << QString() << u"\r\n<CENTER>\r\n\r\n</CENTER>\r\n"_s;
    QTest::newRow("a word") << u"見出し"_s << u"\r\n<CENTER>\r\n見出し\r\n</CENTER>\r\n"_s;
    QTest::newRow("lines") << u"a\r\nb\rc\n"_s << u"\r\n<CENTER>\r\na\r\nb\rc\n\r\n</CENTER>\r\n"_s;
}

void TestBrMarkup::centerBlockWrapsUnchanged()
{
    QFETCH(QString, selected);
    QFETCH(QString, expected);
    QCOMPARE(centerBlock(selected), expected);
}

void TestBrMarkup::appendSnippetOnNewLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("snippet");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty document") << QString() << u"<HR>"_s << u"\r\n<HR>"_s;
    QTest::newRow("empty snippet") << u"a"_s << QString() << u"a\r\n"_s;
    QTest::newRow("both empty") << QString() << QString() << u"\r\n"_s;
    QTest::newRow("nothing trimmed") << u" a\r\n"_s << u"\r\n x \r\n"_s << u" a\r\n\r\n\r\n x \r\n"_s;
}

void TestBrMarkup::appendSnippetOnNewLine()
{
    QFETCH(QString, text);
    QFETCH(QString, snippet);
    QFETCH(QString, expected);
    QCOMPARE(appendSnippet(text, snippet), expected);
}

QTEST_GUILESS_MAIN(TestBrMarkup)
#include "tst_brmarkup.moc"
