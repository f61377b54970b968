// The page check against the tidy program on the same page, in the same run:
//
//   bench_check --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
//
// Pages of 100 KiB, 1 MiB and 10 MiB (argument: KiB) of hand-written HTML: headings, paragraphs
// of Japanese prose, links, images and tables, CR LF line ends, with a mistake every few lines
// (an unclosed <b>, an unexpected </td>, "&copy" without ";", an <img> without alt, an unknown
// attribute), so that both report many findings.
//
//   Check        checkPage over the document text: the text to UTF-8, Tidy's parse, repair and
//                diagnostics, the messages in Japanese placed at line and column, the program's
//                own findings (charset, characters the encoding cannot hold, line ends), sorted
//   TidyCommand  `tidy -q -e --show-info yes --tab-size 1 --show-errors 1000000 FILE` on the page
//                as a UTF-8 file: the same report, written to standard error and read back
// Wall time is what counts (the command runs in a process of its own).

#include "check/pagecheck.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <map>

using namespace zimo;

namespace {

const QString &page(int kib)
{
    static std::map<int, QString> made;
    QString &text = made[kib];
    if (!text.isEmpty())
        return text;
    const QString head = QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<HTML>\r\n<HEAD>\r\n"
        "<META http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">\r\n"
        "<TITLE>日記のページ</TITLE>\r\n</HEAD>\r\n<BODY bgcolor=\"#FFFFFF\">\r\n");
    const QString parts[] = {
        QStringLiteral("<H2>%1 日目の記録</H2>\r\n"),
        QStringLiteral("<P>吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。<BR>\r\n"
                       "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記憶している。</P>\r\n"),
        QStringLiteral("<P><A HREF=\"page%1.html\">次のページ</A> | <A HREF=\"index.html\">目次</A></P>\r\n"),
        QStringLiteral("<TABLE border=1>\r\n<TR><TD>項目</TD><TD>%1</TD></TR>\r\n</TABLE>\r\n"),
        QStringLiteral("<P><IMG SRC=\"cat%1.gif\" ALT=\"猫\" WIDTH=\"32\" HEIGHT=\"32\"> 今日の猫</P>\r\n"),
        // The mistakes.
        QStringLiteral("<P><B>太字のまま</P>\r\n"),
        QStringLiteral("<P>表の外の</TD>閉じタグ</P>\r\n"),
        QStringLiteral("<P>&copy 2024 ZIMO</P>\r\n"),
        QStringLiteral("<P><IMG SRC=\"photo%1.jpg\"></P>\r\n"),
        QStringLiteral("<P colr=\"red\">色</P>\r\n"),
    };
    const QString tail = QStringLiteral("</BODY>\r\n</HTML>\r\n");
    // The size counts the bytes of the UTF-8 file.
    const qsizetype want = qsizetype(kib) * 1024 - tail.toUtf8().size();
    text = head;
    qsizetype bytes = head.toUtf8().size();
    auto add = [&](const QString &part, int i) {
        const QString piece = part.contains(u'%') ? part.arg(i) : part;
        text += piece;
        bytes += piece.toUtf8().size();
    };
    for (int i = 0; bytes < want; ++i) {
        for (int p = 0; p < 5; ++p)
            add(parts[p], i);
        add(parts[5 + i % 5], i);
    }
    text += tail;
    return text;
}

QString pageFile(int kib)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("page%1.html").arg(kib));
    if (!QFile::exists(path)) {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return {};
        f.write(page(kib).toUtf8());
    }
    return path;
}

void Check(benchmark::State &state)
{
    const int kib = int(state.range(0));
    const QString &text = page(kib);
    qsizetype found = 0;
    for (auto _ : state) {
        const QList<Finding> findings = checkPage(text, Encoding::Utf8);
        found = findings.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["bytes"] = double(text.toUtf8().size());
    state.counters["findings"] = double(found);
}

void TidyCommand(benchmark::State &state)
{
    const int kib = int(state.range(0));
    const QString path = pageFile(kib);
    qsizetype lines = 0;
    for (auto _ : state) {
        QProcess tidy;
        tidy.start(QStringLiteral("tidy"),
                   {QStringLiteral("-q"), QStringLiteral("-e"), QStringLiteral("--show-info"),
                    QStringLiteral("yes"), QStringLiteral("--tab-size"), QStringLiteral("1"),
                    QStringLiteral("--show-errors"), QStringLiteral("1000000"), path});
        if (!tidy.waitForFinished(-1)) {
            state.SkipWithError("tidy did not run (apt-get install tidy)");
            return;
        }
        lines = tidy.readAllStandardError().count('\n');
    }
    state.counters["findings"] = double(lines);
}

} // namespace

BENCHMARK(Check)->Arg(100)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TidyCommand)->Arg(100)->Arg(1024)->Arg(10240)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
