#pragma once

#include "check/checkwindow.h"
#include "document/documentcommands.h"
#include "document/draftkeeper.h"
#include "document/undostore.h"
#include "document/preview.h"
#include "markup/markupcommands.h"
#include "platform/qt/qtappinfo.h"
#include "platform/qt/qtcommondialog.h"
#include "platform/qt/qtcontrols.h"
#include "platform/qt/qtmessagebox.h"
#include "platform/qt/qtprinter.h"
#include "platform/qt/qtshell.h"
#include "platform/qt/qttextbox.h"
#include "platform/services.h"
#include "search/form4.h"
#include "search/replacecommands.h"
#include "search/replacedialog.h"
#include "settings/form2.h"
#include "settings/form3.h"
#include "settings/settingscommands.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QShortcut;
class QTimer;

namespace zimo {

class TextArea;
class HtmlHighlighter;
class PageLoader;
class StatusLine;
class EncodingButton;

// The main window: the document's text area Text1, the menu bar, and all state of the program.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // Start-up after the single-instance check: undo store, centring, display font from
    // zimo_2.ini, drops, "上書き(&S)", a draft left behind by a killed run, and the document named
    // on the command line.
    void Form_Load(const QStringList &arguments);

    // The menu item or bar command with this mnu* name.
    QAction *action(const QString &name) const;
    TextArea *textArea() const { return m_textArea; }
    Services &services() { return m_services; }
    UndoStore &undoStore() { return m_undo; }
    DocumentCommands &documentCommands() { return m_document; }
    BrowserPreview &browserPreview() { return m_preview; }
    HtmlHighlighter *highlighter() const { return m_highlighter; }
    DraftKeeper &draftKeeper() { return m_drafts; }
    PageLoader *pageLoader() const { return m_loader; }
    // Pages from this size on open over time, the window responsive meanwhile.
    static constexpr qint64 loadOverTimeFrom = 1024 * 1024;
    // Whether the program has been ended ("終了します" answered OK).
    bool hasEnded() const { return m_ended; }

    // The open dialogs, if any.
    Form2 *form2() const { return m_form2; }
    Form3 *form3() const { return m_form3; }
    Form4 *form4() const { return m_form4; }
    ReplaceDialog *replaceDialog() const { return m_replaceDialog; }
    CheckWindow *checkWindow() const { return m_checkWindow; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    static QHash<QString, QAction *> createActions(QObject *owner);
    void createMenus();
    void connectCommands();
    void centreOnScreen();
    void applyStartupFont();
    void endProgram();

    void mnuEditReference_Click();
    void mnuOptionDetails_Click();
    void mnuHelpVer_Click();
    void mnuEditReplace_Click();
    void mnuEditGoTo_Click();
    void mnuOptionLineNumbers_Click();
    // The line-number gutter as the program's own settings file says.
    void applyOwnSettings();
    // "HTMLをチェック(&K)": checks the text in the window "チェック結果".
    void mnuOptionCheck_Click();
    // Puts the caret at a finding's position and brings the main window to the front.
    void showFinding(qsizetype position);
    // An open over time started or ended: the commands that need the whole text wait for it.
    void loadingChanged();
    void showLoadProgress(qsizetype loaded, qsizetype total);

    TextArea *m_textArea;
    HtmlHighlighter *m_highlighter;
    // Every menu item and the bar command, by mnu* name; made before the services that use them.
    QHash<QString, QAction *> m_actions;
    PlainTextBox m_Text1;
    QtMessageBox m_messageBox;
    QtPrinter m_printer;
    QtCommonDialog m_CommonDialog1;
    QtShell m_shell;
    QtAppInfo m_app;
    ActionMenuItem m_mnuEditBack;
    ActionMenuItem m_mnuFileOverwrite;
    Services m_services;
    UndoStore m_undo;
    DocumentCommands m_document;
    DraftKeeper m_drafts;
    MarkupCommands m_markup;
    SettingsCommands m_settings;
    BrowserPreview m_preview;
    ReplaceCommands m_replace;

    QPointer<Form2> m_form2;
    QPointer<Form3> m_form3;
    QPointer<Form4> m_form4;
    QPointer<ReplaceDialog> m_replaceDialog;
    QPointer<CheckWindow> m_checkWindow;
    bool m_ended = false;

    PageLoader *m_loader = nullptr;
    StatusLine *m_statusLine = nullptr;
    EncodingButton *m_encodingButton = nullptr;
    // Esc while a page is being opened cancels the open.
    QShortcut *m_cancelLoad = nullptr;
    // The menu items' enabled states before an open over time disabled them.
    QHash<QAction *, bool> m_enabledBeforeLoad;

public:
    // An open request from the desktop (`zimo --open FILE`, at start or handed over by a second
    // start): the window comes to the front and opens the file at `path` (the system's bytes of
    // an absolute path) as "開く．．．(&O)" does, asking first when the text was changed. An
    // empty path only brings the window to the front. Requests wait while a modal dialog or
    // message box of the program is open, and are taken one after another in the order they came.
    void openRequested(const QByteArray &path);

private:
    void takeOpenRequests();
    QList<QByteArray> m_openRequests;
    bool m_takingOpenRequests = false;
    QTimer *m_openRequestTimer = nullptr;
};

} // namespace zimo
