#include "settings/fontsettings.h"

#include <QTest>

using namespace zimo;

// What the format command writes into zimo_2.ini, and that start-up reads it back.
class TestFontSettings : public QObject
{
    Q_OBJECT
private slots:
    void sizeText_data();
    void sizeText();
    void fileBytes_data();
    void fileBytes();
    void roundTrip_data();
    void roundTrip();
    void startupFont_data();
    void startupFont();
};

void TestFontSettings::sizeText_data()
{
    QTest::addColumn<double>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole") << 12.0 << "12";
    QTest::newRow("eight") << 8.0 << "8";
    QTest::newRow("half") << 10.5 << "10.5";
    QTest::newRow("quarter") << 9.75 << "9.75";
    QTest::newRow("eleven") << 11.0 << "11";
    QTest::newRow("large") << 72.0 << "72";
    // Sizes are singles: the double value's extra digits are not the font's.
    QTest::newRow("8.1 as a single") << 8.1 << "8.1";
    QTest::newRow("single noise") << double(float(10.35)) << "10.35";
    QTest::newRow("seven significant digits") << 12.345678 << "12.34568";
}

void TestFontSettings::sizeText()
{
    QFETCH(double, size);
    QFETCH(QString, text);
    QCOMPARE(fontSizeText(size), text);
}

void TestFontSettings::fileBytes_data()
{
    QTest::addColumn<FontChoice>("font");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("8 points") << FontChoice{"Sans", 8, false, false}
                              << QByteArray("8\r\nSans\r\nFalse\r\nFalse");
    QTest::newRow("10.5 bold") << FontChoice{"Sans", 10.5, true, false}
                               << QByteArray("10.5\r\nSans\r\nTrue\r\nFalse");
    QTest::newRow("11 points") << FontChoice{"Sans", 11, false, false}
                               << QByteArray("11\r\nSans\r\nFalse\r\nFalse");
    QTest::newRow("12 italic") << FontChoice{"DejaVu Serif", 12, false, true}
                               << QByteArray("12\r\nDejaVu Serif\r\nFalse\r\nTrue");
    QTest::newRow("9.75") << FontChoice{"Sans", 9.75, false, false}
                          << QByteArray("9.75\r\nSans\r\nFalse\r\nFalse");
    QTest::newRow("bold and italic")
        << FontChoice{"Sans", 14, true, true} << QByteArray("14\r\nSans\r\nTrue\r\nTrue");
    QTest::newRow("comma in the face")
        << FontChoice{"A, B", 12, false, false} << QByteArray("12\r\n\"A, B\"\r\nFalse\r\nFalse");
    QTest::newRow("quote in the face")
        << FontChoice{"A \"B\"", 12, true, false} << QByteArray("12\r\n\"A B\"\r\nTrue\r\nFalse");
    QTest::newRow("blanks kept") << FontChoice{"Noto Sans CJK JP", 12, false, false}
                                 << QByteArray("12\r\nNoto Sans CJK JP\r\nFalse\r\nFalse");
    // ＭＳ ゴシック in code page 932.
    QTest::newRow("Japanese face")
        << FontChoice{QStringLiteral("ＭＳ ゴシック"), 12, false, false}
        << QByteArray("12\r\n\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e\r\nFalse\r\nFalse");
}

void TestFontSettings::fileBytes()
{
    QFETCH(FontChoice, font);
    QFETCH(QByteArray, bytes);
    QCOMPARE(zimo2IniBytes(font), bytes);
}

void TestFontSettings::roundTrip_data()
{
    QTest::addColumn<FontChoice>("font");
    QTest::addColumn<double>("startupSize");
    QTest::newRow("8 becomes 14") << FontChoice{"Sans", 8, false, false} << 14.0;
    QTest::newRow("10.5 becomes 14") << FontChoice{"Sans", 10.5, true, false} << 14.0;
    QTest::newRow("11 stays") << FontChoice{"Sans", 11, false, true} << 11.0;
    QTest::newRow("12 bold italic") << FontChoice{"Sans", 12, true, true} << 12.0;
    QTest::newRow("12.5") << FontChoice{"Sans", 12.5, false, false} << 12.5;
    QTest::newRow("Japanese face")
        << FontChoice{QStringLiteral("ＭＳ 明朝"), 24, true, false} << 24.0;
    QTest::newRow("comma in the face, bold") << FontChoice{"Foo, Bar", 12, true, false} << 12.0;
    QTest::newRow("comma in the face, italic") << FontChoice{"Foo,Bar", 12, false, true} << 12.0;
    QTest::newRow("quotes in the face") << FontChoice{"\"Q\", x", 12, true, true} << 12.0;
    QTest::newRow("line end in the face") << FontChoice{"A\r\nB", 12, false, true} << 12.0;
}

void TestFontSettings::roundTrip()
{
    QFETCH(FontChoice, font);
    QFETCH(double, startupSize);
    const StartupFont read = readStartupFont(zimo2IniBytes(font));
    QCOMPARE(read.size, std::optional<double>(startupSize));
    QCOMPARE(read.bold, std::optional<bool>(font.bold));
    QCOMPARE(read.italic, std::optional<bool>(font.italic));
}

// Files as start-up finds them, not only as the format command writes them.
void TestFontSettings::startupFont_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<std::optional<double>>("size");
    QTest::addColumn<std::optional<bool>>("bold");
    QTest::addColumn<std::optional<bool>>("italic");
    const std::optional<double> none;
    const std::optional<bool> unread;
    QTest::newRow("written") << QByteArray("12\r\nSans\r\nTrue\r\nFalse") << std::optional(12.0)
                             << std::optional(true) << std::optional(false);
    QTest::newRow("numbers and blanks") << QByteArray(" 9.75 , Sans,-1,0") << std::optional(14.0)
                                        << std::optional(true) << std::optional(false);
    QTest::newRow("size only") << QByteArray("30") << std::optional(30.0) << unread << unread;
    // Every number below 11, 0 and negative ones too, becomes 14.
    QTest::newRow("zero size") << QByteArray("0\r\nSans\r\nyes\r\nFALSE") << std::optional(14.0)
                               << unread << std::optional(false);
    QTest::newRow("negative size") << QByteArray("-3\r\nSans\r\nTrue\r\nFalse") << std::optional(14.0)
                                   << std::optional(true) << std::optional(false);
    QTest::newRow("10.99") << QByteArray("10.99") << std::optional(14.0) << unread << unread;
    QTest::newRow("11") << QByteArray("11") << std::optional(11.0) << unread << unread;
    QTest::newRow("hugely negative") << QByteArray("-1e39") << std::optional(14.0) << unread
                                     << unread;
    QTest::newRow("not a number") << QByteArray("big,Sans,,1") << none << unread << std::optional(true);
    // Found by fuzzing: a number beyond a single's range was taken as an infinite size.
    QTest::newRow("size beyond a single") << QByteArray("1e39\r\nSans\r\nTrue\r\nTrue") << none
                                          << std::optional(true) << std::optional(true);
    QTest::newRow("size beyond a double") << QByteArray("1e400") << none << unread << unread;
    // Sizes above what the font dialog takes draw nothing: the layout's size stays.
    QTest::newRow("largest single") << QByteArray("3.402823e38\r\nSans\r\nFalse\r\nFalse") << none
                                    << std::optional(false) << std::optional(false);
    QTest::newRow("1e38") << QByteArray("1e38\r\nSans\r\nTrue\r\nFalse") << none
                          << std::optional(true) << std::optional(false);
    QTest::newRow("99999") << QByteArray("99999") << none << unread << unread;
    QTest::newRow("largest the dialog takes") << QByteArray("512") << std::optional(512.0) << unread
                                              << unread;
    QTest::newRow("just above it") << QByteArray("512.01") << none << unread << unread;
    QTest::newRow("largest in the dialog's list") << QByteArray("72") << std::optional(72.0) << unread
                                                  << unread;
    QTest::newRow("empty file") << QByteArray() << none << unread << unread;
}

void TestFontSettings::startupFont()
{
    QFETCH(QByteArray, file);
    QFETCH(std::optional<double>, size);
    QFETCH(std::optional<bool>, bold);
    QFETCH(std::optional<bool>, italic);
    const StartupFont read = readStartupFont(file);
    QCOMPARE(read.size, size);
    QCOMPARE(read.bold, bold);
    QCOMPARE(read.italic, italic);
}

QTEST_GUILESS_MAIN(TestFontSettings)
#include "tst_fontsettings.moc"
