// The desktop's open request: the command line's two forms and the request's bytes on the socket.
#include "app/openrequest.h"

#include <QTest>

using namespace zimo;

class TestOpenRequest : public QObject
{
    Q_OBJECT
private slots:
    void startArguments_data();
    void startArguments();
    void absolutePaths_data();
    void absolutePaths();
    void requestRoundTrip_data();
    void requestRoundTrip();
    void hostileRequests_data();
    void hostileRequests();
};

void TestOpenRequest::startArguments_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("none") << QList<QByteArray>{} << false << QByteArray();
    QTest::newRow("plain path") << QList<QByteArray>{"a.txt"} << false << QByteArray("a.txt");
    QTest::newRow("plain, further ignored")
        << QList<QByteArray>{"a.txt", "b.txt"} << false << QByteArray("a.txt");
    QTest::newRow("plain path after the option's place")
        << QList<QByteArray>{"a.txt", "--open"} << false << QByteArray("a.txt");
    QTest::newRow("open form") << QList<QByteArray>{"--open", "/p/a.html"} << true
                               << QByteArray("/p/a.html");
    QTest::newRow("open form without file (menu)")
        << QList<QByteArray>{"--open"} << true << QByteArray();
    QTest::newRow("open form, first file only")
        << QList<QByteArray>{"--open", "/p/a.html", "/p/b.html"} << true << QByteArray("/p/a.html");
    QTest::newRow("file that looks like an option")
        << QList<QByteArray>{"--open", "--open"} << true << QByteArray("--open");
    QTest::newRow("not UTF-8") << QList<QByteArray>{"--open", "/p/\x93\xfa.html"} << true
                               << QByteArray("/p/\x93\xfa.html");
    QTest::newRow("plain ./--open is a path")
        << QList<QByteArray>{"./--open"} << false << QByteArray("./--open");
}

void TestOpenRequest::startArguments()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(bool, open);
    QFETCH(QByteArray, path);
    const StartArguments start = parseStartArguments(arguments);
    QCOMPARE(start.open, open);
    QCOMPARE(start.path, path);
}

void TestOpenRequest::absolutePaths_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("absolute");
    QTest::newRow("relative") << QByteArray("a.html") << QByteArray("/home/u")
                              << QByteArray("/home/u/a.html");
    QTest::newRow("folder with slash")
        << QByteArray("d/a") << QByteArray("/") << QByteArray("/d/a");
    QTest::newRow("dot dot kept") << QByteArray("../a") << QByteArray("/w")
                                  << QByteArray("/w/../a");
    QTest::newRow("absolute") << QByteArray("/x/a") << QByteArray("/w") << QByteArray("/x/a");
    QTest::newRow("empty stays empty") << QByteArray() << QByteArray("/w") << QByteArray();
    QTest::newRow("bytes kept") << QByteArray("\xff\xfe") << QByteArray("/\x96\x7b")
                                << QByteArray("/\x96\x7b/\xff\xfe");
}

void TestOpenRequest::absolutePaths()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, absolute);
    QCOMPARE(absolutePath(path, folder), absolute);
}

void TestOpenRequest::requestRoundTrip_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("piece");
    QTest::newRow("empty, whole") << QByteArray() << 0;
    QTest::newRow("path, whole") << QByteArray("/tmp/a b.html") << 0;
    QTest::newRow("path, byte by byte") << QByteArray("/tmp/日本語.html") << 1;
    QTest::newRow("not UTF-8, in threes") << QByteArray("/\x93\xfa\x96\x7b\xff") << 3;
    QTest::newRow("longest path, in 1000s")
        << ("/" + QByteArray(openRequestMaxPath - 1, 'a')) << 1000;
}

// Whatever pieces the bytes arrive in, the path comes out as sent.
void TestOpenRequest::requestRoundTrip()
{
    QFETCH(QByteArray, path);
    QFETCH(int, piece);
    const QByteArray request = encodeOpenRequest(path);
    QCOMPARE(request.size(), openRequestTagSize + 4 + path.size());
    OpenRequestReader reader;
    if (piece == 0) {
        QCOMPARE(reader.feed(request), OpenRequestReader::State::Complete);
    } else {
        for (qsizetype i = 0; i < request.size(); i += piece) {
            QCOMPARE(reader.state(), OpenRequestReader::State::Incomplete);
            reader.feed(
                QByteArrayView(request).sliced(i, std::min<qsizetype>(piece, request.size() - i)));
        }
    }
    QCOMPARE(reader.state(), OpenRequestReader::State::Complete);
    QCOMPARE(reader.path(), path);
}

void TestOpenRequest::hostileRequests_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("state");
    const auto invalid = int(OpenRequestReader::State::Invalid);
    const auto incomplete = int(OpenRequestReader::State::Incomplete);
    const QByteArray tag(openRequestTag);
    QTest::newRow("garbage") << QByteArray("GET / HTTP/1.0\r\n\r\n") << invalid;
    QTest::newRow("one wrong byte first") << QByteArray("X") << invalid;
    QTest::newRow("tag only") << tag << incomplete;
    QTest::newRow("length over the limit") << tag + QByteArray("\x00\x00\x10\x00", 4) << invalid;
    QTest::newRow("huge length") << tag + QByteArray("\xff\xff\xff\xff") << invalid;
    QTest::newRow("overlong bytes")
        << encodeOpenRequest("/" + QByteArray(openRequestMaxPath, 'a')) << invalid;
    QTest::newRow("path cut short") << encodeOpenRequest("/abc").chopped(1) << incomplete;
    QTest::newRow("trailing bytes") << encodeOpenRequest("/abc") + "x" << invalid;
    QTest::newRow("two requests") << encodeOpenRequest("/a") + encodeOpenRequest("/b") << invalid;
    QTest::newRow("relative path") << encodeOpenRequest("a.html") << invalid;
    QTest::newRow("zero byte in path") << encodeOpenRequest(QByteArray("/a\0b", 4)) << invalid;
}

void TestOpenRequest::hostileRequests()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, state);
    OpenRequestReader reader;
    QCOMPARE(int(reader.feed(bytes)), state);
    QCOMPARE(reader.path(), QByteArray());
    // Once invalid, nothing makes it complete.
    if (state == int(OpenRequestReader::State::Invalid))
        QCOMPARE(reader.feed(encodeOpenRequest("/a")), OpenRequestReader::State::Invalid);
}

QTEST_APPLESS_MAIN(TestOpenRequest)
#include "tst_openrequest.moc"
