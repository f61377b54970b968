// The text box adapter on large documents, against the plain widget calls on the same text in the
// same run (the floor: QPlainTextEdit's own setPlainText/toPlainText, which would change the text).
//
//   bench_textbox --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// A document of N MB is N MiB of code page 932 bytes: lines of 25 Japanese characters and CR LF
// (52 bytes a line), so 10 MB are about 200,000 lines and 5.4 million UTF-16 characters.

#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>

#include <cstdlib>
#include <map>
#include <memory>

using namespace zimo;

namespace {

const QString &document(int megabytes)
{
    static std::map<int, QString> made;
    QString &text = made[megabytes];
    if (!text.isEmpty())
        return text;
    const QString pool = QStringLiteral(
        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗いじめじめ"
        "した所でニャーニャー泣いていた事だけは記憶している。ホームページの文字コードを確かめる");
    const qsizetype lines = qsizetype(megabytes) * 1024 * 1024 / 52;
    text.reserve(lines * 27);
    for (qsizetype i = 0; i < lines; ++i) {
        const qsizetype from = (i * 7) % (pool.size() - 25);
        text += QStringView(pool).mid(from, 25);
        text += u"\r\n";
    }
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
    static Area a;
    return a;
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

} // namespace

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
