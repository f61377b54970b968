#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace zimo {

// How serious a finding is; the check window's column 種類.
enum class FindingKind { Error, Warning, Info };

// One message of HTML Tidy about a page, as Tidy reports it: its line and column (1-based; Tidy
// counts every CR LF, CR or LF as one line end and, with tabs counted as one, every character as
// one column; 0 where the message has no place), its key ("MISSING_ENDTAG_FOR"), its arguments
// in order and Tidy's own English text.
struct TidyReport
{
    int line = 0;
    int column = 0;
    FindingKind kind = FindingKind::Warning;
    QByteArray key;
    QStringList arguments;
    QString english;
};

// Runs HTML Tidy over the page text (given to it as UTF-8) and returns its messages about the
// page in the order Tidy reports them: errors, warnings and information, not Tidy's summaries.
// Tidy only reads: nothing is written anywhere. Tidy runs on a thread of its own whose stack is
// deep enough for the page. Safe on any thread; calls on several threads take turns.
QList<TidyReport> runTidy(QStringView text);
// The stack the thread that runs Tidy over the text gets (Tidy's parser recurses once for each
// nested element): 16 MiB and 256 bytes for every "<", at most 3 GiB.
qsizetype tidyStackSize(QStringView text);

// The Japanese text of a Tidy message with its arguments filled in; Tidy's English text for a
// key the table does not hold.
QString tidyMessageText(const TidyReport &report);
// The keys the Japanese table holds, and its template for one (empty for an unknown key). A
// template takes the arguments as %1, %2, ... in Tidy's order.
QList<QByteArray> translatedTidyKeys();
QString tidyMessageTemplate(const QByteArray &key);

} // namespace zimo
