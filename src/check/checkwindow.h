#pragma once

#include "check/pagecheck.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace zimo {

class FindingsModel;

// The window "チェック結果": the findings of the last check of the page, one row each with 行,
// 列, 種類 and 内容 in document order. Modeless, without an owner window, destroyed when closed.
// The check runs on a worker thread over a snapshot of the text, so the main window keeps
// answering (and can be typed in) meanwhile; the busy cursor shows until the findings arrive.
// Enter or a double click on a row asks the main window to put its caret there; Ctrl+C or
// "コピー(&C)" copies all rows as text.
class CheckWindow : public QWidget
{
    Q_OBJECT
public:
    // `jump` receives the position (in the checked text, CR LF = 2) of a chosen finding.
    explicit CheckWindow(std::function<void(qsizetype position)> jump);
    ~CheckWindow() override;

    // Checks the text the snapshot gives (taken on the worker thread), written in `encoding`.
    // Returns false, starting nothing, while a check still runs.
    bool start(std::function<QString()> snapshot, Encoding encoding);
    bool isRunning() const;
    // Waits for the checks still running, also those of windows closed meanwhile (at the
    // program's end, so that no thread outlives it).
    static void waitForRunningChecks();
    static qsizetype runningChecks();

    // The findings shown, and the state line above them.
    const QList<Finding> &findings() const;
    QString statusText() const;
    QTableView *table() const { return m_table; }

    // Every row as copied: "行 N, 列 M: 種類: 内容", one a line.
    QString copiedText() const;
    void copyAll();

public slots:
    // The main window's text changed: the findings are of the text as it was.
    void textChanged();

signals:
    // A check's findings are in the window.
    void finished();

private:
    struct Run;
    void showResults(const QList<Finding> &findings);
    void updateStatus();
    void jumpTo(int row);

    std::function<void(qsizetype)> m_jump;
    QLabel *m_status;
    QTableView *m_table;
    FindingsModel *m_model;
    QPushButton *m_copy;
    QPushButton *m_close;
    std::shared_ptr<Run> m_run;
    bool m_running = false;
    bool m_checked = false;
    bool m_stale = false;
};

} // namespace zimo
