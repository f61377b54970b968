#include "platform/qt/qtprinter.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>

namespace zimo {

namespace {

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

} // namespace

QtPrinter::QtPrinter() = default;
QtPrinter::~QtPrinter() = default;

QPrinter *QtPrinter::qprinter()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>();
    return m_printer.get();
}

bool QtPrinter::printText(const QString &text, QString *error)
{
    QPrinter &printer = *qprinter();
    // Without an installed printer Qt prints to a PDF file, which the printer dialog names; until
    // then there is nowhere to print to.
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    if (toFile ? printer.outputFileName().isEmpty() : printer.printerName().isEmpty())
        return fail(error, QStringLiteral("プリンタがありません。"));
    if (!printer.isValid())
        return fail(error, QStringLiteral("プリンタ「%1」は使えません。").arg(printer.printerName()));
    if (printer.docName().isEmpty())
        printer.setDocName(QStringLiteral("ZIMO"));

    // The line end after the text ends its last line; it starts no empty line of its own.
    QString body = text;
    if (body.endsWith(QLatin1String("\r\n")))
        body.chop(2);

    // The text in the default font, laid out for the printer's printable area and broken into
    // pages by Qt: long lines wrap at the page width.
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&printer);
    document.setDefaultFont(QFont());
    document.setDocumentMargin(0);
    document.setPlainText(body);
    const QSizeF page = printer.pageRect(QPrinter::DevicePixel).size();
    document.setPageSize(page);

    QPainter painter;
    if (!painter.begin(&printer)) {
        return fail(error, toFile ? QStringLiteral("ファイル「%1」に印刷できません。")
                                        .arg(printer.outputFileName())
                                  : QStringLiteral("プリンタ「%1」で印刷を始められません。")
                                        .arg(printer.printerName()));
    }
    const int pages = document.pageCount();
    for (int i = 0; i < pages; ++i) {
        if (i > 0 && !printer.newPage()) {
            painter.end();
            return fail(error, QStringLiteral("印刷を最後まで送れませんでした。"));
        }
        const QRectF shown(QPointF(0, i * page.height()), page);
        painter.save();
        painter.translate(0, -shown.top());
        document.drawContents(&painter, shown);
        painter.restore();
    }
    if (!painter.end())
        return fail(error, QStringLiteral("印刷を最後まで送れませんでした。"));
    return true;
}

} // namespace zimo
