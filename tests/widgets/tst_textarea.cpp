#include "document/documentcommands.h"
#include "platform/files.h"
#include "platform/qt/lineends.h"
#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"
#include "support/fakes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QMainWindow>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QUrl>

#include <memory>

using namespace zimo;

namespace {

constexpr qsizetype operator""_q(unsigned long long v)
{
    return qsizetype(v);
}

// The text area as the main window holds it: the central widget, one menu action whose key the
// text area lets through.
struct Window
{
    Window()
    {
        window.setCentralWidget(area);
        window.resize(500, 300);
        window.addAction(action);
        QObject::connect(action, &QAction::triggered, [this] { ++triggered; });
    }
    void show()
    {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        area->setFocus();
        QTRY_VERIFY(area->hasFocus());
    }

    QMainWindow window;
    TextArea *area = new TextArea(&window);
    QAction *action = new QAction(&window);
    PlainTextBox box{area};
    int triggered = 0;
};

// A drag's data as a file manager, a browser or a picture viewer gives it.
enum class Payload { Files, Text, Image, WebUrl, Mixed };

std::unique_ptr<QMimeData> payload(Payload kind, const QStringList &paths)
{
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    switch (kind) {
    case Payload::Files:
        mime->setUrls(urls);
        break;
    case Payload::Text:
        mime->setText(QStringLiteral("dropped text"));
        break;
    case Payload::Image: {
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        mime->setImageData(image);
        break;
    }
    case Payload::WebUrl:
        mime->setUrls({QUrl(QStringLiteral("https://example.com/page.html"))});
        mime->setText(QStringLiteral("https://example.com/page.html"));
        break;
    case Payload::Mixed:
        urls.prepend(QUrl(QStringLiteral("https://example.com/a.html")));
        mime->setUrls(urls);
        mime->setText(QStringLiteral("text too"));
        break;
    }
    return mime;
}

// Drags the data over the text area and drops it, as the window system would. Returns whether
// the text area took the drag.
bool dragAndDrop(TextArea *area, const QMimeData *mime)
{
    QWidget *target = area->viewport();
    const QPoint where(20, 10);
    QDragEnterEvent enter(where, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDragMoveEvent move(where, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                        Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(where), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton,
                    Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

// Gives access to the text area's own drag data.
class InspectableArea : public TextArea
{
public:
    using TextArea::createMimeDataFromSelection;
};

} // namespace

Q_DECLARE_METATYPE(Payload)

class TestTextArea : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void typing_data();
    void typing();
    void menuKeyRunsTheMenuNotTheTextArea();
    void disabledMenuKeyDoesNothing_data();
    void disabledMenuKeyDoesNothing();
    void drops_data();
    void drops();
    void ownTextDragIsNotInserted();
    void copyGivesTheDocumentsCharacters();
    void clipboardRoundTrip_data();
    void clipboardRoundTrip();
    void loneLineEndsArePaintedAsMarks();
    void joinsHaveNoMark();
    void charactersTheWidgetUsesItself_data();
    void charactersTheWidgetUsesItself();
    void standInsArePaintedAsBoxes();
    void selectionStaysVisibleWithoutFocus();
};

void TestTextArea::init()
{
    QApplication::clipboard()->clear();
}

void TestTextArea::typing_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Return") << "abc" << Qt::Key_Return << Qt::KeyboardModifiers() << "de"
                            << "abc\r\nde";
    QTest::newRow("Shift+Return") << "abc" << Qt::Key_Return
                                  << Qt::KeyboardModifiers(Qt::ShiftModifier) << "de"
                                  << "abc\r\nde";
    QTest::newRow("Shift+keypad Enter")
        << "x" << Qt::Key_Enter << Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::KeypadModifier)
        << "y"
        << "x\r\ny";
    QTest::newRow("Return at the start") << "" << Qt::Key_Return << Qt::KeyboardModifiers() << "a"
                                         << "\r\na";
}

// Typing reads back with CR LF for each line break, whichever Return the user pressed.
void TestTextArea::typing()
{
    QFETCH(QString, first);
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, second);
    QFETCH(QString, expected);
    Window w;
    w.show();
    QTest::keyClicks(w.area, first);
    QTest::keyClick(w.area, key, modifiers);
    QTest::keyClicks(w.area, second);
    QCOMPARE(w.box.text(), expected);
    QCOMPARE(w.box.selStart(), expected.size());
    QVERIFY(!w.area->document()->toRawText().contains(QChar::LineSeparator));
}

void TestTextArea::menuKeyRunsTheMenuNotTheTextArea()
{
    Window w;
    w.action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    w.area->setMenuShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C)});
    w.show();
    w.box.setText(QStringLiteral("select me"));
    w.box.setSelLength(6);
    QApplication::clipboard()->setText(QStringLiteral("before"));

    QTest::keyClick(w.area, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(w.triggered, 1);
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    QCOMPARE(w.box.text(), QStringLiteral("select me"));

    // Keys that are not the menu's keep working in the text area.
    QTest::keyClick(w.area, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.box.selLength(), 9);
}

void TestTextArea::disabledMenuKeyDoesNothing_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<bool>("menuKey");
    QTest::addColumn<QString>("expected");
    // Ctrl+U deletes the line where the text area uses the X11 key bindings.
    QTest::newRow("Ctrl+U") << Qt::Key_U << true << "line one\r\nline two";
    QTest::newRow("Ctrl+V") << Qt::Key_V << true << "line one\r\nline two";
    QTest::newRow("Ctrl+X") << Qt::Key_X << true << "line one\r\nline two";
    // The same key, when it is not a menu key, is the text area's own: the rows above would
    // change the text without the guard.
    QTest::newRow("Ctrl+V not a menu key") << Qt::Key_V << false << "line one\r\nline twoPASTE";
}

void TestTextArea::disabledMenuKeyDoesNothing()
{
    QFETCH(Qt::Key, key);
    QFETCH(bool, menuKey);
    QFETCH(QString, expected);
    Window w;
    const QKeySequence sequence(Qt::CTRL | key);
    w.action->setShortcut(sequence);
    w.action->setEnabled(false);
    w.area->setMenuShortcuts({menuKey ? sequence : QKeySequence(Qt::CTRL | Qt::Key_F)});
    w.show();
    w.box.setText(QStringLiteral("line one\r\nline two"));
    w.box.setSelStart(18);
    if (key == Qt::Key_X) {
        w.box.setSelStart(10);
        w.box.setSelLength(4);
    }
    QApplication::clipboard()->setText(QStringLiteral("PASTE"));

    QTest::keyClick(w.area, key, Qt::ControlModifier);
    QCOMPARE(w.triggered, 0);
    QCOMPARE(w.box.text(), expected);
}

void TestTextArea::drops_data()
{
    QTest::addColumn<Payload>("kind");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QStringList>("reported");

    const QStringList one{QStringLiteral("/tmp/一つ目 file.txt")};
    const QStringList three{QStringLiteral("/tmp/a.txt"), QStringLiteral("/tmp/b.html"),
                            QStringLiteral("/tmp/c")};
    QTest::newRow("one file") << Payload::Files << one << true << one;
    QTest::newRow("three files in order") << Payload::Files << three << true << three;
    QTest::newRow("text only") << Payload::Text << QStringList() << true << QStringList();
    QTest::newRow("picture") << Payload::Image << QStringList() << true << QStringList();
    QTest::newRow("web address") << Payload::WebUrl << QStringList() << true << QStringList();
    QTest::newRow("web address and files") << Payload::Mixed << three << true << three;
    QTest::newRow("drops disabled") << Payload::Files << one << false << QStringList();
}

void TestTextArea::drops()
{
    QFETCH(Payload, kind);
    QFETCH(QStringList, files);
    QFETCH(bool, enabled);
    QFETCH(QStringList, reported);

    Window w;
    w.area->setFileDropEnabled(enabled);
    w.show();
    w.box.setText(QStringLiteral("keep\r\nme"));
    w.box.setSelStart(2);
    QSignalSpy spy(w.area, &TextArea::filesDropped);

    const auto mime = payload(kind, files);
    const bool taken = dragAndDrop(w.area, mime.get());
    QCOMPARE(taken, !reported.isEmpty());
    QCOMPARE(spy.size(), reported.isEmpty() ? 0 : 1);
    if (!reported.isEmpty())
        QCOMPARE(spy.at(0).at(0).toStringList(), reported);
    QCOMPARE(w.box.text(), QStringLiteral("keep\r\nme"));
    QCOMPARE(w.box.selStart(), 2);
}

// Dragging a piece of the text onto the text area itself moves nothing.
void TestTextArea::ownTextDragIsNotInserted()
{
    InspectableArea area;
    PlainTextBox box(&area);
    area.setFileDropEnabled(true);
    area.resize(300, 200);
    area.show();
    QVERIFY(QTest::qWaitForWindowExposed(&area));
    box.setText(QStringLiteral("abc\r\ndef"));
    box.setSelStart(5);
    box.setSelLength(3);
    QSignalSpy spy(&area, &TextArea::filesDropped);
    std::unique_ptr<QMimeData> mime(area.createMimeDataFromSelection());
    QVERIFY(!dragAndDrop(&area, mime.get()));
    QCOMPARE(box.text(), QStringLiteral("abc\r\ndef"));
    QCOMPARE(spy.size(), 0);
}

void TestTextArea::copyGivesTheDocumentsCharacters()
{
    TextArea area;
    PlainTextBox box(&area);
    const QString text = QStringLiteral("a\rb\r\nc") + QChar(0x00A0) + QStringLiteral("d\ne");
    box.setText(text);
    box.setSelLength(text.size());
    area.copy();
    const QMimeData *mime = QApplication::clipboard()->mimeData();
    QCOMPARE(mime->text(), QStringLiteral("a\rb\nc") + QChar(0x00A0) + QStringLiteral("d\ne"));
    QVERIFY(!mime->hasHtml());
    // Beside the plain text, the model text itself.
    QCOMPARE(TextArea::pastedModelText(mime), text);
}

void TestTextArea::clipboardRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("start");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<bool>("cut");
    const QString mixed = QStringLiteral("a\rb\nc\r\nd\n\re\r");
    QTest::newRow("copy all, lone CR and LF") << mixed << 0_q << mixed.size() << false;
    QTest::newRow("cut all, lone CR and LF") << mixed << 0_q << mixed.size() << true;
    QTest::newRow("cut a lone LF") << mixed << 3_q << 1_q << true;
    QTest::newRow("cut from a line's start") << mixed << 4_q << 6_q << true;
    QTest::newRow("copy LF lines") << QStringLiteral("<P>\n本文\n</P>\n") << 4_q << 7_q << false;
    QTest::newRow("cut CR lines") << QStringLiteral("x\ry\rz") << 1_q << 3_q << true;
    QTest::newRow("cut CR LF lines") << QStringLiteral("x\r\ny\r\n") << 0_q << 6_q << true;
    QTest::newRow("undecodable bytes and CR")
        << QString(QStringLiteral("x") + QChar(0xDC80) + QStringLiteral("\r") + QChar(0xDCFF))
        << 0_q << 4_q << true;
    QTest::newRow("characters held as stand-ins")
        << QString(QStringLiteral("a") + QChar(0x2029) + QChar(0x2028) + "\r\n" + QChar(0xFDD0) +
                   QChar(0xFDD1) + QChar(0xFFFC) + "b")
        << 1_q << 7_q << true;
    // A long line is held as paragraphs joined by joins, which hold no character.
    const QString cutLine = QStringLiteral("a\n") + QString(PlainTextBox::paragraphLimit * 3, u'x') +
                            QStringLiteral("\r\nb");
    QTest::newRow("copy across joins") << cutLine << 100_q << 800_q << false;
    QTest::newRow("cut across joins and a line end") << cutLine << 1_q << 1100_q << true;
    QTest::newRow("cut a whole long line") << cutLine << 2_q << cutLine.size() - 3 << true;
}

// The user's own cut or copy pasted back in the text area is the same text, lone CR and LF
// included (with the plain text alone each of them would come back as CR LF).
void TestTextArea::clipboardRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, start);
    QFETCH(qsizetype, length);
    QFETCH(bool, cut);
    TextArea area;
    PlainTextBox box(&area);
    box.setText(text);
    box.setSelStart(start);
    box.setSelLength(length);
    const QString piece = box.selText();
    QCOMPARE(piece, text.mid(start, length));
    if (cut) {
        area.cut();
        QCOMPARE(box.text(), text.left(start) + text.mid(start + length));
    } else {
        area.copy();
    }
    // Pasted at the end of the text, and in place of what was cut.
    box.setSelStart(box.text().size());
    area.paste();
    const QString withCopy = box.text();
    QCOMPARE(withCopy, (cut ? text.left(start) + text.mid(start + length) : text) + piece);
    if (cut) {
        box.setSelStart(start);
        area.paste();
        QCOMPARE(box.text().left(text.size()), text);
    }
    QVERIFY(LineEnds::of(area.document())->matchesDocument());

    // Another program offered the same characters as plain text only: each line end is CR LF.
    QApplication::clipboard()->setText(QApplication::clipboard()->text());
    box.setText(QString());
    area.paste();
    // (So are the paragraph and line separators, as some programs use them.)
    QString expected = piece;
    expected.replace(QChar::ParagraphSeparator, u'\n');
    expected.replace(QChar::LineSeparator, u'\n');
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    expected.replace(u'\r', u'\n');
    expected.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    QCOMPARE(box.text(), expected);
}

// A lone LF or CR line end is drawn as a mark after its line, each its own; CR LF is not marked.
void TestTextArea::loneLineEndsArePaintedAsMarks()
{
    auto render = [](const QString &text, bool selectAll) {
        TextArea area;
        PlainTextBox box(&area);
        area.resize(200, 80);
        box.setText(text);
        if (selectAll)
            area.selectAll();
        return area.grab().toImage();
    };
    const QImage crlf = render(QStringLiteral("x\r\ny\r\nz"), false);
    const QImage lf = render(QStringLiteral("x\ny\r\nz"), false);
    const QImage cr = render(QStringLiteral("x\ry\r\nz"), false);
    QCOMPARE(lf.size(), crlf.size());
    QVERIFY(lf != crlf);
    QVERIFY(cr != crlf);
    QVERIFY(lf != cr);
    // Only after the line's text: the first line's left part is the same in all three.
    const QRect text(0, 0, 10, lf.height());
    QCOMPARE(lf.copy(text), crlf.copy(text));
    // Selected, the mark is drawn again in the selection's colours.
    QVERIFY(render(QStringLiteral("x\ny"), true) != render(QStringLiteral("x\r\ny"), true));
    // Text with CR LF only is painted as the plain widget paints it.
    QPlainTextEdit plain;
    plain.resize(200, 80);
    plain.setPlainText(QStringLiteral("x\ny\nz"));
    QCOMPARE(crlf, plain.grab().toImage());
}

// A long line after a lone LF: the LF has its mark, the joins of the long line have none (the
// picture below the first line is the same as after a CR LF).
void TestTextArea::joinsHaveNoMark()
{
    const QString line(PlainTextBox::paragraphLimit + 1, u'y');
    auto render = [&](const QString &end, int &secondLine) {
        TextArea area;
        PlainTextBox box(&area);
        area.resize(300, 400);
        box.setText(QStringLiteral("x") + end + line);
        secondLine = area.cursorRect(QTextCursor(area.document()->findBlockByNumber(1))).top();
        return area.viewport()->grab().toImage();
    };
    int lfTop = 0;
    int crlfTop = 0;
    const QImage lf = render(QStringLiteral("\n"), lfTop);
    const QImage crlf = render(QStringLiteral("\r\n"), crlfTop);
    QCOMPARE(lfTop, crlfTop);
    QVERIFY(lfTop > 0);
    QVERIFY(lf != crlf);
    const QRect below(0, lfTop, lf.width(), lf.height() - lfTop);
    QCOMPARE(lf.copy(below), crlf.copy(below));
}

void TestTextArea::charactersTheWidgetUsesItself_data()
{
    QTest::addColumn<QChar>("character");
    QTest::addColumn<QString>("encoding");
    for (const char16_t c : {0x2028, 0x2029, 0xFDD0, 0xFDD1, 0xFFFC}) {
        const QString name = QStringLiteral("U+%1 ").arg(int(c), 4, 16).toUpper();
        for (const char *encoding : {"UTF-8", "UTF-16LE", "UTF-16BE"})
            QTest::addRow("%s%s", qPrintable(name), encoding) << QChar(c) << QString::fromLatin1(encoding);
    }
}

// The paragraph separator and QTextDocument's frame marks would become paragraph breaks in the
// widget (CR LF when read back), the line separator would break the line, the object replacement
// character would not be drawn. A page holding them is opened into the text area and written
// back unchanged with Overwrite: the same bytes, and the text counts as unchanged (Exit asks
// nothing). Inside, each is one character (positions, selections and inserts as in the model).
void TestTextArea::charactersTheWidgetUsesItself()
{
    QFETCH(QChar, character);
    QFETCH(QString, encoding);
    const QString text = QStringLiteral("<p>a") + character + QStringLiteral("b</p>\r\n") + character +
                         character + QStringLiteral("\r\n");
    // The file's bytes (UTF-16 with a byte-order mark), and those of the final CR LF that
    // writing adds.
    auto encode = [&](const QString &t) {
        if (encoding == u"UTF-8")
            return t.toUtf8();
        QByteArray out;
        for (const QChar c : t) {
            const char hi = char(c.unicode() >> 8);
            const char lo = char(c.unicode() & 0xFF);
            out.append(encoding == u"UTF-16LE" ? lo : hi).append(encoding == u"UTF-16LE" ? hi : lo);
        }
        return out;
    };
    const QByteArray mark = encoding == u"UTF-8" ? QByteArray()
                            : encoding == u"UTF-16LE" ? QByteArray("\xff\xfe")
                                                     : QByteArray("\xfe\xff");
    const QByteArray bytes = mark + encode(text);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("page.html"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(bytes), bytes.size());
    }

    TextArea area;
    area.resize(300, 200);
    area.show();
    PlainTextBox box(&area);
    test::FakePlatform p;
    Services s{box, p.messageBox, p.dialog, p.printer, p.shell, p.app, p.mnuEditBack,
               p.mnuFileOverwrite};
    DocumentCommands doc(s);
    p.dialog.fileAnswers.enqueue(path);
    doc.mnuFileOpen_Click();
    QCOMPARE(box.text(), text);
    QCOMPARE(doc.file_text(), box.text());
    QVERIFY(!doc.changed());
    // Two lines and the empty one after them; no line broken inside.
    QCOMPARE(area.document()->blockCount(), 3);
    (void)area.grab(); // lays the lines out
    for (QTextBlock b = area.document()->begin(); b.isValid(); b = b.next())
        QCOMPARE(b.layout()->lineCount(), 1);
    doc.mnuFileOverwrite_Click();
    QVERIFY(p.messageBox.shown.isEmpty());
    QCOMPARE(readWholeFile(path).value_or(QByteArray()).toHex(' '),
             (bytes + encode(QStringLiteral("\r\n"))).toHex(' '));
    QVERIFY(!doc.changed());

    // One position each, selected and replaced as any character.
    box.setSelStart(4);
    box.setSelLength(2);
    QCOMPARE(box.selText(), QString(character + QStringLiteral("b")));
    box.setSelStart(12);
    box.setSelLength(2);
    QCOMPARE(box.selText(), QString(QString(character) + character));
    box.setSelText(QStringLiteral("x") + character);
    QCOMPARE(box.selStart(), 14);
    QCOMPARE(box.text(), QStringLiteral("<p>a") + character + QStringLiteral("b</p>\r\nx") + character +
                             QStringLiteral("\r\n"));
    // Typed next to it, and taken back with the widget's own undo.
    const QString before = box.text();
    box.setSelStart(5);
    QTest::keyClicks(&area, QStringLiteral("yz"));
    QCOMPARE(box.text(), before.left(5) + QStringLiteral("yz") + before.mid(5));
    while (box.text() != before && area.document()->isUndoAvailable())
        area.undo();
    QCOMPARE(box.text(), before);
    QVERIFY(LineEnds::of(area.document())->matchesDocument());
}

// Each character held as a stand-in is drawn, each differently (a box with its code), and not
// as an undecodable byte is.
void TestTextArea::standInsArePaintedAsBoxes()
{
    auto render = [](QChar c, bool selectAll) {
        TextArea area;
        PlainTextBox box(&area);
        area.resize(200, 80);
        box.setText(QStringLiteral("a") + c + QStringLiteral("b"));
        if (selectAll)
            area.selectAll();
        return area.grab().toImage();
    };
    QList<QImage> images;
    for (const char16_t c : {0x2028, 0x2029, 0xFDD0, 0xFDD1, 0xFFFC, 0xDC80, 0x0062})
        images.append(render(QChar(c), false));
    for (int i = 0; i < images.size(); ++i)
        for (int j = i + 1; j < images.size(); ++j)
            QVERIFY2(images[i] != images[j], qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
    // Selected, the box is drawn again in the selection's colours.
    QVERIFY(render(QChar(0x2029), true) != render(QChar(0x2029), false));
    QVERIFY(render(QChar(0x2029), true) != render(QChar(0x2028), true));
}

void TestTextArea::selectionStaysVisibleWithoutFocus()
{
    // A surrounding palette whose selection fades when the window loses the focus, as many
    // desktop themes have it.
    auto fading = [](const QColor &active) {
        QPalette pal = QApplication::palette();
        pal.setColor(QPalette::Active, QPalette::Highlight, active);
        pal.setColor(QPalette::Inactive, QPalette::Highlight, Qt::lightGray);
        pal.setColor(QPalette::Active, QPalette::HighlightedText, Qt::white);
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
        return pal;
    };
    auto check = [](const TextArea &area, const QColor &active) {
        const QPalette pal = area.palette();
        QCOMPARE(pal.color(QPalette::Active, QPalette::Highlight), active);
        QCOMPARE(pal.color(QPalette::Inactive, QPalette::Highlight), active);
        QCOMPARE(pal.color(QPalette::Inactive, QPalette::HighlightedText), QColor(Qt::white));
    };
    QWidget window;
    window.setPalette(fading(Qt::darkBlue));
    auto *area = new TextArea(&window);
    check(*area, Qt::darkBlue);
    // The theme changes while the program runs.
    window.setPalette(fading(Qt::darkGreen));
    check(*area, Qt::darkGreen);
}

QTEST_MAIN(TestTextArea)
#include "tst_textarea.moc"
