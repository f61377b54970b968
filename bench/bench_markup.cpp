// The markup commands on large documents: <BR> add and remove, the CENTER block on a selection in
// the middle, the snippet append and the undo snapshot (keep_text / back_text), each next to the
// plain Qt way of doing the same (QString::replace of the same pattern, an appended copy, a deep
// copy of the text) measured in the same run. Then the whole commands through a real main window
// (menu action, text box adapter, text area) on 10 MB.
//
//   bench_markup --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// Sizes are the document's UTF-16 text in MiB (1 MiB = 524,288 characters; a code page 932 file of
// Japanese text has about the same size); bytes_per_second counts that text.

#include "app/form1.h"
#include "document/undostore.h"
#include "markup/brmarkup.h"
#include "markup/markupcommands.h"
#include "platform/qt/textarea.h"

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <map>
#include <memory>

using namespace zimo;

namespace {

// An HTML-like Japanese document of `mib` MiB: lines of kanji and kana with some ASCII markup,
// each ending in CR LF.
const QString &document(int mib)
{
    static std::map<int, QString> made;
    QString &text = made[mib];
    if (!text.isEmpty())
        return text;
    static const char16_t *const words[] = {
        u"<P>", u"</P>", u"<A HREF=\"index.html\">", u"</A>", u"ZIMO", u"page", u"2024",
        u"日本語", u"テキスト", u"ファイル", u"編集", u"保存します", u"文字コード", u"の", u"を",
        u"、", u"。", u"漢字と仮名", u"ﾃｷｽﾄ", u"①", u"～"};
    QRandomGenerator random(3121);
    const qsizetype target = qsizetype(mib) * 1024 * 1024 / 2;
    text.reserve(target + 256);
    while (text.size() < target) {
        const int count = 4 + random.bounded(12);
        for (int i = 0; i < count; ++i)
            text += QStringView(words[random.bounded(int(std::size(words)))]);
        text += u"\r\n";
    }
    return text;
}

// The same document with "<BR>" in front of every line break, for the remove command.
const QString &taggedDocument(int mib)
{
    static std::map<int, QString> made;
    QString &text = made[mib];
    if (text.isEmpty())
        text = markup::addBrTags(document(mib));
    return text;
}

void setBytes(benchmark::State &state, const QString &text)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()) * 2);
}

// A text box with nothing but the text and the selection, so that only the command's own work is
// measured. The selection is replaced in one pre-sized copy, as a text box would.
class BareTextBox : public TextBox
{
public:
    QString text() const override { return m_text; }
    void setText(const QString &text) override
    {
        m_text = text;
        m_start = m_length = 0;
    }
    qsizetype selStart() const override { return m_start; }
    void setSelStart(qsizetype start) override
    {
        m_start = start;
        m_length = 0;
    }
    qsizetype selLength() const override { return m_length; }
    void setSelLength(qsizetype length) override { m_length = length; }
    QString selText() const override { return m_text.mid(m_start, m_length); }
    void setSelText(const QString &text) override
    {
        QString out;
        out.reserve(m_text.size() - m_length + text.size());
        out.append(QStringView(m_text).first(m_start));
        out.append(text);
        out.append(QStringView(m_text).sliced(m_start + m_length));
        m_text = out;
        m_start += text.size();
        m_length = 0;
    }
    void setFocus() override {}
    QString fontName() const override { return {}; }
    void setFontName(const QString &) override {}
    double fontSize() const override { return 0; }
    void setFontSize(double) override {}
    bool fontBold() const override { return false; }
    void setFontBold(bool) override {}
    bool fontItalic() const override { return false; }
    void setFontItalic(bool) override {}

private:
    QString m_text;
    qsizetype m_start = 0;
    qsizetype m_length = 0;
};

class BareMenuItem : public MenuItem
{
public:
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }

private:
    bool m_enabled = false;
};

// ---------------------------------------------------------------------------------------------
// The transforms

void BM_AddBr(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    for (auto _ : state) {
        QString out = markup::addBrTags(text);
        benchmark::DoNotOptimize(out.constData());
    }
    setBytes(state, text);
}

void BM_AddBr_QStringReplace(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    for (auto _ : state) {
        QString out = text;
        out.replace(QStringLiteral("\r\n"), QStringLiteral("<BR>\r\n"));
        benchmark::DoNotOptimize(out.constData());
    }
    setBytes(state, text);
}

void BM_RemoveBr(benchmark::State &state)
{
    const QString &text = taggedDocument(int(state.range(0)));
    for (auto _ : state) {
        QString out = markup::removeBrTags(text);
        benchmark::DoNotOptimize(out.constData());
    }
    setBytes(state, text);
}

void BM_RemoveBr_QStringReplace(benchmark::State &state)
{
    const QString &text = taggedDocument(int(state.range(0)));
    for (auto _ : state) {
        QString out = text;
        out.replace(QStringLiteral("<BR>\r\n"), QStringLiteral("\r\n"));
        benchmark::DoNotOptimize(out.constData());
    }
    setBytes(state, text);
}

// ---------------------------------------------------------------------------------------------
// The commands over a bare text box: CENTER on the middle third, snippet append, undo snapshots

// The main window of the run, made in main() after the application object.
Form1 *mainWindow = nullptr;

// The markup commands over a bare text box and "I'll be back" item; the services they never
// reach (message box, dialogs, printer...) are the main window's.
struct CommandRig
{
    BareTextBox text;
    BareMenuItem back;
    Services services;
    UndoStore undo;
    MarkupCommands markup;

    explicit CommandRig(Services &other)
        : services{text,        other.messageBox, other.CommonDialog1, other.printer,
                   other.shell, other.app,        back,                other.mnuFileOverwrite},
          undo(text, back), markup(services, undo)
    {
    }
    static std::unique_ptr<CommandRig> make()
    {
        return std::make_unique<CommandRig>(mainWindow->services());
    }
};

void BM_Center(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    const auto rig = CommandRig::make();
    const qsizetype third = text.size() / 3;
    for (auto _ : state) {
        state.PauseTiming();
        rig->text.setText(text);
        rig->text.setSelStart(third);
        rig->text.setSelLength(third);
        state.ResumeTiming();
        rig->markup.mnuEditCenter_Click();
        benchmark::DoNotOptimize(rig->text.selStart());
    }
    setBytes(state, text);
}

void BM_Center_QStringReplace(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    const qsizetype third = text.size() / 3;
    for (auto _ : state) {
        QString out = text;
        out.replace(third, third,
                    QStringLiteral("\r\n<CENTER>\r\n") + out.mid(third, third)
                        + QStringLiteral("\r\n</CENTER>\r\n"));
        benchmark::DoNotOptimize(out.constData());
    }
    setBytes(state, text);
}

// A snippet file of a few lines of Japanese markup in code page 932, in a folder of its own that
// becomes the working folder.
const QByteArray snippetBytes = QByteArray::fromHex(
    "3c48523e0d0a3c503e93fa967b8cea82cc83658c4c83588367814283748340834383893c2f503e0d0a");

QTemporaryDir &snippetFolder()
{
    static QTemporaryDir dir;
    static bool made = false;
    if (!made) {
        QDir(dir.path()).mkpath(QStringLiteral("item"));
        QFile file(dir.filePath(QStringLiteral("item/plug_1.txt")));
        file.open(QIODevice::WriteOnly);
        file.write(snippetBytes);
        made = true;
    }
    QDir::setCurrent(dir.path());
    return dir;
}

void BM_SnippetAppend(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    snippetFolder();
    const auto rig = CommandRig::make();
    for (auto _ : state) {
        state.PauseTiming();
        rig->text.setText(text);
        state.ResumeTiming();
        rig->markup.mnuEditPlug_1_Click();
        benchmark::DoNotOptimize(rig->text.text().size());
    }
    setBytes(state, text);
}

void BM_SnippetAppend_QStringAppend(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    const QString snippet = QString::fromUtf16(u"<HR>\r\n<P>日本語のテキストファイル</P>\r\n");
    for (auto _ : state) {
        QString out = text;
        out.append(QStringLiteral("\r\n"));
        out.append(snippet);
        benchmark::DoNotOptimize(out.constData());
    }
    setBytes(state, text);
}

void BM_KeepText(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    const auto rig = CommandRig::make();
    rig->text.setText(text);
    for (auto _ : state)
        rig->undo.keep_text();
    setBytes(state, text);
}

void BM_KeepAndBackText(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    const auto rig = CommandRig::make();
    rig->text.setText(text);
    for (auto _ : state) {
        rig->undo.keep_text();
        rig->undo.back_text();
    }
    setBytes(state, text);
}

// What a snapshot would cost if it copied the text.
void BM_KeepText_DeepCopy(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    for (auto _ : state) {
        QString copy(text.constData(), text.size());
        benchmark::DoNotOptimize(copy.constData());
    }
    setBytes(state, text);
}

// ---------------------------------------------------------------------------------------------
// Whole commands through the main window: menu action, adapter, text area

TextBox &windowBox()
{
    return mainWindow->services().Text1;
}

void trigger(const char *name)
{
    mainWindow->action(QString::fromLatin1(name))->trigger();
}

// `prepare` sets the text area up (not timed), then the action named runs (timed).
template<typename Prepare>
void runWindowCommand(benchmark::State &state, const QString &text, const char *action,
                      Prepare prepare)
{
    for (auto _ : state) {
        state.PauseTiming();
        prepare();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        trigger(action);
        QCoreApplication::processEvents();
    }
    setBytes(state, text);
}

void BM_Form1_AddBr(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    runWindowCommand(state, text, "mnuEditConversion", [&] { windowBox().setText(text); });
}

void BM_Form1_RemoveBr(benchmark::State &state)
{
    const QString &text = taggedDocument(int(state.range(0)));
    runWindowCommand(state, text, "mnuEditDelete", [&] { windowBox().setText(text); });
}

void BM_Form1_Center(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    runWindowCommand(state, text, "mnuEditCenter", [&] {
        windowBox().setText(text);
        windowBox().setSelStart(text.size() / 3);
        windowBox().setSelLength(text.size() / 3);
    });
}

void BM_Form1_SnippetAppend(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    snippetFolder();
    runWindowCommand(state, text, "mnuEditPlug_1", [&] { windowBox().setText(text); });
}

void BM_Form1_Back(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    runWindowCommand(state, text, "mnuEditBack", [&] {
        windowBox().setText(text);
        trigger("mnuEditConversion");
    });
}

// The floor under every whole-text command: the text area taking a new text.
void BM_Form1_SetTextOnly(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    const QString &other = taggedDocument(int(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        windowBox().setText(text);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        windowBox().setText(other);
        QCoreApplication::processEvents();
    }
    setBytes(state, text);
}

// What the commands pay to read the text out of the text area (keep_text reads it too).
void BM_Form1_ReadText(benchmark::State &state)
{
    const QString &text = document(int(state.range(0)));
    windowBox().setText(text);
    for (auto _ : state) {
        QString read = windowBox().text();
        benchmark::DoNotOptimize(read.constData());
    }
    setBytes(state, text);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kMillisecond)->UseRealTime();
}

void windowSizes(benchmark::internal::Benchmark *b)
{
    b->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
}

} // namespace

BENCHMARK(BM_AddBr)->Apply(sizes);
BENCHMARK(BM_AddBr_QStringReplace)->Apply(sizes);
BENCHMARK(BM_RemoveBr)->Apply(sizes);
BENCHMARK(BM_RemoveBr_QStringReplace)->Apply(sizes);
BENCHMARK(BM_Center)->Apply(sizes);
BENCHMARK(BM_Center_QStringReplace)->Apply(sizes);
BENCHMARK(BM_SnippetAppend)->Apply(sizes);
BENCHMARK(BM_SnippetAppend_QStringAppend)->Apply(sizes);
BENCHMARK(BM_KeepText)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_KeepAndBackText)->Arg(1)->Arg(10)->Arg(50)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_KeepText_DeepCopy)->Apply(sizes);
BENCHMARK(BM_Form1_AddBr)->Apply(windowSizes);
BENCHMARK(BM_Form1_RemoveBr)->Apply(windowSizes);
BENCHMARK(BM_Form1_Center)->Apply(windowSizes);
BENCHMARK(BM_Form1_SnippetAppend)->Apply(windowSizes);
BENCHMARK(BM_Form1_Back)->Apply(windowSizes);
BENCHMARK(BM_Form1_SetTextOnly)->Apply(windowSizes);
BENCHMARK(BM_Form1_ReadText)->Apply(windowSizes);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString oldCurrent = QDir::currentPath();
    QTemporaryDir work; // the main window reads zimo_2.ini from the working folder
    QDir::setCurrent(work.path());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        Form1 form;
        form.Form_Load({});
        form.show();
        mainWindow = &form;
        benchmark::RunSpecifiedBenchmarks();
        mainWindow = nullptr;
    }
    benchmark::Shutdown();
    QDir::setCurrent(oldCurrent);
    return 0;
}
