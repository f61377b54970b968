#include "check/checkwindow.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>

namespace zimo {

// The findings as a table of four columns.
class FindingsModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setFindings(QList<Finding> findings)
    {
        beginResetModel();
        m_findings = std::move(findings);
        endResetModel();
    }
    const QList<Finding> &findings() const { return m_findings; }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_findings.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 4; }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_findings.size())
            return {};
        const Finding &f = m_findings[index.row()];
        if (role == Qt::DisplayRole) {
            switch (index.column()) {
            case 0:
                return QString::number(f.line);
            case 1:
                return QString::number(f.column);
            case 2:
                return findingKindName(f.kind);
            default:
                return f.message;
            }
        }
        if (role == Qt::TextAlignmentRole && index.column() < 2)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role == Qt::ToolTipRole && index.column() == 3)
            return f.message;
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const char16_t *const names[] = {u"行", u"列", u"種類", u"内容"};
        return section >= 0 && section < 4 ? QString::fromUtf16(names[section]) : QVariant();
    }

private:
    QList<Finding> m_findings;
};

// A check in progress: the worker thread and what it found. Shared with the thread's finish so
// that closing the window during a check leaves the thread to end on its own.
struct CheckWindow::Run
{
    QThread *thread = nullptr;
    QList<Finding> findings;
};

namespace {

// The checks' threads still running (touched on the GUI thread only), whether their window is
// still there or not.
QSet<QThread *> &runningThreads()
{
    static QSet<QThread *> threads;
    return threads;
}

} // namespace

qsizetype CheckWindow::runningChecks()
{
    return runningThreads().size();
}

void CheckWindow::waitForRunningChecks()
{
    for (QThread *thread : runningThreads())
        thread->wait();
}

CheckWindow::CheckWindow(std::function<void(qsizetype)> jump)
    : QWidget(nullptr), m_jump(std::move(jump)), m_status(new QLabel(this)),
      m_table(new QTableView(this)), m_model(new FindingsModel(this)),
      m_copy(new QPushButton(QStringLiteral("コピー(&C)"), this)),
      m_close(new QPushButton(QStringLiteral("閉じる"), this))
{
    setObjectName(QStringLiteral("CheckWindow"));
    setWindowTitle(QStringLiteral("チェック結果"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_status->setObjectName(QStringLiteral("checkStatus"));
    m_status->setWordWrap(true);
    m_table->setObjectName(QStringLiteral("checkFindings"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setHighlightSections(false);
    const QFontMetrics fm = fontMetrics();
    m_table->setColumnWidth(0, fm.horizontalAdvance(QStringLiteral("0000000")) + 12);
    m_table->setColumnWidth(1, fm.horizontalAdvance(QStringLiteral("000000")) + 12);
    m_table->setColumnWidth(2, fm.horizontalAdvance(QStringLiteral("エラー")) + 16);
    m_copy->setObjectName(QStringLiteral("checkCopy"));
    m_close->setObjectName(QStringLiteral("checkClose"));
    m_copy->setAutoDefault(false);
    m_close->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_copy);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_status);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(fm.horizontalAdvance(QLatin1Char('M')) * 70, fm.height() * 22);

    // Enter on a row activates it; a double click too, on most styles, but not on all.
    connect(m_table, &QAbstractItemView::activated, this,
            [this](const QModelIndex &index) { jumpTo(index.row()); });
    connect(m_table, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { jumpTo(index.row()); });
    connect(m_copy, &QPushButton::clicked, this, &CheckWindow::copyAll);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    auto *copy = new QAction(this);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, this, &CheckWindow::copyAll);
    addAction(copy);
    updateStatus();
}

CheckWindow::~CheckWindow()
{
    if (m_running)
        QApplication::restoreOverrideCursor();
}

bool CheckWindow::start(std::function<QString()> snapshot, Encoding encoding)
{
    if (m_running)
        return false;
    m_running = true;
    m_stale = false;
    auto run = std::make_shared<Run>();
    m_run = run;
    run->thread = QThread::create([run, snapshot = std::move(snapshot), encoding] {
        const QString text = snapshot();
        run->findings = checkPage(text, encoding);
    });
    // The thread object goes when its work is done, whether the window is still there or not.
    QThread *thread = run->thread;
    runningThreads().insert(thread);
    connect(thread, &QThread::finished, thread, [thread] {
        runningThreads().remove(thread);
        thread->deleteLater();
    });
    connect(run->thread, &QThread::finished, this, [this, run] {
        if (m_run != run)
            return;
        m_run.reset();
        m_running = false;
        QApplication::restoreOverrideCursor();
        showResults(run->findings);
    });
    QApplication::setOverrideCursor(Qt::BusyCursor);
    updateStatus();
    m_copy->setEnabled(false);
    run->thread->start();
    return true;
}

bool CheckWindow::isRunning() const
{
    return m_running;
}

const QList<Finding> &CheckWindow::findings() const
{
    return m_model->findings();
}

void CheckWindow::showResults(const QList<Finding> &findings)
{
    m_checked = true;
    m_model->setFindings(findings);
    m_copy->setEnabled(!findings.isEmpty());
    if (!findings.isEmpty()) {
        m_table->setCurrentIndex(m_model->index(0, 0));
        m_table->setFocus();
    }
    updateStatus();
    emit finished();
}

QString CheckWindow::statusText() const
{
    return m_status->text();
}

void CheckWindow::updateStatus()
{
    QString text;
    if (m_running)
        text = QStringLiteral("チェックしています...");
    else if (!m_checked)
        text = QString();
    else if (m_model->findings().isEmpty())
        text = QStringLiteral("問題は見つかりませんでした。");
    else
        text = QStringLiteral("%1 件見つかりました。").arg(m_model->findings().size());
    if (m_stale && (m_running || m_checked))
        text += QStringLiteral("（チェックを始めた後で本文が変更されました。結果はチェックを始めたときの本文についてのものです）");
    m_status->setText(text);
}

void CheckWindow::textChanged()
{
    if (m_stale || (!m_running && !m_checked))
        return;
    m_stale = true;
    updateStatus();
}

QString CheckWindow::copiedText() const
{
    return findingRows(m_model->findings());
}

void CheckWindow::copyAll()
{
    if (m_model->findings().isEmpty())
        return;
    QApplication::clipboard()->setText(copiedText());
}

void CheckWindow::jumpTo(int row)
{
    if (row < 0 || row >= m_model->findings().size() || !m_jump)
        return;
    m_jump(m_model->findings()[row].position);
}

} // namespace zimo
