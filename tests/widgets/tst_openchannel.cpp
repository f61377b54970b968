// Open requests handed to the running window over the local socket: the window opens the file as
// "開く．．．(&O)" does, asks first for a changed document, waits for a modal box, names a file it
// cannot open (missing, or a name that is not UTF-8), and shrugs off clients that send garbage, too
// much, nothing, or are someone else.
#include "app/form1.h"
#include "app/openchannel.h"
#include "document/draftkeeper.h"
#include "support/asuser.h"
#include "support/filebytes.h"
#include "whenshown.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <fcntl.h>
#include <future>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace zimo;
using namespace zimo::test;

namespace {

const QString askOpen = QStringLiteral("現在のテキストを破棄してもよろしいですか？");

// A UTF-8 page of about 2 KB: over nothing, but with a declaration and Japanese text.
QByteArray utf8Page()
{
    return "<html><head><meta charset=\"UTF-8\"></head><body>\r\n" +
           QByteArray("<p>日本語のページ</p>\r\n").repeated(70) + "</body></html>\r\n";
}

} // namespace

class TestOpenChannel : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void opensAsDocument_data();
    void opensAsDocument();
    void changedDocumentAsks_data();
    void changedDocumentAsks();
    void waitsForModalBox();
    void unopenableFileIsNamed_data();
    void unopenableFileIsNamed();
    void hostileClients();
    void otherUserIsRefused();
    void noServerNoHandOver();

private:
    // Sends as a second start does, from another thread: this one serves the window.
    std::future<bool> send(const QByteArray &path)
    {
        const QString socket = m_socket;
        return std::async(std::launch::async,
                          [socket, path] { return sendOpenRequest(socket, path); });
    }
    static bool done(std::future<bool> &f)
    {
        return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }
    QString filePath(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QTemporaryDir> m_runtime;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<OpenRequestServer> m_server;
    QString m_socket;
};

void TestOpenChannel::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_runtime = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid() && m_runtime->isValid());
    QDir::setCurrent(m_dir->path());
    QVERIFY(QDir(defaultDraftFolder()).removeRecursively());
    m_socket = m_runtime->filePath(QStringLiteral("zimo.socket"));
    m_form = std::make_unique<Form1>();
    m_form->Form_Load({});
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_server = std::make_unique<OpenRequestServer>();
    connect(m_server.get(), &OpenRequestServer::openRequested, m_form.get(), &Form1::openRequested);
    QVERIFY(m_server->listen(m_socket));
}

void TestOpenChannel::cleanup()
{
    m_server.reset();
    // The window's own questions at closing are not asked: the document is thrown away.
    m_form.reset();
    // Names that are not UTF-8 are beyond QTemporaryDir.
    removeTree(m_dir->path());
}

void TestOpenChannel::opensAsDocument_data()
{
    QTest::addColumn<QByteArray>("name"); // as the system has it
    QTest::newRow("UTF-8 name") << QByteArray("page 日本.html");
    // Names made on older systems: the request carries the bytes, and the very file is opened
    // and written back.
    QTest::newRow("Shift_JIS name") << QByteArray("\x93\xfa\x96\x7b.html");
    QTest::newRow("EUC-JP name") << QByteArray("\xc6\xfc\xcb\xdc.html");
}

void TestOpenChannel::opensAsDocument()
{
    QFETCH(QByteArray, name);
    const QByteArray path = QFile::encodeName(m_dir->path()) + '/' + name;
    const QString file = fileNameFromBytes(path);
    writeBytes(file, utf8Page());
    const QList<QByteArray> entries = entriesOf(m_dir->path());
    auto sent = send(path);
    QTRY_VERIFY(done(sent));
    QVERIFY(sent.get());
    Services &s = m_form->services();
    QTRY_COMPARE(s.Text1.text(), QString::fromUtf8(utf8Page()));
    QCOMPARE(s.CommonDialog1.fileName, file);
    QVERIFY(s.mnuFileOverwrite.isEnabled());
    QVERIFY(!m_form->documentCommands().changed());
    // Ctrl+S writes the page back: its bytes plus the final CR LF of every write, to the same
    // file (no file of another name appears).
    m_form->action(QStringLiteral("mnuFileOverwrite"))->trigger();
    QCOMPARE(bytesOf(file), utf8Page() + "\r\n");
    QCOMPARE(entriesOf(m_dir->path()), entries);
    // An empty request only brings the window to the front: the document stays.
    auto front = send(QByteArray());
    QTRY_VERIFY(done(front));
    QVERIFY(front.get());
    QTest::qWait(100);
    QCOMPARE(s.CommonDialog1.fileName, file);
}

void TestOpenChannel::changedDocumentAsks_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK opens") << true;
    QTest::newRow("Cancel keeps everything") << false;
}

void TestOpenChannel::changedDocumentAsks()
{
    QFETCH(bool, ok);
    writeBytes(filePath("old.txt"), "old");
    writeBytes(filePath("new.html"), utf8Page());
    Services &s = m_form->services();
    QVERIFY(m_form->documentCommands().openDocument(filePath("old.txt"), true));
    s.Text1.setText(QStringLiteral("old, typed"));

    QString asked;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        asked = box->text();
        box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    auto sent = send(QFile::encodeName(filePath("new.html")));
    QTRY_COMPARE(asked, askOpen);
    QTRY_VERIFY(done(sent));
    QVERIFY(sent.get());
    if (ok) {
        QTRY_COMPARE(s.CommonDialog1.fileName, filePath("new.html"));
        QCOMPARE(s.Text1.text(), QString::fromUtf8(utf8Page()));
    } else {
        QTest::qWait(100);
        QCOMPARE(s.Text1.text(), QStringLiteral("old, typed"));
        QCOMPARE(s.CommonDialog1.fileName, filePath("old.txt"));
        QCOMPARE(m_form->documentCommands().file_text(), QStringLiteral("old"));
    }
}

// While a modal box is open the request waits; it is taken once the box is closed.
void TestOpenChannel::waitsForModalBox()
{
    writeBytes(filePath("page.html"), utf8Page());
    QMessageBox box(QMessageBox::Information, QStringLiteral("ZIMO"), QStringLiteral("modal"),
                    QMessageBox::Ok, m_form.get());
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    QTRY_COMPARE(QApplication::activeModalWidget(), &box);
    auto sent = send(QFile::encodeName(filePath("page.html")));
    QTRY_VERIFY(done(sent));
    // The sender is done at once; the window has not opened anything behind the box.
    QVERIFY(sent.get());
    QTest::qWait(400);
    QCOMPARE(m_form->services().Text1.text(), QString());
    box.close();
    QTRY_COMPARE(m_form->services().Text1.text(), QString::fromUtf8(utf8Page()));
}

void TestOpenChannel::unopenableFileIsNamed_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QByteArray("missing 日本.html") << false
                             << QStringLiteral("ファイルがありません。");
    // Shift_JIS bytes in the name: shown as \xNN.
    QTest::newRow("missing, name not UTF-8") << QByteArray("\x93\xfa\x96\x7b.html") << false
                                             << QStringLiteral("ファイルがありません。");
    QTest::newRow("a folder, name not UTF-8") << QByteArray("\xc6\xfc") << true
                                              << QStringLiteral("フォルダは開けません。");
}

// A file the window cannot open is named in a message; nothing of the document changes.
void TestOpenChannel::unopenableFileIsNamed()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, create);
    QFETCH(QString, reason);
    const QByteArray path = QFile::encodeName(m_dir->path()) + '/' + name;
    if (create)
        QCOMPARE(::mkdir(path.constData(), 0700), 0);
    QString shown;
    whenShown<QMessageBox>([&](QMessageBox *box) {
        shown = box->text();
        box->accept();
    });
    auto sent = send(path);
    QTRY_VERIFY(!shown.isEmpty());
    QVERIFY2(shown.contains(QStringLiteral("「%1」").arg(displayFileName(fileNameFromBytes(path)))) &&
                 shown.contains(reason),
             qPrintable(shown));
    QVERIFY(sent.get());
    QCOMPARE(m_form->services().Text1.text(), QString());
    QCOMPARE(m_form->services().CommonDialog1.fileName, QString());
    QVERIFY(!m_form->services().mnuFileOverwrite.isEnabled());
}

// Garbage, an overlong request, clients that connect and say nothing, more of them than are
// served: each is cut off, and a proper request is still taken at once.
void TestOpenChannel::hostileClients()
{
    writeBytes(filePath("page.html"), utf8Page());
    std::vector<std::unique_ptr<QLocalSocket>> clients;
    auto client = [&](const QByteArray &bytes) {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(m_socket);
        if (!bytes.isEmpty())
            socket->write(bytes);
        clients.push_back(std::move(socket));
        return clients.back().get();
    };
    QLocalSocket *garbage = client("GET / HTTP/1.1\r\n\r\n");
    QByteArray overlong = QByteArray(openRequestTag) + QByteArray("\x00\x01\x00\x00", 4);
    overlong += QByteArray(70000, '/');
    QLocalSocket *tooLong = client(overlong);
    QLocalSocket *binary = client(QByteArray(64, '\0'));
    QLocalSocket *silent = client({});
    for (int i = 0; i < OpenRequestServer::maxClients + 4; ++i)
        client({});
    QTRY_COMPARE(garbage->state(), QLocalSocket::UnconnectedState);
    QTRY_COMPARE(tooLong->state(), QLocalSocket::UnconnectedState);
    QTRY_COMPARE(binary->state(), QLocalSocket::UnconnectedState);
    for (const auto &c : clients)
        QVERIFY(c->bytesAvailable() == 0);

    // The silent ones are cut off within the request time; a proper request meanwhile waits
    // for none of them.
    auto sent = send(QFile::encodeName(filePath("page.html")));
    QTRY_VERIFY(done(sent));
    QVERIFY(sent.get());
    QTRY_COMPARE(m_form->services().CommonDialog1.fileName, filePath("page.html"));
    QTRY_VERIFY_WITH_TIMEOUT(silent->state() == QLocalSocket::UnconnectedState,
                             OpenRequestServer::requestTimeoutMs + 2000);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(clients.begin(), clients.end(),
                    [](const auto &c) { return c->state() == QLocalSocket::UnconnectedState; }),
        OpenRequestServer::requestTimeoutMs + 2000);
    QVERIFY(m_form->isVisible());
}

// Another user who reaches the socket (its rights opened up here on purpose) is not heard.
void TestOpenChannel::otherUserIsRefused()
{
    if (!canRunAsUser())
        QSKIP("needs root to act as another user");
    writeBytes(filePath("page.html"), utf8Page());
    QFile::setPermissions(m_runtime->path(), QFileDevice::Permissions(0x7711));
    QFile::setPermissions(m_socket, QFileDevice::Permissions(0x7777));
    QFile::setPermissions(m_dir->path(), QFileDevice::Permissions(0x7755));
    QFile::setPermissions(filePath("page.html"), QFileDevice::Permissions(0x6644));
    const QByteArray socketName = QFile::encodeName(m_socket);
    const QByteArray request = encodeOpenRequest(QFile::encodeName(filePath("page.html")));
    auto attempt = std::async(std::launch::async, [=] {
        return runAsUser(otherUser, [=]() -> QByteArray {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, socketName.constData(), socketName.size());
            if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
                return "no connection";
            if (::write(fd, request.constData(), request.size()) != request.size())
                return "cut off";
            timeval wait{1, 500000};
            ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            char answer = 0;
            return ::read(fd, &answer, 1) == 1 && answer == openAccepted ? "accepted" : "cut off";
        });
    });
    QTRY_VERIFY_WITH_TIMEOUT(attempt.wait_for(std::chrono::seconds(0)) == std::future_status::ready,
                             10000);
    const auto result = attempt.get();
    QVERIFY(result);
    QCOMPARE(*result, QByteArray("cut off"));
    QTest::qWait(200);
    QCOMPARE(m_form->services().CommonDialog1.fileName, QString());
}

// Without a running copy listening, the sender gives up within its time and says so.
void TestOpenChannel::noServerNoHandOver()
{
    m_server.reset();
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!sendOpenRequest(m_socket, "/tmp/x", 300));
    QVERIFY(!sendOpenRequest(QString(), "/tmp/x", 300));
    QVERIFY(timer.elapsed() < 1000);
}

QTEST_MAIN(TestOpenChannel)
#include "tst_openchannel.moc"
