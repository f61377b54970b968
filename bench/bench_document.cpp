// Opening and overwriting large documents through the File menu's own procedures, with the text
// shown in the real text area, against reading the same file as `cat` does (the floor).
//
//   bench_document --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Before the timings it prints the memory the program holds with the 50 MB document open:
// the growth of the peak (VmHWM) and of the resident size (VmRSS) over the state before opening,
// as multiples of the file's size and of the text's size in memory (UTF-16).
//
// Benchmarks (argument: file size in MiB):
//   ReadFloor       read the file into a 64 KiB buffer and drop it, as cat > /dev/null
//   Open            read_text: read, decode, show in the text area, take file_text back from it
//   Open parts      Decode (bytes -> text), SetText (text -> text area, first layout),
//                   TextBack (text area -> text)
//   WidgetFloor     a bare QPlainTextEdit given the same text already in its own form
//
// With --memory=widget it only reports the memory a bare QPlainTextEdit holding the same text
// takes (run it as its own process: the peak is per process).
//   Overwrite       over_text: text from the text area, encode, write through temp file + rename
//   WriteFloor      write the same bytes to a file with plain write(2) calls
//   Stamp           the part of Open and Overwrite that records the file for the drafts
//                   (a BLAKE2b hash of the bytes, one stat)
// Keeping the bytes of lines (arguments: size in MiB, 1 for the page with duplicate cells):
//   OpenOverwritePlain   read_text then over_text done step by step without kept lines (baseline)
//   OpenOverwrite        read_text then over_text, the program's own
//   Remember, FindKept   the kept lines' own parts: after reading, before writing
//   EncodeKept           encodeDocument with the kept lines' bytes put in (0: none to put in)

#include "document/cp932.h"
#include "document/documentcommands.h"
#include "document/documentfile.h"
#include "document/keptlines.h"
#include "platform/files.h"
#include "platform/qt/qttextbox.h"
#include "platform/qt/textarea.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <unistd.h>

using namespace zimo;

namespace {

QTemporaryDir *folder;

// An HTML-like document of `mib` MiB in code page 932: markup and words mixed with kanji and kana.
// With `duplicates`, every 16th line also ends in two duplicate cells (8790 ≒ and ED40 纊, which
// the codec writes as 81E0 and FA5C), as a page from an old NEC machine or an EUC-JP page read as
// code page 932 has them.
QString documentPath(int mib, bool duplicates = false)
{
    static std::map<std::pair<int, bool>, QString> made;
    if (auto it = made.find({mib, duplicates}); it != made.end())
        return it->second;
    static const char16_t *const words[] = {
        u"<P>", u"</P>", u"<BR>", u"<A HREF=\"index.html\">", u"</A>", u"ZIMO", u"page",
        u"2024", u"text", u"日本語", u"テキスト", u"ファイル", u"編集", u"保存します",
        u"文字コード", u"の", u"を", u"、", u"。", u"漢字と仮名", u"ﾃｷｽﾄ", u"①", u"～"};
    QRandomGenerator random(932);
    const qint64 target = qint64(mib) << 20;
    const QString path =
        folder->filePath(QStringLiteral("doc%1%2.html").arg(mib).arg(duplicates ? "dup" : ""));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QString line;
    QByteArray bytes;
    qint64 written = 0;
    qint64 lines = 0;
    while (written < target) {
        bytes.clear();
        while (bytes.size() < 32768) {
            line.clear();
            const int count = 6 + random.bounded(10);
            for (int i = 0; i < count; ++i) {
                line += QString::fromUtf16(words[random.bounded(int(std::size(words)))]);
                line += u' ';
            }
            bytes += cp932::encode(line).bytes;
            if (duplicates && lines++ % 16 == 0)
                bytes += "\x87\x90\xed\x40";
            bytes += "\r\n";
        }
        written += file.write(bytes.left(target - written));
    }
    file.close();
    made[{mib, duplicates}] = path;
    return path;
}

void setBytes(benchmark::State &state, int mib)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * (int64_t(mib) << 20));
}

// Stand-ins for the services that opening and overwriting do not show: the open dialog answers
// with the next path, any message box is counted (none is expected).
struct Boxes : MessageBox
{
    int shown = 0;
    int show(const QString &, int, const QString &) override { return ++shown, MsgAnswer::Ok; }
};
struct Dialogs : CommonDialog
{
    QString next;
    std::optional<QString> askOpenFileName(const QString &, const QString &) override
    {
        return next;
    }
    std::optional<QString> askSaveFileName(const QString &, const QString &) override
    {
        return std::nullopt;
    }
    std::optional<FontChoice> askFont(const std::optional<FontChoice> &) override
    {
        return std::nullopt;
    }
    bool askPrinter() override { return false; }
};
struct NoPrinter : Printer
{
    bool printText(const QString &, QString *) override { return false; }
};
struct NoShell : Shell
{
    bool openFolder(const QString &) override { return false; }
    std::optional<QString> browseForFolder() override { return std::nullopt; }
    bool showHelp(const QString &, HelpCommand, int) override { return false; }
    bool openInBrowser(const QString &) override { return false; }
};
struct App : AppInfo
{
    QString path() const override { return {}; }
    void end() override {}
    void setBusy(bool) override {}
};
struct Item : MenuItem
{
    bool enabled = false;
    bool isEnabled() const override { return enabled; }
    void setEnabled(bool e) override { enabled = e; }
};

// The main window's document side over a real text area.
struct Window
{
    TextArea area;
    PlainTextBox text{&area};
    Boxes boxes;
    Dialogs dialogs;
    NoPrinter printer;
    NoShell shell;
    App app;
    Item back, overwrite;
    Services s{text, boxes, dialogs, printer, shell, app, back, overwrite};
    DocumentCommands doc{s};

    Window()
    {
        area.resize(800, 600);
        area.show();
        QCoreApplication::processEvents();
    }
    void open(const QString &path)
    {
        dialogs.next = path;
        doc.read_text();
        // Let the text area lay out and paint what it shows.
        QCoreApplication::processEvents();
    }
    void clear()
    {
        text.setText(QString());
        QCoreApplication::processEvents();
    }
};

void BM_ReadFloor(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QByteArray path = QFile::encodeName(documentPath(mib));
    static char buffer[65536];
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_RDONLY);
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            benchmark::DoNotOptimize(buffer);
        ::close(fd);
    }
    setBytes(state, mib);
}

void BM_Open(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QString path = documentPath(mib);
    Window w;
    for (auto _ : state) {
        state.PauseTiming();
        w.clear();
        state.ResumeTiming();
        w.open(path);
    }
    if (w.doc.file_text().isEmpty())
        state.SkipWithError("nothing opened");
    setBytes(state, mib);
}

void BM_Decode(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QByteArray bytes = readWholeFile(documentPath(mib)).value_or(QByteArray());
    for (auto _ : state)
        benchmark::DoNotOptimize(cp932::decode(bytes));
    setBytes(state, mib);
}

void BM_SetText(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QString text = cp932::decode(readWholeFile(documentPath(mib)).value_or(QByteArray()));
    Window w;
    for (auto _ : state) {
        state.PauseTiming();
        w.clear();
        state.ResumeTiming();
        w.text.setText(text);
        QCoreApplication::processEvents();
    }
    setBytes(state, mib);
}

// The widget alone: a plain QPlainTextEdit given the same text in its own form.
void BM_WidgetFloor(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QString text = PlainTextBox::toWidgetText(
        cp932::decode(readWholeFile(documentPath(mib)).value_or(QByteArray()))).text;
    QPlainTextEdit edit;
    edit.resize(800, 600);
    edit.show();
    for (auto _ : state) {
        state.PauseTiming();
        edit.clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        edit.setPlainText(text);
        QCoreApplication::processEvents();
    }
    setBytes(state, mib);
}

void BM_TextBack(benchmark::State &state)
{
    const int mib = int(state.range(0));
    Window w;
    w.open(documentPath(mib));
    for (auto _ : state)
        benchmark::DoNotOptimize(w.text.text());
    setBytes(state, mib);
}

void BM_Overwrite(benchmark::State &state)
{
    const int mib = int(state.range(0));
    Window w;
    w.open(documentPath(mib));
    w.dialogs.fileName = folder->filePath(QStringLiteral("out%1.html").arg(mib));
    for (auto _ : state)
        w.doc.over_text();
    if (w.boxes.shown)
        state.SkipWithError("the write asked or failed");
    setBytes(state, mib);
}

// Open and Overwrite one after the other, as the program does them (range(1): 1 for the page with
// duplicate cells).
void BM_OpenOverwrite(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QString path = documentPath(mib, state.range(1) != 0);
    Window w;
    w.dialogs.fileName.clear();
    for (auto _ : state) {
        state.PauseTiming();
        w.clear();
        state.ResumeTiming();
        w.open(path);
        w.dialogs.fileName = folder->filePath(QStringLiteral("out%1.html").arg(mib));
        w.doc.over_text();
    }
    if (w.boxes.shown)
        state.SkipWithError("the write asked or failed");
    setBytes(state, mib);
}

// The same without keeping any line's bytes: read_text and over_text as they were before lines
// kept their bytes, step by step.
void BM_OpenOverwritePlain(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QString path = documentPath(mib, state.range(1) != 0);
    const QString out = folder->filePath(QStringLiteral("plain%1.html").arg(mib));
    Window w;
    QString fileText;
    for (auto _ : state) {
        state.PauseTiming();
        w.clear();
        fileText.clear();
        state.ResumeTiming();
        {
            std::optional<QByteArray> bytes = readWholeFile(path);
            QString text = cp932::decode(*bytes);
            bytes.reset();
            w.text.setText(text);
            text = QString();
            fileText = w.text.text();
        }
        QCoreApplication::processEvents();
        const QString text = w.text.text();
        const DocumentBytes document = encodeDocument(text);
        if (!writeFileAtomically(out, document.bytes))
            state.SkipWithError("cannot write");
        fileText = text;
    }
    setBytes(state, mib);
}

// What keeping bytes costs on its own: remembering the lines after reading, and finding the kept
// lines in the unchanged text before writing.
void BM_Remember(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QByteArray bytes = readWholeFile(documentPath(mib, state.range(1) != 0)).value_or(QByteArray());
    const QString text = cp932::decode(bytes);
    KeptLines kept;
    for (auto _ : state)
        kept.remember(bytes, text, lineCodec(Encoding::Cp932));
    state.counters["lines"] = double(kept.lineNumbers().size());
    setBytes(state, mib);
}

void BM_FindKept(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QByteArray bytes = readWholeFile(documentPath(mib, state.range(1) != 0)).value_or(QByteArray());
    const QString text = cp932::decode(bytes);
    const QString baseline = QString(text.constData(), text.size()); // a copy, as file_text is
    KeptLines kept;
    kept.remember(bytes, text, lineCodec(Encoding::Cp932));
    for (auto _ : state)
        benchmark::DoNotOptimize(kept.spansFor(text, baseline));
    setBytes(state, mib);
}

// The bytes of the unchanged text: with the kept lines' own bytes put in (range(1) = 1, the page
// with duplicate cells) or by the codec alone (0).
void BM_EncodeKept(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QByteArray bytes = readWholeFile(documentPath(mib, state.range(1) != 0)).value_or(QByteArray());
    const QString text = cp932::decode(bytes);
    KeptLines kept;
    kept.remember(bytes, text, lineCodec(Encoding::Cp932));
    const QList<KeptSpan> spans = kept.spansFor(text, text);
    for (auto _ : state)
        benchmark::DoNotOptimize(encodeDocument(text, {}, spans));
    state.counters["kept"] = double(spans.size());
    setBytes(state, mib);
}

void BM_WriteFloor(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QByteArray bytes = readWholeFile(documentPath(mib)).value_or(QByteArray());
    const QByteArray path = QFile::encodeName(folder->filePath(QStringLiteral("floor%1").arg(mib)));
    for (auto _ : state) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (qsizetype at = 0; at < bytes.size();) {
            const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
            if (n <= 0)
                break;
            at += n;
        }
        ::close(fd);
    }
    setBytes(state, mib);
}

// The stamp Open, Overwrite and Save take of the file (size, time, a hash of the bytes in memory).
void BM_Stamp(benchmark::State &state)
{
    const int mib = int(state.range(0));
    const QString path = documentPath(mib);
    const QByteArray bytes = readWholeFile(path).value_or(QByteArray());
    for (auto _ : state)
        benchmark::DoNotOptimize(stampOf(path, bytes));
    setBytes(state, mib);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_ReadFloor)->Apply(sizes);
BENCHMARK(BM_Open)->Apply(sizes);
BENCHMARK(BM_Decode)->Apply(sizes);
BENCHMARK(BM_SetText)->Apply(sizes);
BENCHMARK(BM_WidgetFloor)->Apply(sizes);
BENCHMARK(BM_TextBack)->Apply(sizes);
BENCHMARK(BM_Overwrite)->Apply(sizes);
BENCHMARK(BM_WriteFloor)->Apply(sizes);
BENCHMARK(BM_Stamp)->Apply(sizes);

void withAndWithoutDuplicates(benchmark::internal::Benchmark *b)
{
    b->Args({50, 0})->Args({50, 1})->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_OpenOverwritePlain)->Apply(withAndWithoutDuplicates);
BENCHMARK(BM_OpenOverwrite)->Apply(withAndWithoutDuplicates);
BENCHMARK(BM_Remember)->Apply(withAndWithoutDuplicates);
BENCHMARK(BM_FindKept)->Apply(withAndWithoutDuplicates);
BENCHMARK(BM_EncodeKept)->Apply(withAndWithoutDuplicates);

// A value of /proc/self/status in kB.
long statusKb(const char *field)
{
    FILE *f = std::fopen("/proc/self/status", "r");
    char line[256];
    long value = -1;
    const size_t n = std::strlen(field);
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && line[n] == ':')
            value = std::atol(line + n + 1);
    if (f)
        std::fclose(f);
    return value;
}

// Opens the 50 MiB document once in a fresh text area (or, for `widgetOnly`, gives its text to a
// bare QPlainTextEdit) and reports what holding it costs.
void reportMemory(bool widgetOnly)
{
    const QString path = documentPath(50);
    const double fileMb = double(QFileInfo(path).size()) / (1 << 20);
    const long rssBefore = statusKb("VmRSS");
    const long peakBefore = statusKb("VmHWM");
    double textMb = 0;
    if (widgetOnly) {
        auto *edit = new QPlainTextEdit;
        edit->resize(800, 600);
        edit->show();
        {
            const QString text = cp932::decode(readWholeFile(path).value_or(QByteArray()));
            textMb = double(text.size()) * 2 / (1 << 20);
            edit->setPlainText(PlainTextBox::toWidgetText(text).text);
        }
        QCoreApplication::processEvents();
    } else {
        auto *w = new Window;
        w->open(path);
        textMb = double(w->doc.file_text().size()) * 2 / (1 << 20);
    }
    // Both are left alive: the figures are read while the text is held.
    const long rssAfter = statusKb("VmRSS");
    const long peakAfter = statusKb("VmHWM");
    const double heldMb = double(rssAfter - rssBefore) / 1024;
    const double peakMb = double(qMax(peakAfter, rssBefore) - rssBefore) / 1024;
    const qsizetype lines = readWholeFile(path).value_or(QByteArray()).count("\r\n") + 1;
    std::printf("memory with the %.1f MiB document (%lld lines) %s (text %.1f MiB as UTF-16):\n",
                fileMb, qlonglong(lines), widgetOnly ? "in a bare QPlainTextEdit" : "opened",
                textMb);
    std::printf("  held (VmRSS growth)  %7.1f MiB = %.2f x file, %.2f x text\n", heldMb,
                heldMb / fileMb, heldMb / textMb);
    std::printf("  peak (VmHWM growth)  %7.1f MiB = %.2f x file, %.2f x text  (peak before: %ld "
                "kB, resident before: %ld kB)\n",
                peakMb, peakMb / fileMb, peakMb / textMb, peakBefore, rssBefore);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    folder = &dir;
    // Made first, streamed to disk, so that making them leaves no large buffers behind.
    const bool widgetOnly = argc > 1 && std::strcmp(argv[1], "--memory=widget") == 0;
    for (const int mib : {1, 10, 50})
        documentPath(mib);
    documentPath(50, true);
    reportMemory(widgetOnly);
    if (widgetOnly)
        return 0;

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
