#include "check/tidyreport.h"

#include <tidy/tidy.h>
#include <tidy/tidybuffio.h>

#include <QMutex>
#include <QThread>

#include <climits>
#include <memory>

namespace zimo {

namespace {

// What one Tidy run collects.
struct Collected
{
    QList<TidyReport> reports;
};

QString argumentText(TidyMessage message, TidyMessageArgument *argument)
{
    switch (tidyGetArgType(message, argument)) {
    case tidyFormatType_STRING: {
        const char *s = tidyGetArgValueString(message, argument);
        return s ? QString::fromUtf8(s) : QString();
    }
    case tidyFormatType_INT:
        return QString::number(tidyGetArgValueInt(message, argument));
    case tidyFormatType_UINT:
        return QString::number(tidyGetArgValueUInt(message, argument));
    case tidyFormatType_DOUBLE:
        return QString::number(tidyGetArgValueDouble(message, argument));
    default:
        return QString();
    }
}

// Takes every message about the page and keeps Tidy from printing anything itself.
Bool TIDY_CALL collect(TidyMessage message)
{
    auto *out = static_cast<Collected *>(tidyGetAppData(tidyGetMessageDoc(message)));
    TidyReport r;
    switch (tidyGetMessageLevel(message)) {
    case TidyInfo:
        r.kind = FindingKind::Info;
        break;
    case TidyWarning:
    case TidyAccess:
        r.kind = FindingKind::Warning;
        break;
    case TidyError:
    case TidyBadDocument:
    case TidyFatal:
        r.kind = FindingKind::Error;
        break;
    default:
        // Tidy's summaries, footnotes and notes about its own configuration: not about the page.
        return no;
    }
    const char *key = tidyGetMessageKey(message);
    // Tidy's notes on which HTML version the page looks like: not a mistake of the page.
    if (key && qstrncmp(key, "STRING_", 7) == 0)
        return no;
    // An attribute value without quotes is valid HTML (XHTML only wants them): a note on every
    // such value would bury the real findings of a hand-written page.
    if (key && qstrcmp(key, "MISSING_QUOTEMARK_OPEN") == 0)
        return no;
    r.line = tidyGetMessageLine(message);
    r.column = tidyGetMessageColumn(message);
    if (key)
        r.key = QByteArray(key);
    TidyIterator it = tidyGetMessageArguments(message);
    while (it) {
        TidyMessageArgument argument = tidyGetNextMessageArgument(message, &it);
        r.arguments.append(argumentText(message, &argument));
    }
    // Tidy wants UTF-8 in <meta charset>; the program's own check compares the declaration with
    // the encoding the document is really written in, which is what matters to the reader.
    if ((r.key == "BAD_ATTRIBUTE_VALUE" || r.key == "ATTRIBUTE_VALUE_REPLACED") &&
        r.arguments.size() >= 2 &&
        r.arguments[0] == QLatin1String("<meta>") &&
        r.arguments[1].compare(QLatin1String("charset"), Qt::CaseInsensitive) == 0)
        return no;
    if (const char *text = tidyGetMessageDefault(message))
        r.english = QString::fromUtf8(text);
    out->reports.append(std::move(r));
    return no;
}

} // namespace

namespace {

QList<TidyReport> runTidyHere(QStringView text)
{
    Collected collected;
    QByteArray utf8 = text.toUtf8();
    // Tidy keeps its message language in a global and reads the locale when a document is
    // created: one run at a time (a check of a closed window may still run beside a new one).
    static QMutex oneAtATime;
    const QMutexLocker lock(&oneAtATime);
    TidyDoc doc = tidyCreate();
    tidySetAppData(doc, &collected);
    tidySetMessageCallback(doc, collect);
    TidyBuffer errors;
    tidyBufInit(&errors);
    tidySetErrorBuffer(doc, &errors);
    tidyOptSetValue(doc, TidyInCharEncoding, "utf8");
    // A tab is one column, as every other character: the columns are characters of the line.
    tidyOptSetInt(doc, TidyTabSize, 1);
    tidyOptSetInt(doc, TidyShowErrors, INT_MAX);
    tidyOptSetBool(doc, TidyShowWarnings, yes);
    tidyOptSetBool(doc, TidyShowInfo, yes);
    tidyOptSetBool(doc, TidyQuiet, yes);
    TidyBuffer input;
    tidyBufInit(&input);
    if (!utf8.isEmpty())
        tidyBufAttach(&input, reinterpret_cast<byte *>(utf8.data()), uint(utf8.size()));
    int status = tidyParseBuffer(doc, &input);
    // The same steps as the tidy program's report: repairs and the document's diagnostics add
    // their own findings.
    if (status >= 0)
        status = tidyCleanAndRepair(doc);
    if (status >= 0)
        tidyRunDiagnostics(doc);
    tidyBufDetach(&input);
    tidyBufFree(&errors);
    tidyRelease(doc);
    return collected.reports;
}

} // namespace

qsizetype tidyStackSize(QStringView text)
{
    // Tidy's parser calls itself once for each element nested in another, with up to about 200
    // bytes of stack each (measured with libtidy 5.6: <dl> 193, <div> 80, <b> 64); every nested
    // element takes a "<" of the text.
    constexpr qsizetype perLevel = 256;
    constexpr qsizetype base = 16 * 1024 * 1024;
    constexpr qsizetype limit = qsizetype(3) * 1024 * 1024 * 1024;
    const qsizetype tags = text.count(u'<');
    return tags > (limit - base) / perLevel ? limit : base + tags * perLevel;
}

QList<TidyReport> runTidy(QStringView text)
{
    // On a thread of its own with a stack deep enough for the page: a page of nothing but
    // nested tags would otherwise overflow the caller's stack and end the program.
    QList<TidyReport> reports;
    std::unique_ptr<QThread> thread(QThread::create([&] { reports = runTidyHere(text); }));
    thread->setStackSize(uint(tidyStackSize(text)));
    thread->start();
    if (!thread->isRunning() && !thread->isFinished()) {
        // The system would not give the stack: no report from Tidy rather than a crash.
        TidyReport r;
        r.kind = FindingKind::Error;
        r.key = "ZIMO_TIDY_NOT_RUN";
        r.english = QStringLiteral("ページが大きすぎるため、HTML Tidy で調べられませんでした");
        return {r};
    }
    thread->wait();
    return reports;
}

} // namespace zimo
