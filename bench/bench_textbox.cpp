// The text box adapter on large documents, against the plain widget calls on the same text in the
// same run (the floor: QPlainTextEdit's own setPlainText/toPlainText, which would change the text).
//
//   bench_textbox --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// A document of N MB is N MiB of code page 932 bytes: lines of 25 Japanese characters and CR LF
// (52 bytes a line), so 10 MB are about 200,000 lines and 5.4 million UTF-16 characters.
//
// Line ends: the same lines ended by CR LF, by LF, or mixed (CR LF, LF and CR in turn), opened
// (setText) and typed into (one key at the start, the middle and the end, painted) at 1, 10 and
// 50 MiB, all in the same run, so that LF and mixed compare with CR LF:
//
//   bench_textbox --benchmark_filter='open|keystroke' --benchmark_repetitions=3
//
// Long lines: minified HTML of 1 MiB as one line against the same characters in lines of 100
// (CR LF), and a 20 MiB line, opened and typed into:
//
//   bench_textbox --benchmark_filter='Long' --benchmark_repetitions=3

#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTextDocument>
#include <QPlainTextEdit>

#include <cstdlib>
#include <utility>
#include <map>
#include <string>
#include <memory>

#include "sampletext.h"

using namespace zimo;

namespace {

const QString &document(int megabytes)
{
    return bench::japaneseLines(megabytes);
}

enum Ends { CrLfEnds, LfEnds, MixedEnds };

// The document of `megabytes` with lines ended as `ends` says (only the last one made is kept).
const QString &documentWithEnds(int megabytes, int ends)
{
    static QString text;
    static int made = -1;
    const int key = megabytes * 4 + ends;
    if (made == key)
        return text;
    text.clear();
    text.squeeze();
    const QString &crlf = document(megabytes);
    if (ends == CrLfEnds) {
        text = crlf;
    } else {
        text.reserve(crlf.size());
        qsizetype line = 0;
        for (qsizetype from = 0; from < crlf.size();) {
            const qsizetype end = crlf.indexOf(u'\r', from);
            text += QStringView(crlf).mid(from, end - from);
            const int kind = ends == LfEnds ? 1 : int(line++ % 3);
            text += kind == 0 ? u"\r\n" : kind == 1 ? u"\n" : u"\r";
            from = end + 2;
        }
    }
    made = key;
    return text;
}

enum Shape { LinesOf100, OneLine };

// Minified HTML of about `megabytes` MiB (ASCII markup with Japanese text between the tags), as
// one line or cut into lines of 100 characters (CR LF between them, none after the last, so that
// the last line is not empty). Only the last one made is kept.
const QString &minified(int megabytes, int shape)
{
    static QString text;
    static int made = -1;
    const int key = megabytes * 2 + shape;
    if (made == key)
        return text;
    const QString item = QStringLiteral(
        "<li class=\"item\"><a href=\"/p/%1.html\">項目%1の説明</a><span>2026-12-08</span></li>");
    QString line;
    const qsizetype size = qsizetype(megabytes) * 1024 * 1024;
    line.reserve(size + 100);
    for (int i = 0; line.size() < size; ++i)
        line += item.arg(i);
    line.truncate(size);
    text.clear();
    text.squeeze();
    if (shape == OneLine) {
        text = std::move(line);
    } else {
        text.reserve(size + size / 50);
        for (qsizetype from = 0; from < line.size(); from += 100) {
            if (from > 0)
                text += u"\r\n";
            text += QStringView(line).mid(from, 100);
        }
    }
    made = key;
    return text;
}

// The main window's text area, shown as the program shows it.
struct Area
{
    Area()
    {
        area.resize(800, 600);
        area.show();
        QApplication::processEvents();
    }
    TextArea area;
    PlainTextBox box{&area};
};

Area &sharedArea()
{
    // Never destroyed: a widget must not outlive QApplication, and this one would (a static is
    // destroyed after main() returns).
    static Area *a = new Area;
    return *a;
}

void setText(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    Area &a = sharedArea();
    for (auto _ : state)
        a.box.setText(text);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0) * 1024 * 1024);
}

void baselineSetPlainText(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    Area &a = sharedArea();
    for (auto _ : state)
        a.area.setPlainText(text);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0) * 1024 * 1024);
}

void text(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    Area &a = sharedArea();
    a.box.setText(text);
    for (auto _ : state) {
        const QString read = a.box.text();
        benchmark::DoNotOptimize(read.constData());
        if (read.size() != text.size())
            state.SkipWithError("text() changed the length");
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0) * 1024 * 1024);
}

void baselineToPlainText(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    Area &a = sharedArea();
    a.box.setText(text);
    for (auto _ : state) {
        const QString read = a.area.toPlainText();
        benchmark::DoNotOptimize(read.constData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0) * 1024 * 1024);
}

// The search dialog's and the CENTER command's use: put the selection near the end of a 10 MB
// text, read it back, replace it.
void selectionNearEnd(benchmark::State &state)
{
    const QString &text = document(10);
    Area &a = sharedArea();
    a.box.setText(text);
    const qsizetype start = text.size() - 1000;
    for (auto _ : state) {
        a.box.setSelStart(start);
        a.box.setSelLength(52);
        benchmark::DoNotOptimize(a.box.selStart());
        benchmark::DoNotOptimize(a.box.selLength());
        benchmark::DoNotOptimize(a.box.selText().size());
    }
}

void setSelTextNearEnd(benchmark::State &state)
{
    const QString &text = document(10);
    Area &a = sharedArea();
    a.box.setText(text);
    const qsizetype start = text.size() - 1000;
    const QString wrapped =
        QStringLiteral("<CENTER>\r\n") + text.mid(start, 52) + QStringLiteral("</CENTER>\r\n");
    for (auto _ : state) {
        a.box.setSelStart(start);
        a.box.setSelLength(52);
        a.box.setSelText(wrapped);
        benchmark::DoNotOptimize(a.box.selStart());
    }
}

// The same positions with the widget's own cursor: the floor for any position mapping.
void baselineCursorNearEnd(benchmark::State &state)
{
    const QString &text = document(10);
    Area &a = sharedArea();
    a.box.setText(text);
    const int start = a.box.widgetPosition(text.size() - 1000);
    for (auto _ : state) {
        QTextCursor cursor = a.area.textCursor();
        cursor.setPosition(start);
        cursor.setPosition(start + 50, QTextCursor::KeepAnchor);
        a.area.setTextCursor(cursor);
        benchmark::DoNotOptimize(a.area.textCursor().selectedText().size());
    }
}

// Opening: the text put into the shown text area, laid out and painted.
void open(benchmark::State &state)
{
    const QString &text = documentWithEnds(int(state.range(0)), int(state.range(1)));
    Area &a = sharedArea();
    for (auto _ : state) {
        a.box.setText(text);
        QApplication::processEvents();
    }
    state.SetLabel(state.range(1) == CrLfEnds ? "CR LF" : state.range(1) == LfEnds ? "LF" : "mixed");
}

// One key typed at the start, the middle or the end of the text, and painted.
void keystroke(benchmark::State &state)
{
    static int loaded = -1;
    const int key = int(state.range(0) * 4 + state.range(1));
    const QString &text = documentWithEnds(int(state.range(0)), int(state.range(1)));
    Area &a = sharedArea();
    if (loaded != key) {
        a.box.setText(text);
        loaded = key;
    }
    const qsizetype where = state.range(2) == 0 ? 0 : state.range(2) == 1 ? text.size() / 2 : text.size();
    a.box.setSelStart(where);
    a.area.ensureCursorVisible();
    QApplication::processEvents();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(&a.area, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(&a.area, &release);
        QApplication::processEvents();
    }
    // The keys typed are taken out again for the next position (after the loop: not timed).
    a.area.document()->undo();
    state.SetLabel((state.range(1) == CrLfEnds ? std::string("CR LF") : state.range(1) == LfEnds ? "LF" : "mixed") +
                   (state.range(2) == 0 ? " start" : state.range(2) == 1 ? " middle" : " end"));
}

// A long line (or the same characters in lines of 100) put into the shown text area, laid out
// and painted.
void openLong(benchmark::State &state)
{
    const QString &text = minified(int(state.range(0)), int(state.range(1)));
    Area &a = sharedArea();
    for (auto _ : state) {
        a.box.setText(text);
        QApplication::processEvents();
    }
    if (a.box.text() != text)
        state.SkipWithError("the text changed");
    state.SetLabel(state.range(1) == OneLine ? "one line" : "lines of 100");
}

// One key typed at the start, the middle or the end of a long line (or of the same characters
// in lines of 100), and painted; then Backspace, so that the line keeps its length.
void keystrokeLong(benchmark::State &state)
{
    static int loaded = -1;
    const int key = int(state.range(0) * 2 + state.range(1));
    const QString &text = minified(int(state.range(0)), int(state.range(1)));
    Area &a = sharedArea();
    if (loaded != key) {
        a.box.setText(text);
        loaded = key;
    }
    const qsizetype where = state.range(2) == 0 ? 0 : state.range(2) == 1 ? text.size() / 2 : text.size();
    a.box.setSelStart(where);
    a.area.ensureCursorVisible();
    QApplication::processEvents();
    for (auto _ : state) {
        for (const auto &[k, t] : {std::pair{Qt::Key_X, QStringLiteral("x")},
                                   std::pair{Qt::Key_Backspace, QString()}}) {
            QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier, t);
            QApplication::sendEvent(&a.area, &press);
            QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier, t);
            QApplication::sendEvent(&a.area, &release);
            QApplication::processEvents();
        }
    }
    if (a.box.text().size() != text.size())
        state.SkipWithError("the text changed");
    state.SetLabel((state.range(1) == OneLine ? std::string("one line") : "lines of 100") +
                   (state.range(2) == 0 ? " start" : state.range(2) == 1 ? " middle" : " end"));
}

void openArgs(benchmark::internal::Benchmark *b)
{
    for (int mib : {1, 10, 50})
        for (int ends : {CrLfEnds, LfEnds, MixedEnds})
            b->Args({mib, ends});
}

void keystrokeArgs(benchmark::internal::Benchmark *b)
{
    for (int mib : {1, 10, 50})
        for (int ends : {CrLfEnds, LfEnds, MixedEnds})
            for (int where : {0, 1, 2})
                b->Args({mib, ends, where});
}

} // namespace

BENCHMARK(open)->Apply(openArgs)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(keystroke)->Apply(keystrokeArgs)->Unit(benchmark::kMicrosecond)->Iterations(50);
BENCHMARK(openLong)
    ->Args({1, LinesOf100})
    ->Args({1, OneLine})
    ->Args({20, LinesOf100})
    ->Args({20, OneLine})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->MeasureProcessCPUTime();
BENCHMARK(keystrokeLong)
    ->ArgsProduct({{1, 20}, {LinesOf100, OneLine}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(25)
    ->MeasureProcessCPUTime();
BENCHMARK(setText)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(baselineSetPlainText)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(text)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(baselineToPlainText)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(selectionNearEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(setSelTextNearEnd)->Unit(benchmark::kMicrosecond);
BENCHMARK(baselineCursorNearEnd)->Unit(benchmark::kMicrosecond);

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
