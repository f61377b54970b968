// Replace all on a 10 MiB page, against QString::replace on the same text in the same run (the
// floor: it neither keeps line breaks whole nor expands $1 the program's way), and the cost of a
// keystroke with the line-number gutter on and off.
//
//   bench_replace --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
//
// The page: 100,000 lines of 105 characters (10.5 million UTF-16 characters, 10 Mi and a little
// more), each "<P><FONT SIZE=2>", Japanese prose, "</FONT></P>" and CR LF, so that the literal
// "<FONT SIZE=2>" and the expression "<FONT SIZE=(\d)>" match 100,000 times.

#include "app/form1.h"
#include "platform/qt/textarea.h"
#include "search/replacecommands.h"
#include "search/replacerule.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTextDocument>

#include "sampletext.h"

using namespace zimo;

namespace {

constexpr qsizetype pageLines = 100'000;
const QString literalFind = QStringLiteral("<FONT SIZE=2>");
const QString literalReplacement = QStringLiteral("<SMALL>");
const QString regexFind = QStringLiteral("<FONT SIZE=(\\d)>");
const QString regexReplacement = QStringLiteral("<SMALL class=s$1>");

const QString &page()
{
    static QString text;
    if (!text.isEmpty())
        return text;
    const QString &prose = bench::japaneseLines(1);
    const QString head = QStringLiteral("<P><FONT SIZE=2>");
    const QString tail = QStringLiteral("</FONT></P>\r\n");
    const qsizetype proseLength = 105 - head.size() - tail.size();
    text.reserve(pageLines * 105);
    qsizetype from = 0;
    for (qsizetype i = 0; i < pageLines; ++i) {
        text += head;
        // 25 characters of prose and its CR LF, again and again, without the line ends.
        for (qsizetype n = 0; n < proseLength;) {
            if (from + 27 > prose.size())
                from = 0;
            const qsizetype take = std::min<qsizetype>(25, proseLength - n);
            text += QStringView(prose).mid(from, take);
            from += 27;
            n += take;
        }
        text += tail;
    }
    return text;
}

void check(benchmark::State &state, bool ok)
{
    if (!ok)
        state.SkipWithError("wrong result");
}

void replaceAllLiteral(benchmark::State &state)
{
    const QString &text = page();
    const ReplaceRule rule(literalFind, literalReplacement, {true, false});
    qsizetype count = 0;
    for (auto _ : state) {
        const ReplaceRule::AllReplaced all = rule.replaceAll(text);
        count = all.count;
        benchmark::DoNotOptimize(all.text.constData());
    }
    check(state, count == pageLines);
    state.counters["matches"] = double(count);
}

void baselineQStringReplaceLiteral(benchmark::State &state)
{
    const QString &text = page();
    qsizetype size = 0;
    for (auto _ : state) {
        QString copy = text;
        copy.replace(literalFind, literalReplacement);
        size = copy.size();
        benchmark::DoNotOptimize(copy.constData());
    }
    check(state, size == text.size() - pageLines * (literalFind.size() - literalReplacement.size()));
}

void replaceAllRegex(benchmark::State &state)
{
    const QString &text = page();
    const ReplaceRule rule(regexFind, regexReplacement, {true, true});
    qsizetype count = 0;
    for (auto _ : state) {
        const ReplaceRule::AllReplaced all = rule.replaceAll(text);
        count = all.count;
        benchmark::DoNotOptimize(all.text.constData());
    }
    check(state, count == pageLines);
    state.counters["matches"] = double(count);
}

void baselineQStringReplaceRegex(benchmark::State &state)
{
    const QString &text = page();
    const QRegularExpression re(regexFind);
    re.optimize();
    qsizetype size = 0;
    for (auto _ : state) {
        QString copy = text;
        copy.replace(re, QStringLiteral("<SMALL class=s\\1>"));
        size = copy.size();
        benchmark::DoNotOptimize(copy.constData());
    }
    check(state, size == text.size() + pageLines * 3);
}

Form1 &window()
{
    static Form1 *form = [] {
        auto *f = new Form1;
        f->show();
        QApplication::processEvents();
        return f;
    }();
    return *form;
}

// "すべて置換" as the program runs it: the text read from the text area, replaced, the snapshot
// for "I'll be back", and the whole text replaced in the text area as one undoable edit.
void replaceAllCommand(benchmark::State &state)
{
    Form1 &form = window();
    TextBox &box = form.services().Text1;
    ReplaceCommands commands(form.services(), form.undoStore());
    const bool regex = state.range(0) == 1;
    const ReplaceCommands::Request request{regex ? regexFind : literalFind,
                                           regex ? regexReplacement : literalReplacement,
                                           {true, regex}};
    QString message;
    for (auto _ : state) {
        state.PauseTiming();
        box.setText(page());
        QApplication::processEvents();
        state.ResumeTiming();
        message = commands.replaceAll(request);
        QApplication::processEvents();
    }
    check(state, message == ReplaceCommands::replacedMessage(pageLines));
    state.SetLabel(regex ? "regular expression" : "literal");
}

// One key typed at the end of the page and painted, with the gutter off (0) or on (1).
void keystroke(benchmark::State &state)
{
    Form1 &form = window();
    TextArea *area = form.textArea();
    static bool loaded = false;
    if (!loaded) {
        form.services().Text1.setText(page());
        loaded = true;
    }
    area->setLineNumbersVisible(state.range(0) == 1);
    QTextCursor cursor = area->textCursor();
    cursor.movePosition(QTextCursor::End);
    area->setTextCursor(cursor);
    area->setFocus();
    area->ensureCursorVisible();
    QApplication::processEvents();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(area, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(area, &release);
        // The text area and the gutter painted as the screen would show them.
        area->viewport()->repaint();
        QApplication::processEvents();
    }
    area->document()->undo();
    state.SetLabel(state.range(0) == 1 ? "line numbers on" : "line numbers off");
}

} // namespace

BENCHMARK(replaceAllLiteral)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(baselineQStringReplaceLiteral)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(replaceAllRegex)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(baselineQStringReplaceRegex)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(replaceAllCommand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(keystroke)->Arg(0)->Arg(1)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(200);

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
