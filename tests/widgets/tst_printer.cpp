// QtPrinter and the printer dialog of CommonDialog1, printing to PDF files: with no printer
// installed that is what Qt's print dialog offers.

#include "platform/qt/qtcommondialog.h"
#include "platform/qt/qtprinter.h"
#include "whenshown.h"

#include <QFile>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace zimo;
using zimo::test::whenShown;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Pages of a PDF file as Qt writes it: one "/Type /Page" object each.
qsizetype pdfPages(const QByteArray &pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![s])"));
    return QString::fromLatin1(pdf).count(page);
}

QString lines(int count, const QString &line)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += line.arg(i) + QLatin1String("\r\n");
    return text;
}

} // namespace

class TestPrinter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void printsToPdf_data();
    void printsToPdf();
    void failsWithReason_data();
    void failsWithReason();
    void printerDialogChoosesTheFile();
    void printerDialogCancelled();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QTemporaryDir m_home;
};

void TestPrinter::initTestCase()
{
    // The print dialog proposes a file in the home folder: keep it inside the test.
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());
}

void TestPrinter::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir::setCurrent(m_dir->path()));
}

void TestPrinter::printsToPdf_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minPages");
    QTest::addColumn<int>("maxPages");
    QTest::addColumn<bool>("japanese"); // its glyphs come from a Japanese face

    QTest::newRow("empty document") << QStringLiteral("\r\n") << 1 << 1 << false;
    QTest::newRow("one line") << QStringLiteral("<HTML>\r\n") << 1 << 1 << false;
    QTest::newRow("Japanese") << QStringLiteral("日本語のページ<BR>\r\n２行目です。\r\n") << 1 << 1 << true;
    QTest::newRow("lone CR and LF") << QStringLiteral("a\rb\nc\r\n") << 1 << 1 << false;
    QTest::newRow("many lines") << lines(400, QStringLiteral("行 %1 <BR>")) << 3 << 40 << true;
    QTest::newRow("one long line") << QString(QStringLiteral("長い行")).repeated(4000) + "\r\n"
                                   << 2 << 60 << true;
}

void TestPrinter::printsToPdf()
{
    QFETCH(QString, text);
    QFETCH(int, minPages);
    QFETCH(int, maxPages);
    QFETCH(bool, japanese);

    QtPrinter printer;
    const QString out = m_dir->filePath(QStringLiteral("印刷.pdf"));
    printer.qprinter()->setOutputFormat(QPrinter::PdfFormat);
    printer.qprinter()->setOutputFileName(out);

    QString error;
    QVERIFY2(printer.printText(text, &error), qPrintable(error));
    const QByteArray pdf = readAll(out);
    QVERIFY(pdf.startsWith("%PDF"));
    const qsizetype pages = pdfPages(pdf);
    QVERIFY2(pages >= minPages && pages <= maxPages, QByteArray::number(pages));
    if (japanese)
        QVERIFY(pdf.contains("CJK")); // fonts-noto-cjk, embedded
}

void TestPrinter::failsWithReason_data()
{
    QTest::addColumn<QString>("outputFile"); // relative to the test folder; empty: none chosen
    QTest::newRow("no printer and no file chosen") << QString();
    QTest::newRow("file in a missing folder") << QStringLiteral("ない/out.pdf");
}

void TestPrinter::failsWithReason()
{
    QFETCH(QString, outputFile);

    QtPrinter printer;
    printer.qprinter()->setOutputFormat(QPrinter::PdfFormat);
    printer.qprinter()->setOutputFileName(outputFile.isEmpty() ? QString()
                                                               : m_dir->filePath(outputFile));
    QString error;
    QVERIFY(!printer.printText(QStringLiteral("text\r\n"), &error));
    QVERIFY(!error.isEmpty());
    if (!outputFile.isEmpty())
        QVERIFY2(error.contains(QStringLiteral("out.pdf")), qPrintable(error));
    QVERIFY(QDir(m_dir->path()).entryList(QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

void TestPrinter::printerDialogChoosesTheFile()
{
    QtPrinter printer;
    QtCommonDialog dialog(nullptr, &printer);
    const QString out = m_dir->filePath(QStringLiteral("選んだ.pdf"));

    bool fileField = false;
    whenShown<QPrintDialog>([&fileField, out](QPrintDialog *shown) {
        // With no printer installed the dialog prints to a file; its name can be typed.
        if (auto *name = shown->findChild<QLineEdit *>(QStringLiteral("filename"))) {
            fileField = name->isVisibleTo(shown);
            name->setText(out);
        }
        shown->accept();
    });
    QVERIFY(dialog.showPrinter());

    if (printer.qprinter()->outputFormat() != QPrinter::PdfFormat)
        QSKIP("a printer is installed: the dialog chose it, nothing to print to a file");
    QVERIFY(fileField);
    QCOMPARE(printer.qprinter()->outputFileName(), out);
    QString error;
    QVERIFY2(printer.printText(QStringLiteral("印刷のテスト\r\n"), &error), qPrintable(error));
    QVERIFY(readAll(out).startsWith("%PDF"));
}

void TestPrinter::printerDialogCancelled()
{
    QtPrinter printer;
    QtCommonDialog dialog(nullptr, &printer);
    QVERIFY(!printer.hasQPrinter());
    whenShown<QPrintDialog>([](QPrintDialog *shown) { shown->reject(); });
    QVERIFY(!dialog.showPrinter());
    // The dialog made the printer; the job after it uses the same one.
    QVERIFY(printer.hasQPrinter());
}

QTEST_MAIN(TestPrinter)
#include "tst_printer.moc"
