// The HTML colours on large documents: opening (the text given to the real text area and its
// first page painted) and a keystroke, each with the colours on and off in the same run; and the
// idle work that brings every line's state up to date after an open.
//
//   QT_QPA_PLATFORM=offscreen bench_html --benchmark_repetitions=3
//   --benchmark_report_aggregates_only=true
//
// Documents: N MiB of HTML-like text as code page 932 would hold it (markup, words, kanji and
// kana, about 70 bytes a line; a quarter of the lines hold a comment, a value or a script that
// runs over two lines), as the model text the text box receives.
//
// Benchmarks (argument: size in MiB; /0 colours off, /1 on):
//   Open       PlainTextBox::setText, then the viewport painted (which colours what is shown)
//   Keystroke  one character typed into a line in the middle of 10 MiB (or the first line, /top),
//              with the repaint of the viewport; CPU time is what counts
//   PaintOnly  the screen painted again, nothing changed (middle of 10 MiB)
//   Settle     after an open, the idle steps' whole work at once (colours on only)

#include "document/cp932.h"
#include "platform/qt/htmlhighlighter.h"
#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTextBlock>

#include <map>
#include <memory>

using namespace zimo;

namespace {

const QString &document(int mib)
{
    static std::map<int, QString> made;
    QString &text = made[mib];
    if (!text.isEmpty())
        return text;
    static const char16_t *const words[] = {u"<P>",
                                            u"</P>",
                                            u"<BR>",
                                            u"<A HREF=\"index.html\">",
                                            u"</A>",
                                            u"ZIMO",
                                            u"page",
                                            u"2024",
                                            u"text",
                                            u"日本語",
                                            u"テキスト",
                                            u"ファイル",
                                            u"編集",
                                            u"保存します",
                                            u"文字コード",
                                            u"の",
                                            u"を",
                                            u"、",
                                            u"。",
                                            u"漢字と仮名",
                                            u"&amp;",
                                            u"&#x3042;",
                                            u"<img src='a.png' alt=x>",
                                            u"<!-- note -->",
                                            u"<span class=\"k\">",
                                            u"</span>"};
    static const char16_t *const overTwoLines[] = {
        u"<!-- a comment\r\nover two lines -->", u"<a title=\"a title\r\nover two lines\">",
        u"<script>\r\nvar a = b < c;</script>", u"<style>\r\np { color: red }</style>"};
    QRandomGenerator random(932);
    const qint64 target = qint64(mib) << 20;
    qint64 bytes = 0;
    while (bytes < target) {
        QString line;
        const int count = 6 + random.bounded(10);
        for (int i = 0; i < count; ++i) {
            line += QString::fromUtf16(words[random.bounded(int(std::size(words)))]);
            line += u' ';
        }
        if (random.bounded(4) == 0)
            line += QString::fromUtf16(overTwoLines[random.bounded(int(std::size(overTwoLines)))]);
        line += u"\r\n";
        bytes += cp932::encode(line).bytes.size();
        text += line;
    }
    return text;
}

// The main window's text area, shown as the program shows it, with or without the colours.
struct Area
{
    explicit Area(bool coloured)
    {
        area.resize(800, 600);
        if (coloured)
            highlighter = std::make_unique<HtmlHighlighter>(&area);
        area.show();
        QApplication::processEvents();
    }
    TextArea area;
    PlainTextBox box{&area};
    std::unique_ptr<HtmlHighlighter> highlighter;
};

Area &sharedArea(bool coloured)
{
    // Kept to the end of the process: destroying widgets after the application object would fail.
    static Area *off = new Area(false);
    static Area *on = new Area(true);
    return coloured ? *on : *off;
}

void open(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    Area &a = sharedArea(state.range(1) != 0);
    for (auto _ : state) {
        a.box.setText(text);
        a.area.viewport()->repaint();
    }
    state.SetLabel(state.range(1) ? "colours on" : "colours off");
}

// One key typed into block `blockNumber`, the caret and the view there.
void keystroke(benchmark::State &state, bool top)
{
    const QString &text = document(10);
    Area &a = sharedArea(state.range(0) != 0);
    a.box.setText(text);
    QTextDocument *doc = a.area.document();
    const QTextBlock block = doc->findBlockByNumber(top ? 0 : doc->blockCount() / 2);
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 3);
    a.area.setTextCursor(cursor);
    a.area.centerCursor();
    a.area.viewport()->repaint();
    if (a.highlighter)
        a.highlighter->settle();
    QApplication::processEvents();
    // At the top, a double quote typed into the first tag opens a value: every later line's state
    // changes (the idle steps take that on afterwards, outside this measurement); it is taken
    // away again with Backspace every second time so the document stays as it was.
    int i = 0;
    for (auto _ : state) {
        const bool erase = top && (i++ % 2 == 1);
        QKeyEvent press(QEvent::KeyPress,
                        erase ? Qt::Key_Backspace
                        : top ? Qt::Key_QuoteDbl
                              : Qt::Key_X,
                        Qt::NoModifier,
                        erase ? QString()
                        : top ? QStringLiteral("\"")
                              : QStringLiteral("x"));
        QApplication::sendEvent(&a.area, &press);
        a.area.viewport()->repaint();
    }
    state.SetLabel(state.range(0) ? "colours on" : "colours off");
}

// The screen painted again with nothing changed, in the middle of 10 MiB: the cost of drawing
// the text, coloured or not.
void paintOnly(benchmark::State &state)
{
    const QString &text = document(10);
    Area &a = sharedArea(state.range(0) != 0);
    a.box.setText(text);
    QTextCursor cursor(a.area.document()->findBlockByNumber(a.area.document()->blockCount() / 2));
    a.area.setTextCursor(cursor);
    a.area.centerCursor();
    a.area.viewport()->repaint();
    if (a.highlighter)
        a.highlighter->settle();
    QApplication::processEvents();
    for (auto _ : state)
        a.area.viewport()->repaint();
    state.SetLabel(state.range(0) ? "colours on" : "colours off");
}

void keystrokeMiddle(benchmark::State &state)
{
    keystroke(state, false);
}

void keystrokeTop(benchmark::State &state)
{
    keystroke(state, true);
}

void settle(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    Area &a = sharedArea(true);
    for (auto _ : state) {
        state.PauseTiming();
        a.box.setText(text);
        a.area.viewport()->repaint();
        state.ResumeTiming();
        a.highlighter->settle();
    }
}

} // namespace

BENCHMARK(open)->ArgsProduct({{1, 10, 50}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(keystrokeMiddle)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2);
BENCHMARK(keystrokeTop)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2);
BENCHMARK(paintOnly)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2);
BENCHMARK(settle)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(2);

int main(int argc, char **argv)
{
    // Widgets need a platform; without a display the offscreen one does.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
