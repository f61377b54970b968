// Typing into a large document while drafts are kept: the main thread's CPU time per keystroke
// through the real main window against the same keystrokes with drafts off, and the main thread's
// part of one draft against reading the whole text there, in the same run.
//
//   bench_drafts --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// A document of N MB is N MiB of code page 932 bytes: lines of 25 Japanese characters and CR LF
// (52 bytes a line), as in bench_textbox. Keys come 200 ms apart on the keeper's clock (a fast
// typist), the timer looks after every key, so during this endless typing a draft is written
// every five seconds: every 25th key. Per key and its timer look, on the main thread: the median,
// the 99th percentile and the most CPU time ("median_ms", "p99_ms", "max_ms"); "writes": drafts
// handed to the worker. ZIMO_BENCH_SLOW_KEYS=1 lists the keys over 5 ms.

#include "app/form1.h"
#include "document/draft.h"
#include "platform/qt/textarea.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include "platform/files.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <vector>

#include "sampletext.h"

using namespace zimo;

namespace {

const QString &document(int megabytes)
{
    return bench::japaneseLines(megabytes);
}

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The main window with a large document, the caret in its middle.
struct Window
{
    explicit Window(int megabytes, bool drafts)
    {
        // A draft of the window before would bring the start-up question.
        QDir(defaultDraftFolder()).removeRecursively();
        if (drafts)
            form.Form_Load({});
        form.show();
        QApplication::processEvents();
        form.draftKeeper().setClock([this] { return now; });
        const QString &text = document(megabytes);
        form.services().Text1.setText(text);
        form.services().Text1.setSelStart(text.size() / 2);
        // The first keys after loading lay the text out again: the widget's own start, not
        // typing. They and the first draft of the loaded text are out of the way.
        for (int i = 0; i < 20; ++i)
            key('a');
        QApplication::processEvents();
        now += 10000;
        form.draftKeeper().poll();
        form.draftKeeper().waitForWriting();
    }
    void key(char c)
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QString(QLatin1Char(c)));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QString(QLatin1Char(c)));
        QCoreApplication::sendEvent(form.textArea(), &press);
        QCoreApplication::sendEvent(form.textArea(), &release);
    }
    Form1 form;
    qint64 now = 0;
};

enum class Mode { off, drafts };

void typing(benchmark::State &state, Mode mode)
{
    Window w(int(state.range(0)), mode == Mode::drafts);
    DraftKeeper &keeper = w.form.draftKeeper();
    std::vector<double> perKey;
    perKey.reserve(size_t(state.max_iterations));
    int writes = 0;
    int keys = 0;
    for (auto _ : state) {
        const double start = threadCpuMs();
        w.key('a');
        ++keys;
        w.now += 200;
        if (mode == Mode::drafts) {
            // The timer's look; the worker's reports arrive through the event queue.
            QCoreApplication::sendPostedEvents(&keeper);
            const bool due = keeper.isPending();
            keeper.poll();
            writes += due && !keeper.isPending();
        }
        perKey.push_back(threadCpuMs() - start);
        // Keys come 200 ms apart in earnest: the worker has long finished a draft (tens of ms)
        // by the next key, which the benchmark's fast keys would not give it.
        state.PauseTiming();
        keeper.waitForWriting();
        state.ResumeTiming();
    }
    keeper.waitForWriting();
    std::vector<double> sorted = perKey;
    std::sort(sorted.begin(), sorted.end());
    state.counters["max_ms"] = sorted.back();
    state.counters["p99_ms"] = sorted[sorted.size() * 99 / 100];
    state.counters["median_ms"] = sorted[sorted.size() / 2];
    if (qEnvironmentVariableIsSet("ZIMO_BENCH_SLOW_KEYS"))
        for (size_t i = 0; i < perKey.size(); ++i)
            if (perKey[i] > 5)
                fprintf(stderr, "key %zu: %.2f ms\n", i, perKey[i]);
    state.counters["writes"] = writes;
}

void typingDraftsOff(benchmark::State &state)
{
    typing(state, Mode::off);
}
void typingWithDrafts(benchmark::State &state)
{
    typing(state, Mode::drafts);
}
// What the keeper adds to every key: marking the draft out of date and the timer's look when
// no draft is due.
void keeperPerKey(benchmark::State &state)
{
    Window w(1, true);
    DraftKeeper &keeper = w.form.draftKeeper();
    for (auto _ : state) {
        keeper.textEdited();
        keeper.poll();
    }
}

// The main thread's part of one draft: the text box's snapshot, the document state, the hand-off
// to the worker (whose work is not timed here: it runs on its own thread).
void draftHandOff(benchmark::State &state)
{
    Window w(int(state.range(0)), true);
    DraftKeeper &keeper = w.form.draftKeeper();
    for (auto _ : state) {
        keeper.documentStateChanged();
        state.PauseTiming();
        keeper.waitForWriting();
        w.key('a');
        state.ResumeTiming();
    }
}

// The baselines: taking the text itself, and deciding "changed" (text and comparison), on the
// main thread.
void baselineText(benchmark::State &state)
{
    Window w(int(state.range(0)), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(w.form.services().Text1.text().size());
}
void baselineChanged(benchmark::State &state)
{
    Window w(int(state.range(0)), false);
    for (auto _ : state)
        benchmark::DoNotOptimize(w.form.documentCommands().changed());
}

// A whole draft, wall clock: snapshot, conversion, comparison, encoding and the atomic write.
void wholeDraft(benchmark::State &state)
{
    Window w(int(state.range(0)), true);
    DraftKeeper &keeper = w.form.draftKeeper();
    for (auto _ : state) {
        w.key('a');
        keeper.documentStateChanged();
        keeper.waitForWriting();
    }
}

double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double wallMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The draft after one key, as the keeper writes it now: a record of the key appended to the
// journal over the text, whose base was written before. "main_ms": the timer's look that hands
// the draft over (wall clock, main thread); "cpu_ms": the CPU of all threads from that look until
// the worker has reported (the whole draft's cost); "bytes": what the draft file grew by.
void draftAfterOneKey(benchmark::State &state)
{
    Window w(int(state.range(0)), true);
    DraftKeeper &keeper = w.form.draftKeeper();
    std::vector<double> mainMs, cpuMs;
    const QString path = keeper.path();
    double grown = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.key('a');
        w.now += 2000;
        const qint64 before = QFileInfo(path).size();
        state.ResumeTiming();
        const double cpu = processCpuMs();
        const double wall = wallMs();
        keeper.poll();
        mainMs.push_back(wallMs() - wall);
        keeper.waitForWriting();
        cpuMs.push_back(processCpuMs() - cpu);
        grown = double(QFileInfo(path).size() - before);
    }
    std::sort(mainMs.begin(), mainMs.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    state.counters["main_ms"] = mainMs[mainMs.size() / 2];
    state.counters["main_max_ms"] = mainMs.back();
    state.counters["cpu_ms"] = cpuMs[cpuMs.size() / 2];
    state.counters["bytes"] = grown;
}

// The same key's draft as the whole text, as drafts were written before the journal, measured
// the same way: the snapshot on the main thread, then (on the worker) the conversion, the
// comparison with file_text, the encoding and the atomic write of the whole draft.
void wholeTextDraftAfterOneKey(benchmark::State &state)
{
    Window w(int(state.range(0)), true);
    const QString folder = defaultDraftFolder();
    const QString path = folder + QStringLiteral("/whole-draft");
    QDir().mkpath(folder);
    std::vector<double> mainMs, cpuMs;
    QThreadPool worker;
    worker.setMaxThreadCount(1);
    for (auto _ : state) {
        state.PauseTiming();
        w.key('a');
        state.ResumeTiming();
        const double cpu = processCpuMs();
        const double wall = wallMs();
        std::function<QString()> snapshot = w.form.services().Text1.textSnapshot();
        const QString fileText = w.form.documentCommands().file_text();
        mainMs.push_back(wallMs() - wall);
        worker.start([&snapshot, fileText, path] {
            Draft draft;
            draft.text = snapshot();
            if (draft.text != fileText)
                writeFileAtomically(path, encodeDraft(draft), nullptr, PrivateFile);
        });
        worker.waitForDone(-1);
        snapshot = {};
        cpuMs.push_back(processCpuMs() - cpu);
    }
    std::sort(mainMs.begin(), mainMs.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    state.counters["main_ms"] = mainMs[mainMs.size() / 2];
    state.counters["main_max_ms"] = mainMs.back();
    state.counters["cpu_ms"] = cpuMs[cpuMs.size() / 2];
    state.counters["bytes"] = double(QFileInfo(path).size());
}

// The draft after a command that put the whole text in (Open, New): the keeper's look at the
// document state on the main thread ("main_ms"), and all threads' CPU until the worker has
// compared the text and written the base ("cpu_ms").
void draftAfterSetText(benchmark::State &state)
{
    Window w(int(state.range(0)), true);
    DraftKeeper &keeper = w.form.draftKeeper();
    const QString &text = document(int(state.range(0)));
    std::vector<double> mainMs, cpuMs;
    for (auto _ : state) {
        state.PauseTiming();
        w.form.services().Text1.setText(text);
        state.ResumeTiming();
        const double cpu = processCpuMs();
        const double wall = wallMs();
        keeper.documentStateChanged();
        mainMs.push_back(wallMs() - wall);
        keeper.waitForWriting();
        cpuMs.push_back(processCpuMs() - cpu);
    }
    std::sort(mainMs.begin(), mainMs.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    state.counters["main_ms"] = mainMs[mainMs.size() / 2];
    state.counters["cpu_ms"] = cpuMs[cpuMs.size() / 2];
}

} // namespace

BENCHMARK(draftAfterSetText)->Arg(5)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(draftAfterOneKey)->Arg(5)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(wholeTextDraftAfterOneKey)->Arg(5)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(typingDraftsOff)->Arg(10)->Unit(benchmark::kMicrosecond)->Iterations(500);
BENCHMARK(typingWithDrafts)->Arg(10)->Unit(benchmark::kMicrosecond)->Iterations(500);
BENCHMARK(keeperPerKey)->Unit(benchmark::kNanosecond);
BENCHMARK(draftHandOff)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(baselineText)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(baselineChanged)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(wholeDraft)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    // Widgets need a platform; without a display the offscreen one does. Drafts go to a folder
    // of the run's own.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
