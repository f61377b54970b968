// Decoding and encoding of large documents in every encoding, each against its floor on the same
// bytes in the same run: a bare iconv call over the buffer (code page 932, EUC-JP, ISO-2022-JP:
// no result allocation, no error handling), Qt's own UTF-8 conversion (QString::fromUtf8 and
// toUtf8, which lose bad bytes), a plain copy of the units (UTF-16).
//
//   bench_codec --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Figures are bytes of the encoded text per second in both directions.

#include "document/cp932.h"
#include "document/encoding.h"

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

// The benchmark document in another encoding.
const QByteArray &documentIn(Encoding e, int megabytes)
{
    static std::map<std::pair<int, int>, QByteArray> made;
    QByteArray &bytes = made[{int(e), megabytes}];
    if (bytes.isEmpty()) {
        // The same text, less the characters the encoding lacks (① and ～ in EUC-JP, half-width
        // katakana too in ISO-2022-JP).
        QString text = cp932::decode(document(megabytes));
        encoding::EncodeResult result = encoding::encode(e, text);
        for (qsizetype k = result.unencodable.size() - 1; k >= 0; --k)
            text.remove(result.unencodable[k], 1);
        result = encoding::encode(e, text);
        if (!result.ok())
            throw std::logic_error("benchmark text not encodable");
        bytes = result.bytes;
    }
    return bytes;
}

const char *iconvName(Encoding e)
{
    switch (e) {
    case Encoding::EucJp:
        return "EUC-JP";
    case Encoding::Utf16BE:
        return "UTF-16BE";
    default:
        return "ISO-2022-JP";
    }
}

void codecDecode(benchmark::State &state, Encoding e)
{
    const QByteArray &bytes = documentIn(e, int(state.range(0)));
    for (auto _ : state) {
        QString text = encoding::decode(e, bytes);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void codecEncode(benchmark::State &state, Encoding e)
{
    const QByteArray &bytes = documentIn(e, int(state.range(0)));
    const QString text = encoding::decode(e, bytes);
    for (auto _ : state) {
        encoding::EncodeResult result = encoding::encode(e, text);
        benchmark::DoNotOptimize(result.bytes.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void iconvDecode(benchmark::State &state, Encoding e)
{
    const QByteArray &bytes = documentIn(e, int(state.range(0)));
    rawIconv(state, "UTF-16LE", iconvName(e), bytes.constData(), size_t(bytes.size()),
             size_t(bytes.size()) * 2, bytes.size());
}

void iconvEncode(benchmark::State &state, Encoding e)
{
    const QByteArray &bytes = documentIn(e, int(state.range(0)));
    const QString text = encoding::decode(e, bytes);
    rawIconv(state, iconvName(e), "UTF-16LE", reinterpret_cast<const char *>(text.utf16()),
             size_t(text.size()) * 2, size_t(bytes.size()) + 64, bytes.size());
}

void BM_Utf8DecodeQt(benchmark::State &state)
{
    const QByteArray &bytes = documentIn(Encoding::Utf8, int(state.range(0)));
    for (auto _ : state) {
        QString text = QString::fromUtf8(bytes);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_Utf8EncodeQt(benchmark::State &state)
{
    const QByteArray &bytes = documentIn(Encoding::Utf8, int(state.range(0)));
    const QString text = QString::fromUtf8(bytes);
    for (auto _ : state) {
        QByteArray out = text.toUtf8();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_Utf16DecodeCopy(benchmark::State &state)
{
    const QByteArray &bytes = documentIn(Encoding::Utf16LE, int(state.range(0)));
    for (auto _ : state) {
        QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                                          bytes.size() / 2);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

void BM_Utf16EncodeCopy(benchmark::State &state)
{
    const QByteArray &bytes = documentIn(Encoding::Utf16LE, int(state.range(0)));
    const QString text = encoding::decode(Encoding::Utf16LE, bytes);
    for (auto _ : state) {
        QByteArray out(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

// Opening a file: recognising its encoding and decoding it, against decoding alone.
void BM_RecogniseAndDecode(benchmark::State &state, Encoding e)
{
    const QByteArray &bytes =
        e == Encoding::Cp932 ? document(int(state.range(0))) : documentIn(e, int(state.range(0)));
    for (auto _ : state) {
        encoding::DecodedFile file = encoding::decodeFile(bytes);
        if (file.recognition.encoding.encoding != e)
            state.SkipWithError("recognised another encoding");
        benchmark::DoNotOptimize(file.text.data());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

} // namespace

BENCHMARK_CAPTURE(codecDecode, Utf8, Encoding::Utf8)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8DecodeQt)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecEncode, Utf8, Encoding::Utf8)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8EncodeQt)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecDecode, Utf16LE, Encoding::Utf16LE)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecDecode, Utf16BE, Encoding::Utf16BE)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf16DecodeCopy)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecEncode, Utf16LE, Encoding::Utf16LE)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecEncode, Utf16BE, Encoding::Utf16BE)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconvDecode, Utf16BE, Encoding::Utf16BE)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconvEncode, Utf16BE, Encoding::Utf16BE)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf16EncodeCopy)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecDecode, EucJp, Encoding::EucJp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconvDecode, EucJp, Encoding::EucJp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecEncode, EucJp, Encoding::EucJp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconvEncode, EucJp, Encoding::EucJp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecDecode, Iso2022Jp, Encoding::Iso2022Jp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconvDecode, Iso2022Jp, Encoding::Iso2022Jp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(codecEncode, Iso2022Jp, Encoding::Iso2022Jp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(iconvEncode, Iso2022Jp, Encoding::Iso2022Jp)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RecogniseAndDecode, Cp932, Encoding::Cp932)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RecogniseAndDecode, Utf8, Encoding::Utf8)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RecogniseAndDecode, EucJp, Encoding::EucJp)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RecogniseAndDecode, Iso2022Jp, Encoding::Iso2022Jp)->Arg(10)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_DecodeRawIconv)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeRawIconv)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
