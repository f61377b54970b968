// Code page 932 decoding and encoding of large documents, against a bare iconv call over the same
// buffer (the floor: no result allocation, no error handling).
//
//   bench_codec --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Figures are bytes of code page 932 text per second in both directions.

#include "document/cp932.h"

#include <benchmark/benchmark.h>

#include <QRandomGenerator>

#include <iconv.h>
#include <map>
#include <memory>
#include <stdexcept>

using namespace zimo;

namespace {

// An HTML-like document of about `megabytes` MB: lines of ASCII markup and words mixed with
// kanji and kana, ending in CR LF.
const QByteArray &document(int megabytes)
{
    static std::map<int, QByteArray> made;
    QByteArray &bytes = made[megabytes];
    if (!bytes.isEmpty())
        return bytes;
    static const char16_t *const words[] = {
        u"<P>",  u"</P>",       u"<BR>",       u"<A HREF=\"index.html\">",
        u"</A>", u"ZIMO",       u"page",       u"2024",
        u"text", u"日本語",     u"テキスト",   u"ファイル",
        u"編集", u"保存します", u"文字コード", u"の",
        u"を",   u"、",         u"。",         u"漢字と仮名",
        u"ﾃｷｽﾄ", u"①",          u"～"};
    QRandomGenerator random(932);
    const qsizetype target = qsizetype(megabytes) * 1024 * 1024;
    QString line;
    while (bytes.size() < target) {
        line.clear();
        const int count = 6 + random.bounded(10);
        for (int i = 0; i < count; ++i) {
            line += QString::fromUtf16(words[random.bounded(int(std::size(words)))]);
            line += u' ';
        }
        line += u"\r\n";
        const cp932::EncodeResult result = cp932::encode(line);
        if (!result.ok())
            throw std::logic_error("benchmark text not encodable");
        bytes += result.bytes;
    }
    return bytes;
}

struct Iconv
{
    explicit Iconv(const char *to, const char *from) : cd(iconv_open(to, from)) {}
    ~Iconv() { iconv_close(cd); }
    iconv_t cd;
};

void rawIconv(benchmark::State &state, const char *to, const char *from, const char *input,
              size_t inputSize, size_t outputSize, int64_t bytesPerRun)
{
    Iconv converter(to, from);
    std::unique_ptr<char[]> output(new char[outputSize]);
    for (auto _ : state) {
        char *in = const_cast<char *>(input);
        size_t inLeft = inputSize;
        char *out = output.get();
        size_t outLeft = outputSize;
        iconv(converter.cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(converter.cd, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1))
            state.SkipWithError("iconv failed");
        benchmark::DoNotOptimize(output.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * bytesPerRun);
}

void BM_DecodeRawIconv(benchmark::State &state)
{
    const QByteArray &bytes = document(int(state.range(0)));
    rawIconv(state, "UTF-16LE", "CP932", bytes.constData(), size_t(bytes.size()),
             size_t(bytes.size()) * 2, bytes.size());
}

void BM_Decode(benchmark::State &state)
{
    const QByteArray &bytes = document(int(state.range(0)));
    for (auto _ : state) {
        QString text = cp932::decode(bytes);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_EncodeRawIconv(benchmark::State &state)
{
    const QByteArray &bytes = document(int(state.range(0)));
    const QString text = cp932::decode(bytes);
    rawIconv(state, "CP932", "UTF-16LE", reinterpret_cast<const char *>(text.utf16()),
             size_t(text.size()) * 2, size_t(text.size()) * 2, bytes.size());
}

void BM_Encode(benchmark::State &state)
{
    const QByteArray &bytes = document(int(state.range(0)));
    const QString text = cp932::decode(bytes);
    for (auto _ : state) {
        cp932::EncodeResult result = cp932::encode(text);
        benchmark::DoNotOptimize(result.bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

BENCHMARK(BM_DecodeRawIconv)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeRawIconv)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
