// Opening a 50 MiB page: recognising its encoding and decoding it (encoding::decodeFile), against
// the code as it was before the encodings became a family of codecs and learnt the EUC-JP and
// ISO-2022-JP extensions and UTF-16 without a mark (baseline_encoding.inc), on the same bytes in
// the same run. The pages hold only what the old code read too (no ①, no IBM kanji in EUC-JP),
// so both take the same decision; one more page shows EUC-JP with ① and IBM kanji (new code only).
//
//   bench_recognition --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// For the measurement of the rules (scripts/measure_recognition.py):
//   bench_recognition --classify FILE...
// prints each file's recognition, by the new code and the old, and whether the file opened and
// overwritten unchanged gives its bytes back: "file<TAB>new<TAB>old<TAB>same", each recognition
// as the status bar name with its origin ("（既定）" for the default) and the EUC-JP form.
//
// The last lines printed are the ratios new / old of the median CPU times.

#include "document/cp932.h"
#include "document/documentfile.h"
#include "document/encoding.h"
#include "document/keptlines.h"

#include "baseline_encoding.inc"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QRandomGenerator>

#include <ctime>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

using namespace zimo;

namespace {

constexpr int megabytes = 50;

// An HTML-like page of lines of ASCII markup and words mixed with kanji and kana, in `e`.
const QByteArray &page(Encoding e, bool extensions = false)
{
    static std::map<std::pair<int, bool>, QByteArray> made;
    QByteArray &bytes = made[{int(e), extensions}];
    if (!bytes.isEmpty())
        return bytes;
    static const char16_t *const words[] = {
        u"<P>",  u"</P>",       u"<BR>",       u"<A HREF=\"index.html\">",
        u"</A>", u"ZIMO",       u"page",       u"2024",
        u"text", u"日本語",     u"テキスト",   u"ファイル",
        u"編集", u"保存します", u"文字コード", u"の",
        u"を",   u"、",         u"。",         u"漢字と仮名", u"ﾃｷｽﾄ"};
    static const char16_t *const extra[] = {u"①", u"Ⅲ", u"纊", u"黑"};
    QRandomGenerator random(932);
    const qsizetype target = qsizetype(megabytes) * 1024 * 1024;
    QString line;
    const TextEncoding form{e, false, extensions ? EncodingForm::Windows : EncodingForm::Standard};
    while (bytes.size() < target) {
        line.clear();
        const int count = 6 + random.bounded(10);
        for (int i = 0; i < count; ++i) {
            line += QString::fromUtf16(words[random.bounded(int(std::size(words)))]);
            if (extensions && random.bounded(8) == 0)
                line += QString::fromUtf16(extra[random.bounded(int(std::size(extra)))]);
            line += u' ';
        }
        line += u"\r\n";
        encoding::EncodeResult result = encoding::encode(form, line);
        // ISO-2022-JP as the old code wrote it: no half-width katakana.
        for (qsizetype k = result.unencodable.size() - 1; k >= 0; --k)
            line.remove(result.unencodable[k], 1);
        if (e == Encoding::Iso2022Jp)
            line.remove(QStringLiteral("ﾃｷｽﾄ"));
        result = encoding::encode(form, line);
        if (!result.ok())
            throw std::logic_error("benchmark text not encodable");
        bytes += result.bytes;
    }
    if (e == Encoding::Utf16LE)
        bytes.prepend("\xFF\xFE", 2);
    return bytes;
}

void BM_Open(benchmark::State &state, Encoding e, bool baseline)
{
    const QByteArray &bytes = page(e);
    for (auto _ : state) {
        encoding::DecodedFile file =
            baseline ? baseline::decodeFile(bytes) : encoding::decodeFile(bytes);
        if (file.recognition.encoding.encoding != e)
            state.SkipWithError("recognised another encoding");
        benchmark::DoNotOptimize(file.text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_OpenEucJpWithExtensions(benchmark::State &state)
{
    const QByteArray &bytes = page(Encoding::EucJp, true);
    for (auto _ : state) {
        encoding::DecodedFile file = encoding::decodeFile(bytes);
        if (file.recognition.encoding.encoding != Encoding::EucJp)
            state.SkipWithError("recognised another encoding");
        benchmark::DoNotOptimize(file.text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

#define ZIMO_OPEN(name, e)                                                                         \
    BENCHMARK_CAPTURE(BM_Open, name##_old, e, true)->Unit(benchmark::kMillisecond);                \
    BENCHMARK_CAPTURE(BM_Open, name##_new, e, false)->Unit(benchmark::kMillisecond);

ZIMO_OPEN(Cp932, Encoding::Cp932)
ZIMO_OPEN(Utf8, Encoding::Utf8)
ZIMO_OPEN(EucJp, Encoding::EucJp)
ZIMO_OPEN(Iso2022Jp, Encoding::Iso2022Jp)
ZIMO_OPEN(Utf16LE, Encoding::Utf16LE)
BENCHMARK(BM_OpenEucJpWithExtensions)->Unit(benchmark::kMillisecond);

// Median of a few runs of each, alternating, printed as a ratio. The time is the thread's CPU
// time: on a machine shared with other work the wall time swings far more than the code's cost.
double cpuMilliseconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

void printRatios()
{
    auto time = [](auto &&open) {
        const double start = cpuMilliseconds();
        encoding::DecodedFile file = open();
        benchmark::DoNotOptimize(file.text.data());
        return cpuMilliseconds() - start;
    };
    for (const Encoding e : {Encoding::Cp932, Encoding::Utf8, Encoding::EucJp,
                             Encoding::Iso2022Jp, Encoding::Utf16LE}) {
        const QByteArray &bytes = page(e);
        std::vector<double> olds, news;
        for (int run = 0; run < 7; ++run) {
            olds.push_back(time([&] { return baseline::decodeFile(bytes); }));
            news.push_back(time([&] { return encoding::decodeFile(bytes); }));
        }
        std::sort(olds.begin(), olds.end());
        std::sort(news.begin(), news.end());
        std::printf("%-12s old %8.1f ms  new %8.1f ms  new/old %.3f\n",
                    qPrintable(encoding::displayName(e)), olds[3], news[3], news[3] / olds[3]);
    }
}

} // namespace

QString describe(const encoding::Recognition &r)
{
    QString text = encoding::statusText(r.encoding, r.origin);
    if (r.encoding.form == EncodingForm::Windows)
        text += QStringLiteral(" windows");
    else if (r.encoding.form == EncodingForm::Ms)
        text += QStringLiteral(" ms");
    return text;
}

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--classify") == 0) {
        for (int k = 2; k < argc; ++k) {
            QFile file(QString::fromLocal8Bit(argv[k]));
            if (!file.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray bytes = file.readAll();
            // Opened and overwritten unchanged: the bytes (and a final CR LF) again?
            const encoding::DecodedFile opened = encoding::decodeFile(bytes);
            const TextEncoding e = opened.recognition.encoding;
            const QByteArrayView body = QByteArrayView(bytes).sliced(encoding::byteOrderMark(e).size());
            KeptLines kept;
            kept.remember(body, opened.text, lineCodec(e));
            const DocumentBytes written =
                encodeDocument(opened.text, e, kept.spansFor(opened.text, opened.text));
            const bool same = written.unencodable.isEmpty() &&
                              written.bytes == bytes + encoding::encode(e, u"\r\n").bytes;
            std::printf("%s\t%s\t%s\t%s\n", argv[k],
                        qPrintable(describe(opened.recognition)),
                        qPrintable(describe(baseline::recognise(bytes))),
                        same ? "same" : "differs");
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}
