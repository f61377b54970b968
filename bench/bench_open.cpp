// Opening a big page in the real main window (offscreen): time to the first screen, the whole open,
// the longest time the main thread is held, and peak memory against the memory after the open,
// for the open over time and for the open at once as it was done before (read, stamp, decode,
// kept lines, setText, file_text read back from the widget), measured in the same run.
//
//   build/bench/bench_open [MIB ...]    (default 5 10 50)
//   build/bench/bench_open --cancel PAGE    (the hold of Esc when nine tenths of PAGE are in)
//
// Each measurement runs in a process of its own (the program runs itself with --one), so that
// the peak memory is that open's alone; five runs each, taking turns, the medians printed.
#include "app/form1.h"
#include "document/draft.h"
#include "document/cp932.h"
#include "document/documentfile.h"
#include "document/encoding.h"
#include "document/keptlines.h"
#include "platform/files.h"
#include "platform/qt/pageloader.h"
#include "platform/qt/textarea.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <random>

using namespace zimo;

namespace {

// Lines of markup and words mixed with kanji and kana, CR LF, code page 932, about `mib` MiB.
QByteArray makePage(int mib)
{
    static const char *const words[] = {
        "<P>", "</P>", "<BR>", "<A HREF=\"index.html\">", "</A>", "ZIMO", "page", "2024", "text",
        "日本語", "テキスト", "ファイル", "編集", "保存します", "文字コード", "の", "を", "、",
        "。", "漢字と仮名", "ﾃｷｽﾄ", "①", "～", "吾輩は猫である。", "名前はまだ無い。"};
    std::mt19937 random(932);
    const qsizetype target = qsizetype(mib) << 20;
    QByteArray out;
    out.reserve(target + 256);
    while (out.size() < target) {
        QString line;
        const int count = 4 + int(random() % 11);
        for (int i = 0; i < count; ++i)
            line += QString::fromUtf8(words[random() % std::size(words)]);
        line += QStringLiteral("\r\n");
        out += cp932::encode(line).bytes;
    }
    return out;
}

qint64 statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Resets the peak of the resident memory to what is resident now.
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}


struct Figures
{
    double firstScreenMs = 0;
    double totalMs = 0;
    double stallMs = 0;
    double peakMiB = 0;
    double afterMiB = 0;
};

// One open in this process; prints the figures on one line.
int runOne(const QString &path, bool overTime)
{
    // No draft of an earlier run asks its question.
    QDir(defaultDraftFolder()).removeRecursively();
    Form1 form;
    if (!overTime) {
        // The open as it was before: everything in one go on the main thread, file_text read
        // back from the widget.
        form.documentCommands().setTextLoader(nullptr, 0);
        form.documentCommands().setBaselineFromTextBox(true);
    }
    if (qEnvironmentVariableIsSet("BENCH_OPEN_SLICE"))
        form.pageLoader()->setSliceSize(qEnvironmentVariableIntValue("BENCH_OPEN_SLICE"));
    if (qEnvironmentVariableIsSet("BENCH_OPEN_BUDGET"))
        form.pageLoader()->setStepBudget(qEnvironmentVariableIntValue("BENCH_OPEN_BUDGET"));
    // BENCH_OPEN_NO_DRAFT: without the start-up steps, so no draft keeper follows the open
    // (what the open itself holds, apart from the draft written after it).
    if (!qEnvironmentVariableIsSet("BENCH_OPEN_NO_DRAFT"))
        form.Form_Load({});
    form.show();
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    QElapsedTimer clock;
    Figures f;
    // The first paint of the text area that shows the page.
    bool shown = false;
    struct PaintWatch : QObject
    {
        std::function<void()> onPaint;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint && onPaint)
                onPaint();
            return false;
        }
    } watch;
    watch.onPaint = [&] {
        if (!shown && form.textArea()->document()->blockCount() > 1) {
            shown = true;
            f.firstScreenMs = clock.nsecsElapsed() / 1e6;
        }
    };
    form.textArea()->viewport()->installEventFilter(&watch);
    // The main thread's stalls: the gaps between the turns of a zero timer.
    qint64 lastTick = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - lastTick);
        lastTick = now;
    });

    resetPeak();
    clock.start();
    ticker.start();
    bool done = false;
    QTimer::singleShot(0, [&] {
        lastTick = clock.nsecsElapsed();
        form.documentCommands().openDocument(path, true);
    });
    // Until the open is complete and the first screen painted.
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!form.documentCommands().isLoading() &&
            !form.services().CommonDialog1.fileName.isEmpty()) {
            if (f.totalMs == 0)
                f.totalMs = clock.nsecsElapsed() / 1e6;
            done = shown;
        }
        if (clock.elapsed() > 120000)
            break;
    }
    ticker.stop();
    f.stallMs = longest / 1e6;
    // The memory after the open, once the work following it (the draft, the colours) is done;
    // the peak is that of the open and of this work.
    wait.restart();
    while (wait.elapsed() < 1500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    f.afterMiB = statusKiB("VmRSS:") / 1024.0;
    f.peakMiB = statusKiB("VmHWM:") / 1024.0;
    std::printf("%.1f %.1f %.1f %.1f %.1f\n", f.firstScreenMs, f.totalMs, f.stallMs, f.peakMiB,
                f.afterMiB);
    std::fflush(stdout);
    form.documentCommands().cancelLoad();
    std::_Exit(0);
}

// Cancels an open over time of the page when nine tenths are in (the earlier document is an
// empty one); prints how long the cancel held the main thread.
int runCancel(const QString &path)
{
    QDir(defaultDraftFolder()).removeRecursively();
    Form1 form;
    form.Form_Load({});
    form.show();
    form.documentCommands().openDocument(path, true);
    QElapsedTimer wait;
    wait.start();
    PageLoader *loader = form.pageLoader();
    while (!(loader->total() > 0 && loader->loaded() * 10 >= loader->total() * 9) &&
           wait.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const qlonglong loaded = loader->loaded();
    const qlonglong total = loader->total();
    QElapsedTimer clock;
    clock.start();
    form.documentCommands().cancelLoad();
    std::printf("cancel at %lld of %lld characters: %.1f ms\n", loaded, total,
                clock.nsecsElapsed() / 1e6);
    std::fflush(stdout);
    std::_Exit(0);
}

Figures median(QList<Figures> runs)
{
    auto mid = [&](double Figures::*field) {
        QList<double> v;
        for (const Figures &r : runs)
            v.append(r.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {mid(&Figures::firstScreenMs), mid(&Figures::totalMs), mid(&Figures::stallMs),
            mid(&Figures::peakMiB), mid(&Figures::afterMiB)};
}

constexpr int runs_per_size = 5;

std::optional<Figures> measure(const QString &program, const QString &path, bool overTime)
{
    QProcess p;
    p.start(program, {QStringLiteral("--one"), path, overTime ? QStringLiteral("new") : QStringLiteral("old")});
    if (!p.waitForFinished(180000))
        return std::nullopt;
    const QList<QByteArray> v = p.readAllStandardOutput().trimmed().split(' ');
    if (v.size() != 5) {
        std::fprintf(stderr, "%s", p.readAllStandardError().constData());
        return std::nullopt;
    }
    return Figures{v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble(),
                   v[4].toDouble()};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && qstrcmp(argv[1], "--cancel") == 0) {
        QApplication app(argc, argv);
        return runCancel(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 4 && qstrcmp(argv[1], "--one") == 0) {
        QApplication app(argc, argv);
        return runOne(QString::fromLocal8Bit(argv[2]), qstrcmp(argv[3], "new") == 0);
    }
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QByteArray(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {5, 10, 50};
    QTemporaryDir dir;
    // Drafts, settings and the lock of the measured runs stay in the temporary folder.
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path() + QStringLiteral("/state")));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    const QString program = QCoreApplication::applicationFilePath();
    std::printf("%-6s %-9s %14s %12s %12s %10s %10s %6s\n", "MiB", "open", "first screen",
                "total", "longest hold", "peak", "after", "peak/after");
    for (const int mib : sizes) {
        const QString path = dir.filePath(QStringLiteral("page%1.html").arg(mib));
        {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(makePage(mib)) < 0)
                return 1;
        }
        // The two opens take turns, so that a change in the machine's load hits both alike.
        QList<Figures> runs[2];
        for (int r = 0; r < runs_per_size; ++r)
            for (const bool overTime : {false, true})
                if (const auto one = measure(program, path, overTime))
                    runs[overTime].append(*one);
        for (const bool overTime : {false, true}) {
            if (runs[overTime].isEmpty()) {
                std::printf("%-6d %-9s failed\n", mib, overTime ? "over time" : "before");
                continue;
            }
            const Figures m = median(runs[overTime]);
            std::printf("%-6d %-9s %11.0f ms %9.0f ms %9.0f ms %6.0f MiB %6.0f MiB %6.2f\n", mib,
                        overTime ? "over time" : "before", m.firstScreenMs, m.totalMs, m.stallMs,
                        m.peakMiB, m.afterMiB, m.peakMiB / m.afterMiB);
            std::fflush(stdout);
        }
        QFile::remove(path);
    }
    return 0;
}
