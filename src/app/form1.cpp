#include "app/form1.h"

#include "app/statusline.h"
#include "app/encodingbutton.h"
#include "document/loadtext.h"
#include "platform/filenames.h"
#include "platform/files.h"
#include "platform/qt/pageloader.h"
#include "platform/qt/htmlhighlighter.h"
#include "platform/qt/textarea.h"
#include "platform/twips.h"
#include "search/form4.h"
#include "search/gotodialog.h"
#include "search/gotoline.h"
#include "search/replacedialog.h"
#include "settings/fontsettings.h"
#include "settings/ownsettings.h"
#include "settings/form2.h"
#include "settings/form3.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QTextDocument>

namespace zimo {

namespace {

// The main window's client size in the layout, in twips.
constexpr int clientWidthTwips = 11550;
constexpr int clientHeightTwips = 7230;

// The face of Text1 in the layout: one that shows Japanese.
const QString layoutFace = QStringLiteral("Noto Sans Mono CJK JP");
constexpr double layoutSize = 11;

struct MenuRow
{
    int level; // 1: an entry of the menu bar, 2: an item of the menu above it (a separator
               // when it has no name)
    const char *name;
    QString caption;
    QKeySequence shortcut;
};

// The menu bar from left to right, each entry followed by its items from top to bottom.
const QList<MenuRow> &menuRows()
{
    static const QList<MenuRow> rows = {
        {1, "mnuFile", QStringLiteral("ファイル(&F)"), {}},
        {2, "mnuFileNew", QStringLiteral("新規作成(&N)"), QKeySequence(Qt::CTRL | Qt::Key_N)},
        {2, "mnuFileOpen", QStringLiteral("開く．．．(&O)"), QKeySequence(Qt::CTRL | Qt::Key_O)},
        {2, "mnuFileSave", QStringLiteral("保存．．．(&A)"), {}},
        {2, "mnuFileOverwrite", QStringLiteral("上書き(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S)},
        {2, "mnuFilePrint", QStringLiteral("印刷(&P)"), QKeySequence(Qt::CTRL | Qt::Key_P)},
        {2, "mnuFileEnd", QStringLiteral("終了(&X)"), {}},
        {1, "mnuEdit", QStringLiteral("編集(&Q)"), {}},
        {2, "mnuEditConversion", QStringLiteral("<BR>一括追加(B)"),
         QKeySequence(Qt::CTRL | Qt::Key_B)},
        {2, "mnuEditDelete", QStringLiteral("<BR>一括削除(&D)"), QKeySequence(Qt::CTRL | Qt::Key_D)},
        {2, "mnuEditCenter", QStringLiteral("<CENTER>||Range||"), QKeySequence(Qt::CTRL | Qt::Key_C)},
        {2, "mnuEditPlug_1", QStringLiteral("[Plug_1]"), {}},
        {2, "mnuEditPlug_2", QStringLiteral("[Plug_2]"), {}},
        {2, "mnuEditBack", QStringLiteral("I'll be back"), QKeySequence(Qt::CTRL | Qt::Key_U)},
        {2, nullptr, {}, {}},
        {2, "mnuEditReplace", QStringLiteral("置換(&R)..."), QKeySequence(Qt::CTRL | Qt::Key_R)},
        {2, "mnuEditGoTo", QStringLiteral("指定行へ移動(&J)..."), QKeySequence(Qt::CTRL | Qt::Key_G)},
        {1, "mnuOption", QStringLiteral("オプション(&O)"), {}},
        {2, "mnuOptionline", QStringLiteral("総文字数(&L)"), QKeySequence(Qt::CTRL | Qt::Key_L)},
        {2, "mnuEditReference", QStringLiteral("検索(&F)..."), QKeySequence(Qt::CTRL | Qt::Key_F)},
        {2, "mnuOptionForm", QStringLiteral("書式(&G)..."), {}},
        {2, "mnuOptionDetails", QStringLiteral("詳細設定(&V)"), {}},
        {2, "mnuOptionBrowser", QStringLiteral("ブラウザで表示(&W)"), QKeySequence(Qt::Key_F12)},
        {2, nullptr, {}, {}},
        {2, "mnuOptionLineNumbers", QStringLiteral("行番号を表示(&N)"), {}},
        {2, nullptr, {}, {}},
        {2, "mnuOptionCheck", QStringLiteral("HTMLをチェック(&K)"), QKeySequence(Qt::Key_F7)},
        {1, "mnuHelp", QStringLiteral("ヘルプ(&H)"), {}},
        {2, "mnuHelpPlay", QStringLiteral("トピック(&H)"), {}},
        {2, "mnuHelpVer", QStringLiteral("バージョン(&A)"), {}},
        // A command on the bar itself, with no drop-down.
        {0, "mnuExplorer", QStringLiteral("エクスプローラ(&E)"), {}},
    };
    return rows;
}

// Pixels for a horizontal or vertical length in twips on the widget's screen.
int pxX(const QWidget *w, double twips)
{
    return twipsToPixels(twips, w->logicalDpiX());
}
int pxY(const QWidget *w, double twips)
{
    return twipsToPixels(twips, w->logicalDpiY());
}

} // namespace

Form1::Form1(QWidget *parent)
    : QMainWindow(parent), m_textArea(new TextArea(this)),
      m_highlighter(new HtmlHighlighter(m_textArea)), m_actions(createActions(this)),
      m_Text1(m_textArea), m_messageBox(this), m_CommonDialog1(this, &m_printer),
      m_shell(this), m_app([this] { endProgram(); }),
      m_mnuEditBack(m_actions.value(QStringLiteral("mnuEditBack"))),
      m_mnuFileOverwrite(m_actions.value(QStringLiteral("mnuFileOverwrite"))),
      m_services{m_Text1,   m_messageBox, m_CommonDialog1, m_printer,
                 m_shell,   m_app,        m_mnuEditBack,   m_mnuFileOverwrite},
      m_undo(m_Text1, m_mnuEditBack), m_document(m_services), m_drafts(m_services, m_document),
      m_markup(m_services, m_undo), m_settings(m_services), m_preview(m_services, m_document),
      m_replace(m_services, m_undo)
{
    setWindowTitle(QStringLiteral("ZIMO"));
    setObjectName(QStringLiteral("Form1"));

    m_textArea->setObjectName(QStringLiteral("Text1"));
    m_textArea->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_textArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont face(layoutFace);
    face.setPointSizeF(layoutSize);
    face.setStyleHint(QFont::TypeWriter);
    m_textArea->setFont(face);
    // Text1 fills the client area, whatever its size: the central widget follows every resize.
    setCentralWidget(m_textArea);
    // Ignored: the text area asks for no size of its own and follows the client area down to 0.
    m_textArea->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);

    createMenus();
    connectCommands();

    QList<QKeySequence> keys;
    for (const MenuRow &row : menuRows())
        if (!row.shortcut.isEmpty())
            keys.append(row.shortcut);
    m_textArea->setMenuShortcuts(keys);
    // Drafts: every change of the text marks the draft out of date; the keeper decides when to
    // write it.
    // A page being opened is no edit: the open itself tells the keeper when it is the document.
    // textChanged follows whichever document the text area shows.
    connect(m_textArea, &QPlainTextEdit::textChanged, &m_drafts, [this] {
        if (!m_document.isLoading())
            m_drafts.textEdited();
    });
    m_document.onStateChanged = [this] { m_drafts.documentStateChanged(); };
    m_markup.documentEncoding = [this] { return m_document.encoding().encoding; };
    connect(m_textArea, &TextArea::filesDropped, this, [this](const QStringList &paths) {
        if (!paths.isEmpty() && !m_document.isLoading())
            load_text(m_services, paths.first(), m_document.encoding().encoding);
    });

    // The status bar below Text1: the caret's line and column, the line ends, and the document's
    // encoding. Text1 keeps the layout's size; the window is taller by the bar. Its items are all
    // added before the size is set: the bar takes its height from them.
    statusBar()->setSizeGripEnabled(false);
    m_statusLine = new StatusLine(statusBar(), m_textArea);
    connect(m_statusLine, &StatusLine::positionClicked, this, [this] {
        if (!m_document.isLoading())
            mnuEditGoTo_Click();
    });
    m_encodingButton = new EncodingButton(m_document, statusBar());
    statusBar()->addPermanentWidget(m_encodingButton);

    // Big pages open over time: the text area shows them as they come in, Esc cancels.
    m_loader = new PageLoader(m_textArea, this);
    m_document.setTextLoader(m_loader, loadOverTimeFrom);
    connect(m_loader, &PageLoader::documentReplaced, this, [this] {
        m_Text1.documentReplaced();
        m_highlighter->followDocument();
        m_statusLine->followDocument();
    });
    connect(m_loader, &PageLoader::loadedWhole, this,
            [this](const QString &text) { m_Text1.holdText(text); });
    connect(m_loader, &PageLoader::progressed, this, &Form1::showLoadProgress);
    m_document.onLoadingChanged = [this] { loadingChanged(); };
    m_cancelLoad = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    m_cancelLoad->setEnabled(false);
    connect(m_cancelLoad, &QShortcut::activated, this, [this] { m_document.cancelLoad(); });

    resize(pxX(this, clientWidthTwips), pxY(this, clientHeightTwips) +
                                            menuBar()->sizeHint().height() +
                                            statusBar()->sizeHint().height());
}

Form1::~Form1()
{
    // The loader and the text area go with the window's children, after the commands.
    m_document.cancelLoad();
    delete m_form2.data();
    delete m_form3.data();
    delete m_form4.data();
    delete m_replaceDialog.data();
    delete m_checkWindow.data();
    CheckWindow::waitForRunningChecks();
}

QHash<QString, QAction *> Form1::createActions(QObject *owner)
{
    QHash<QString, QAction *> actions;
    for (const MenuRow &row : menuRows()) {
        if (row.level == 1 || !row.name)
            continue;
        auto *action = new QAction(row.caption, owner);
        action->setObjectName(QString::fromLatin1(row.name));
        if (!row.shortcut.isEmpty())
            action->setShortcut(row.shortcut);
        if (action->objectName() == QLatin1String("mnuOptionLineNumbers"))
            action->setCheckable(true);
        actions.insert(action->objectName(), action);
    }
    return actions;
}

void Form1::createMenus()
{
    QMenu *menu = nullptr;
    for (const MenuRow &row : menuRows()) {
        const QString name = QString::fromLatin1(row.name);
        if (!row.name) {
            menu->addSeparator();
        } else if (row.level == 1) {
            menu = menuBar()->addMenu(row.caption);
            menu->setObjectName(name);
            menu->menuAction()->setObjectName(name);
        } else if (row.level == 2 && !row.name) {
            menu->addSeparator();
        } else if (row.level == 2) {
            menu->addAction(m_actions.value(name));
        } else {
            menuBar()->addAction(m_actions.value(name));
        }
    }
}

QAction *Form1::action(const QString &name) const
{
    if (QAction *a = m_actions.value(name))
        return a;
    for (QAction *a : menuBar()->actions())
        if (a->objectName() == name)
            return a;
    return nullptr;
}

void Form1::connectCommands()
{
    auto on = [this](const char *name, auto handler) {
        connect(m_actions.value(QString::fromLatin1(name)), &QAction::triggered, this, handler);
    };
    on("mnuFileNew", [this] { m_document.mnuFileNew_Click(); });
    on("mnuFileOpen", [this] { m_document.mnuFileOpen_Click(); });
    on("mnuFileSave", [this] { m_document.mnuFileSave_Click(); });
    on("mnuFileOverwrite", [this] { m_document.mnuFileOverwrite_Click(); });
    on("mnuFilePrint", [this] { m_document.mnuFilePrint_Click(); });
    on("mnuFileEnd", [this] { m_document.mnuFileEnd_Click(); });
    on("mnuEditConversion", [this] { m_markup.mnuEditConversion_Click(); });
    on("mnuEditDelete", [this] { m_markup.mnuEditDelete_Click(); });
    on("mnuEditCenter", [this] { m_markup.mnuEditCenter_Click(); });
    on("mnuEditPlug_1", [this] { m_markup.mnuEditPlug_1_Click(); });
    on("mnuEditPlug_2", [this] { m_markup.mnuEditPlug_2_Click(); });
    on("mnuEditBack", [this] { m_markup.mnuEditBack_Click(); });
    on("mnuOptionline", [this] { m_markup.mnuOptionline_Click(); });
    on("mnuEditReference", [this] { mnuEditReference_Click(); });
    on("mnuOptionForm", [this] { m_settings.mnuOptionForm_Click(); });
    on("mnuOptionDetails", [this] { mnuOptionDetails_Click(); });
    on("mnuOptionBrowser", [this] { m_preview.mnuOptionBrowser_Click(); });
    on("mnuHelpPlay", [this] { m_settings.mnuHelpPlay_Click(); });
    on("mnuHelpVer", [this] { mnuHelpVer_Click(); });
    on("mnuExplorer", [this] { m_settings.mnuExplorer_Click(); });
    on("mnuEditReplace", [this] { mnuEditReplace_Click(); });
    on("mnuEditGoTo", [this] { mnuEditGoTo_Click(); });
    on("mnuOptionLineNumbers", [this] { mnuOptionLineNumbers_Click(); });
    on("mnuOptionCheck", [this] { mnuOptionCheck_Click(); });
}

void Form1::Form_Load(const QStringList &arguments)
{
    m_undo.reset();
    centreOnScreen();
    applyStartupFont();
    m_textArea->setFileDropEnabled(true);
    m_mnuFileOverwrite.setEnabled(false);
    applyOwnSettings();
    // The draft's question comes first; the command line's document is then inserted, unless a
    // draft was restored.
    m_drafts.startUp(pathFromArguments(arguments));
}

void Form1::centreOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    // The outer size: before the first show the frame is not known yet, so the frame of the
    // window system is taken as what it adds to every window (nothing before decoration).
    const QSize outer = frameGeometry().size();
    move(area.left() + area.width() / 2 - outer.width() / 2,
         area.top() + area.height() / 2 - outer.height() / 2);
}

void Form1::applyStartupFont()
{
    const auto bytes = readWholeFile(zimo2IniName);
    if (!bytes)
        return; // no settings yet: the layout's font stays
    const StartupFont font = readStartupFont(*bytes);
    if (font.size)
        m_Text1.setFontSize(*font.size);
    if (font.bold)
        m_Text1.setFontBold(*font.bold);
    if (font.italic)
        m_Text1.setFontItalic(*font.italic);
}

void Form1::endProgram()
{
    m_ended = true;
    // No preview copy outlives the program.
    m_preview.removeCopy();
    m_drafts.programEnded();
    hide();
    for (QWidget *dialog : {static_cast<QWidget *>(m_form2), static_cast<QWidget *>(m_form3),
                            static_cast<QWidget *>(m_form4), static_cast<QWidget *>(m_replaceDialog),
                            static_cast<QWidget *>(m_checkWindow)})
        if (dialog)
            dialog->hide();
    QCoreApplication::exit(0);
}

void Form1::closeEvent(QCloseEvent *event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    // Closing cancels an open under way; the questions are then about the document as it was.
    m_document.cancelLoad();
    bool cancel = false;
    m_document.Form_Unload(cancel);
    if (cancel && !m_ended) {
        event->ignore();
    } else {
        m_preview.removeCopy();
        event->accept();
    }
}

namespace {

// Shows a dialog modeless, without an owner window, in front, its outer frame's top-left at `pos`.
void placeAndShow(QWidget *dialog, QPoint pos)
{
    dialog->move(pos);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace

void Form1::mnuEditReference_Click()
{
    if (!m_form4)
        m_form4 = new Form4(m_Text1, m_messageBox);
    // Top 650 twips below the main window's top; the right edge at the main window's left plus
    // its client width.
    const QRect main = frameGeometry();
    const int frameExtra = main.width() - width();
    const int dialogOuterWidth =
        m_form4->isVisible() ? m_form4->frameGeometry().width() : m_form4->width() + frameExtra;
    placeAndShow(m_form4, QPoint(main.left() + width() - dialogOuterWidth, main.top() + pxY(this, 650)));
}

void Form1::mnuOptionDetails_Click()
{
    if (!m_form2) {
        m_form2 = new Form2(m_messageBox, m_shell);
        m_form2->Form_Load();
    }
    const QRect main = frameGeometry();
    placeAndShow(m_form2, QPoint(main.left() + pxX(this, 100), main.top() + pxY(this, 650)));
}

void Form1::mnuHelpVer_Click()
{
    if (!m_form3)
        m_form3 = new Form3();
    const QRect main = frameGeometry();
    placeAndShow(m_form3, QPoint(main.left() + pxX(this, 100), main.top() + pxY(this, 650)));
}

void Form1::openRequested(const QByteArray &path)
{
    m_openRequests.append(path);
    takeOpenRequests();
}

void Form1::takeOpenRequests()
{
    if (m_ended || m_takingOpenRequests)
        return;
    // A modal box or dialog (or the question before the window is shown) is answered first: the
    // request waits for it, checked again shortly.
    if (QApplication::activeModalWidget() || !isVisible() || m_document.isLoading()) {
        if (!m_openRequestTimer) {
            m_openRequestTimer = new QTimer(this);
            m_openRequestTimer->setSingleShot(true);
            m_openRequestTimer->setInterval(100);
            connect(m_openRequestTimer, &QTimer::timeout, this, [this] { takeOpenRequests(); });
        }
        m_openRequestTimer->start();
        return;
    }
    m_takingOpenRequests = true;
    while (!m_openRequests.isEmpty() && !m_ended) {
        const QByteArray bytes = m_openRequests.takeFirst();
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
        if (bytes.isEmpty())
            continue;
        // The name keeps the bytes that are not UTF-8 (a name made on an older system).
        m_document.openFromDesktop(fileNameFromBytes(bytes));
    }
    m_takingOpenRequests = false;
}

// ---------------------------------------------------------------------------------------------
// Replace, go to a line, line numbers

void Form1::mnuEditReplace_Click()
{
    const bool first = !m_replaceDialog;
    if (first)
        m_replaceDialog = new ReplaceDialog(m_replace);
    if (first || !m_replaceDialog->isVisible()) {
        // Where the search dialog opens: its right edge at the main window's left plus its client
        // width, 650 twips below the main window's top.
        m_replaceDialog->adjustSize();
        const QRect main = frameGeometry();
        const int frameExtra = main.width() - width();
        placeAndShow(m_replaceDialog,
                     QPoint(main.left() + width() - (m_replaceDialog->width() + frameExtra),
                            main.top() + pxY(this, 650)));
    } else {
        m_replaceDialog->raise();
        m_replaceDialog->activateWindow();
    }
}

void Form1::mnuEditGoTo_Click()
{
    const QString text = m_Text1.text();
    GoToDialog dialog(lineCount(text), lineOfPosition(text, m_Text1.selStart()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_Text1.setSelStart(lineStart(text, dialog.line()));
    m_textArea->centerCursor();
    m_Text1.setFocus();
}

void Form1::mnuOptionLineNumbers_Click()
{
    const bool on = m_actions.value(QStringLiteral("mnuOptionLineNumbers"))->isChecked();
    m_textArea->setLineNumbersVisible(on);
    OwnSettings settings = loadOwnSettings();
    settings.lineNumbers = on;
    saveOwnSettings(settings, m_messageBox);
}

void Form1::loadingChanged()
{
    const bool loading = m_document.isLoading();
    m_cancelLoad->setEnabled(loading);
    m_highlighter->holdIdleSteps(loading);
    m_encodingButton->setEnabled(!loading);
    // The search and replace dialogs work on the whole text: they wait too.
    for (QWidget *dialog : {static_cast<QWidget *>(m_form4), static_cast<QWidget *>(m_replaceDialog)})
        if (dialog)
            dialog->setEnabled(!loading);
    if (loading) {
        m_enabledBeforeLoad.clear();
        for (QAction *a : std::as_const(m_actions)) {
            m_enabledBeforeLoad.insert(a, a->isEnabled());
            a->setEnabled(false);
        }
        QApplication::setOverrideCursor(Qt::BusyCursor);
        showLoadProgress(0, 0);
    } else {
        for (auto it = m_enabledBeforeLoad.cbegin(); it != m_enabledBeforeLoad.cend(); ++it)
            it.key()->setEnabled(it.value());
        m_enabledBeforeLoad.clear();
        QApplication::restoreOverrideCursor();
        statusBar()->clearMessage();
        // Requests from the desktop that came meanwhile, once this open has finished.
        if (!m_openRequests.isEmpty())
            QTimer::singleShot(0, this, [this] { takeOpenRequests(); });
    }
}

void Form1::showLoadProgress(qsizetype loaded, qsizetype total)
{
    if (!m_document.isLoading())
        return;
    const QString path = m_document.loadingPath();
    const QString name = displayFileName(QStringView(path).sliced(path.lastIndexOf(u'/') + 1));
    const QString share =
        total > 0 ? QStringLiteral(" %1%").arg(int(loaded * 100 / total)) : QString();
    statusBar()->showMessage(
        QStringLiteral("「%1」を読み込んでいます…%2（Esc で中止）").arg(name, share));
}

void Form1::applyOwnSettings()
{
    const OwnSettings settings = loadOwnSettings();
    QAction *lineNumbers = m_actions.value(QStringLiteral("mnuOptionLineNumbers"));
    lineNumbers->setChecked(settings.lineNumbers);
    m_textArea->setLineNumbersVisible(settings.lineNumbers);
}

void Form1::mnuOptionCheck_Click()
{
    if (!m_checkWindow) {
        m_checkWindow = new CheckWindow([this](qsizetype position) { showFinding(position); });
        // textChanged follows whichever document the text area shows (a page opened over time
        // comes in another one).
        connect(m_textArea, &QPlainTextEdit::textChanged, m_checkWindow, &CheckWindow::textChanged);
        const QRect main = frameGeometry();
        m_checkWindow->move(main.left() + pxX(this, 100), main.top() + pxY(this, 650));
    }
    // The text as it is now goes to the worker; typing on meanwhile changes nothing checked.
    m_checkWindow->start(m_Text1.textSnapshot(), m_document.encoding().encoding);
    m_checkWindow->show();
    m_checkWindow->raise();
    m_checkWindow->activateWindow();
}

void Form1::showFinding(qsizetype position)
{
    m_Text1.setSelStart(std::min(position, m_Text1.modelLength()));
    m_textArea->ensureCursorVisible();
    raise();
    activateWindow();
    m_Text1.setFocus();
}

} // namespace zimo
