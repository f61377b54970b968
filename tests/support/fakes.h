#pragma once

#include "platform/services.h"
#include "platform/textloader.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <functional>
#include <optional>

namespace zimo::test {

// A text box that follows the caret and selection rules exactly, without a widget.
class FakeTextBox : public TextBox
{
public:
    QString text() const override { return m_text; }
    void setText(const QString &text) override;
    qsizetype selStart() const override { return m_selStart; }
    void setSelStart(qsizetype start) override;
    qsizetype selLength() const override { return m_selLength; }
    void setSelLength(qsizetype length) override;
    QString selText() const override { return m_text.mid(m_selStart, m_selLength); }
    void setSelText(const QString &text) override;
    bool reportEdits(std::function<void(const TextEdit &)> listener) override
    {
        m_editListener = std::move(listener);
        return reportsEdits;
    }
    void setFocus() override { ++focusCount; }
    QString fontName() const override { return font.name; }
    void setFontName(const QString &name) override { font.name = name; }
    double fontSize() const override { return font.size; }
    void setFontSize(double points) override { font.size = points; }
    bool fontBold() const override { return font.bold; }
    void setFontBold(bool bold) override { font.bold = bold; }
    bool fontItalic() const override { return font.italic; }
    void setFontItalic(bool italic) override { font.italic = italic; }

    // Selects [start, start + length) as the user would.
    void select(qsizetype start, qsizetype length);

    FontChoice font{QStringLiteral("Layout Face"), 11, false, false};
    int focusCount = 0;
    int setTextCount = 0;
    // Whether the box says it reports its changes (as the real text area does).
    bool reportsEdits = true;

private:
    void report(qsizetype position, qsizetype removed, const QString &added);
    std::function<void(const TextEdit &)> m_editListener;
    QString m_text;
    qsizetype m_selStart = 0;
    qsizetype m_selLength = 0;
};

class FakeMenuItem : public MenuItem
{
public:
    explicit FakeMenuItem(bool enabled = true) : enabled(enabled) {}
    bool isEnabled() const override { return enabled; }
    void setEnabled(bool e) override { enabled = e; }
    bool enabled;
};

class FakeLabel : public Label
{
public:
    QString caption() const override { return text; }
    void setCaption(const QString &caption) override { text = caption; }
    QString text;
};

// One message box as it was shown.
struct ShownMessage
{
    QString prompt;
    int style = 0;
    QString title; // as passed: empty means the application title
    bool whileBusy = false; // shown while the program showed itself busy: never right
    bool operator==(const ShownMessage &) const = default;
};

// Records every box and answers from a script; with the script used up it answers with the
// first (default) button, as Enter would.
class FakeMessageBox : public MessageBox
{
public:
    int show(const QString &prompt, int style, const QString &title) override;
    QList<ShownMessage> shown;
    QQueue<int> answers;
    // Runs while a box is shown (after recording it), e.g. to change the document meanwhile.
    std::function<void(const ShownMessage &)> onShow;
    // Whether the program shows itself busy at this moment.
    std::function<bool()> busy;
};

// Each dialog answers from its own script: a value confirms, nothing cancels. An empty script
// cancels. Every call is recorded with what the dialog was given.
class FakeCommonDialog : public CommonDialog
{
public:
    struct FileAsk
    {
        QString kind; // "open" or "save"
        QString filter;
        QString current;
    };
    QList<FileAsk> fileAsks;
    QQueue<std::optional<QString>> fileAnswers;
    QList<std::optional<FontChoice>> fontAsks;
    QQueue<std::optional<FontChoice>> fontAnswers;
    int printerAsks = 0;
    QQueue<bool> printerAnswers;
    // Runs when any dialog is shown, with its kind ("open", "save", "font", "printer").
    std::function<void(const QString &)> onShow;

protected:
    std::optional<QString> askOpenFileName(const QString &filter, const QString &current) override;
    std::optional<QString> askSaveFileName(const QString &filter, const QString &current) override;
    std::optional<FontChoice> askFont(const std::optional<FontChoice> &initial) override;
    bool askPrinter() override;
};

class FakePrinter : public Printer
{
public:
    bool printText(const QString &text, QString *error) override;
    QStringList printed;
    // When set, every job fails with this reason.
    QString failure;
};

class FakeShell : public Shell
{
public:
    bool openFolder(const QString &folder) override;
    std::optional<QString> browseForFolder() override;
    bool showHelp(const QString &helpFile, HelpCommand command, int topic) override;
    bool openInBrowser(const QString &file) override;

    QStringList openedFolders;
    // Each file given to the browser, with its bytes at that moment (empty when it was missing).
    struct BrowserCall
    {
        QString file;
        QByteArray bytes;
        bool existed = false;
    };
    QList<BrowserCall> browserCalls;
    bool browserResult = true;
    QQueue<std::optional<QString>> browseAnswers; // empty: cancelled
    int browseCount = 0;
    struct HelpCall
    {
        QString file;
        HelpCommand command;
        int topic;
    };
    QList<HelpCall> helpCalls;
    bool helpResult = true;
    bool openFolderResult = true;
};

class FakeAppInfo : public AppInfo
{
public:
    QString path() const override { return programPath; }
    void end() override
    {
        ++endCount;
        if (onEnd)
            onEnd();
    }
    void setBusy(bool busy) override;
    QString programPath = QStringLiteral("/opt/zimo");
    int endCount = 0;
    int busyDepth = 0;   // nesting now
    int busyTimes = 0;   // how often it was made busy
    // Runs when the program is ended, as the main window's own end steps do.
    std::function<void()> onEnd;
};

// A text loader that puts the whole text into the fake text box when the test says so (or at
// once, with `atOnce`), or is cancelled and leaves the text box as it was.
class FakeTextLoader : public TextLoader
{
public:
    explicit FakeTextLoader(FakeTextBox &box) : m_box(box) {}
    void start(QString text, std::function<void(bool)> finished) override
    {
        ++starts;
        m_text = std::move(text);
        m_finished = std::move(finished);
        m_loading = true;
        if (atOnce)
            complete();
    }
    void cancel() override
    {
        if (m_loading)
            end(false);
    }
    bool isLoading() const override { return m_loading; }
    // The whole text is in.
    void complete()
    {
        m_box.setText(m_text);
        end(true);
    }

    bool atOnce = true;
    int starts = 0;

private:
    void end(bool completed)
    {
        m_loading = false;
        auto finished = std::move(m_finished);
        m_finished = nullptr;
        if (finished)
            finished(completed);
    }
    FakeTextBox &m_box;
    QString m_text;
    std::function<void(bool)> m_finished;
    bool m_loading = false;
};

// Every service faked, wired into one Services bundle.
struct FakePlatform
{
    FakePlatform() { messageBox.busy = [this] { return app.busyDepth > 0; }; }
    FakePlatform(const FakePlatform &) = delete;
    FakePlatform &operator=(const FakePlatform &) = delete;

    FakeTextBox text;
    FakeMessageBox messageBox;
    FakeCommonDialog dialog;
    FakePrinter printer;
    FakeShell shell;
    FakeAppInfo app;
    FakeMenuItem mnuEditBack{false};
    FakeMenuItem mnuFileOverwrite{false};
    Services services{text, messageBox, dialog, printer, shell, app, mnuEditBack, mnuFileOverwrite};
};

} // namespace zimo::test
