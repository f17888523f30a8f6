#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <chrono>

#include "app/qt/QtText.h"
#include "quotes/DownloadCycle.h"
#include "tests/app/qt/StartedForm.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LoopbackClient.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TinyproxyServer.h"

using namespace w20;
using namespace w20::test;

namespace {

const char* const Minutes[] = {"5", "15", "30"};
const char* const Seconds[] = {"300", "900", "1800"};
const std::string Header = "Ticker,Interval,Date,Time,Open,High,Low,Close,Volume\r\n";
const std::string FailedCaption = "Korvane W20/FW20 RealTime? Project - Download failed!";
const std::string LastCaption = "Korvane W20/FW20 RealTime? Project - Last ";

std::string IndexBars(const std::string& m) {
    return Header + "WIG20," + m + ",20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n" + "WIG20," +
           m + ",20020926,093500,1235.00,1237.10,1234.50,1236.20,800\r\n";
}

std::string FuturesBars(const std::string& m) {
    return Header + "FW20Z2," + m + ",20020926,093000,1240.00,1242.00,1239.00,1241.00,35\r\n" + "FW20Z2," +
           m + ",20020926,093500,1241.00,1243.00,1240.00,1242.00,41\r\n";
}

// What the MetaStock rules and writer make of both answers.
std::string MetaStockFile(const std::string& m) {
    return "W20[VOR]," + m + ",20020926,093000,1234.00,1236.50,1230.00,1235.00,1200\r\n" + "W20[VOR]," + m +
           ",20020926,093500,1235.00,1237.10,1234.50,1236.20,800\r\n" + "FW20[VOR]," + m +
           ",20020926,093000,1240.00,1242.00,1239.00,1241.00,35\r\n" + "FW20[VOR]," + m +
           ",20020926,093500,1241.00,1243.00,1240.00,1242.00,41\r\n";
}

std::string DataFile(const std::string& serviceUrl, const std::string& periodMode = "normal") {
    return serviceUrl + "\r\nWIG20\r\nFW20Z2\r\nFW20Z2\r\nWIG20\r\n" + periodMode + "\r\n\r\n";
}

// A window whose data.txt points at `server`, with the picker on a fixed date.
struct CycleForm : StartedForm {
    explicit CycleForm(const std::string& serviceUrl) : StartedForm(DataFile(serviceUrl)) {
        form->findChild<QDateEdit*>("DateTimePicker1")->setDate(QDate(2002, 9, 26));
    }

    // The request the cycle sends for one instrument and interval item.
    std::string Request(const std::string& instrument, int item, std::uint16_t port,
                        const std::string& cookie = "") const {
        return "GET /q.php?data_notowania=" + form->shortDateText() + "&nazwa_instrumentu=" + instrument +
               "&mst_omg=mst&time_period_l=fmin&time_period=" + Seconds[item] + "&send=on HTTP/1.1\r\n" +
               "Host: 127.0.0.1:" + std::to_string(port) + "\r\nAccept: text/html, */*\r\n" +
               "User-Agent: Mozilla/3.0 (compatible; VOR Library)\r\n" +
               (cookie.empty() ? "" : "Cookie: " + cookie + "\r\n") + "\r\n";
    }

    void Start() const { button()->click(); }
    std::string File(const std::string& name) const { return ReadFileBytes(dir.File(name)); }
    std::string Caption() const { return FromQString(form->windowTitle()); }
};

// Both answers of one cycle over one kept-alive connection.
Script BothAnswers(const std::string& first, const std::string& second) {
    return {WaitRequest(), SendRandomPieces(HttpOk(first), 1), WaitRequest(),
            SendRandomPieces(HttpOk(second), 2)};
}

}  // namespace

class DownloadCycleTest : public QObject {
    Q_OBJECT
private slots:
    void intervalTails() {
        QCOMPARE(IntervalTail(0), std::string("&mst_omg=mst&time_period_l=fmin&time_period=300&send=on"));
        QCOMPARE(IntervalTail(2), std::string("&mst_omg=mst&time_period_l=fmin&time_period=1800&send=on"));
        QCOMPARE(IntervalTail(-1), std::string());
        QCOMPARE(IntervalTail(3), std::string());
    }

    void aCycleFetchesRewritesAndExports_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("item");
        for (int format = 0; format < 2; ++format) {
            for (int item = 0; item < 3; ++item) {
                QTest::addRow("%s %s minutes", format == 0 ? "MetaStock" : "Omega", Minutes[item])
                    << format << item;
            }
        }
    }
    void aCycleFetchesRewritesAndExports() {
        QFETCH(int, format);
        QFETCH(int, item);
        const std::string m = Minutes[item];
        ScriptedServer server({BothAnswers(IndexBars(m), FuturesBars(m))});
        CycleForm started(server.Url("/q.php"));
        started.choose("RadioGroup1", item);
        started.choose("RadioGroup2", format);
        started.Start();

        QVERIFY(started.desktop.boxes.empty());
        QCOMPARE(SplitRequests(server.Received(0)),
                 (std::vector<std::string>{started.Request("WIG20", item, server.Port()),
                                           started.Request("FW20Z2", item, server.Port())}));
        QVERIFY(server.WaitForFinished(0));  // the cycle closes the connection at its end
        QCOMPARE(started.Caption().substr(0, LastCaption.size()), LastCaption);
        QVERIFY(started.Caption().size() > LastCaption.size());
        QVERIFY(started.timer()->isActive());
        if (format == 0) {
            QCOMPARE(ListFolder(started.dir.Path()), "data.txt vor" + m + ".txt");
            QCOMPARE(started.File("vor" + m + ".txt"), MetaStockFile(m));
            // The label shows the newest line within a frame of the window's drawing.
            QTRY_COMPARE(started.caption("Label3"),
                         "FW20[VOR]," + m + ",20020926,093500,1241.00,1243.00,1240.00,1242.00,41");
        } else {
            QCOMPARE(ListFolder(started.dir.Path()), "data.txt fw20vor" + m + ".txt w20vor" + m + ".txt");
            QCOMPARE(started.File("w20vor" + m + ".txt"),
                     std::string("20020926,0930,1234.00,1236.50,1230.00,1235.00,1200\r\n"
                                 "20020926,0935,1235.00,1237.10,1234.50,1236.20,800\r\n"));
            QCOMPARE(started.File("fw20vor" + m + ".txt"),
                     std::string("20020926,0930,1240.00,1242.00,1239.00,1241.00,35\r\n"
                                 "20020926,0935,1241.00,1243.00,1240.00,1242.00,41\r\n"));
            QTRY_COMPARE(started.caption("Label3"),
                         "FW20[VOR]," + m + ",20020926,0935,1241.00,1243.00,1240.00,1242.00,41");
        }
    }

    void emptyAnswersEmptyTheFiles() {
        ScriptedServer server({BothAnswers("", "")});
        CycleForm started(server.Url("/q.php"));
        WriteFileBytes(started.dir.File("vor5.txt"), "old\r\n");
        started.Start();
        QVERIFY(started.desktop.boxes.empty());
        QCOMPARE(started.Caption(), FailedCaption);
        QCOMPARE(started.File("vor5.txt"), std::string());
        QCOMPARE(started.caption("Label3"), std::string("FW20 - last"));
        QVERIFY(started.timer()->isActive());  // a cycle that ends normally re-arms the timer
    }

    void aFirstAnswerWithoutFinalLineBreakJoinsTheSecond() {
        ScriptedServer server({BothAnswers("WIG20,5,20020926,093000,1234.00", FuturesBars("5"))});
        CycleForm started(server.Url("/q.php"));
        started.Start();
        const std::string joined = "W20[VOR],5,20020926,093000,1234.00" + Header.substr(0, Header.size() - 2);
        QCOMPARE(started.form->line(0), joined);
        QCOMPARE(started.File("vor5.txt"),
                 joined + "\r\n" + MetaStockFile("5").substr(MetaStockFile("5").find("FW20")));
    }

    void failuresEndTheCycleAndStopTheTimer_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("404 on the first request") << QByteArray("HTTP/1.1 404 Not Found.");
        QTest::newRow("connection refused") << QByteArray("Socket Error # 10061\r\nConnection refused.");
    }
    void failuresEndTheCycleAndStopTheTimer() {
        QFETCH(QByteArray, message);
        const bool refused = message.startsWith("Socket");
        ScriptedServer server(
            {Respond(HttpResponse("HTTP/1.1 404 Not Found", {"Content-Length: 9"}, "not here."))});
        const std::string url = refused ? "http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/q.php"
                                        : server.Url("/q.php");
        CycleForm started(url);
        started.choose("RadioGroup2", 1);
        WriteFileBytes(started.dir.File("w20vor5.txt"), "old\r\n");
        started.Start();

        QCOMPARE(started.desktop.boxes.size(), std::size_t(1));
        QCOMPARE(QByteArray::fromStdString(started.desktop.boxes[0].message), message);
        QCOMPARE(started.desktop.boxes[0].caption, std::string("W20/FW20 by VOR"));
        QCOMPARE(started.form->text(), std::string());
        QCOMPARE(started.Caption(), std::string("Korvane W20/FW20 Project"));
        QCOMPARE(started.caption("Label3"), std::string("FW20 - last"));
        QCOMPARE(started.File("w20vor5.txt"), std::string("old\r\n"));
        QVERIFY(!started.timer()->isActive());
        if (!refused)
            QCOMPARE(SplitRequests(server.Received(0)).size(), std::size_t(1));  // no second request
    }

    void aRedirectIsFollowed() {
        ScriptedServer server(
            {{WaitRequest(),
              Send(HttpResponse("HTTP/1.1 302 Found", {"Location: /moved.php?n=1", "Content-Length: 5"},
                                "moved")),
              WaitRequest(), Send(HttpOk(IndexBars("5"))), WaitRequest(), Send(HttpOk(FuturesBars("5")))}});
        CycleForm started(server.Url("/q.php"));
        started.Start();
        QVERIFY(started.desktop.boxes.empty());
        const std::vector<std::string> requests = SplitRequests(server.Received(0));
        QCOMPARE(requests.size(), std::size_t(3));
        QVERIFY(requests[1].starts_with("GET /moved.php?n=1 HTTP/1.1\r\n"));
        QCOMPARE(started.File("vor5.txt"), MetaStockFile("5"));
    }

    void aCookieIsCarriedIntoTheNextCycle() {
        const Script setsCookie = {WaitRequest(),
                                   Send(HttpOk(IndexBars("5"), {"Set-Cookie: session=abc; path=/"})),
                                   WaitRequest(), Send(HttpOk(FuturesBars("5")))};
        ScriptedServer server({setsCookie, BothAnswers(IndexBars("5"), FuturesBars("5"))});
        CycleForm started(server.Url("/q.php"));
        started.Start();
        started.Start();
        QVERIFY(started.desktop.boxes.empty());
        QCOMPARE(server.ConnectionCount(), std::size_t(2));
        QCOMPARE(SplitRequests(server.Received(0)),
                 (std::vector<std::string>{started.Request("WIG20", 0, server.Port()),
                                           started.Request("FW20Z2", 0, server.Port(), "session=abc")}));
        QCOMPARE(SplitRequests(server.Received(1))[0],
                 started.Request("WIG20", 0, server.Port(), "session=abc"));
    }

    void startWhileWaitingRunsAtOnceAndRestartsThePeriod() {
        ScriptedServer server({BothAnswers(IndexBars("5"), FuturesBars("5"))});
        CycleForm started(server.Url("/q.php"));
        started.Start();
        QVERIFY(started.timer()->isActive());
        QTest::qWait(300);
        const int before = started.timer()->remainingTime();
        QVERIFY(before <= 59800);
        started.Start();
        QCOMPARE(server.ConnectionCount(), std::size_t(2));
        QVERIFY(started.timer()->isActive());
        QVERIFY(started.timer()->remainingTime() > before);
    }

    void startDuringACycleIsIgnored() {
        ScriptedServer server({BothAnswers(IndexBars("5"), FuturesBars("5"))});
        CycleForm started(server.Url("/q.php"));
        // Handled at the cycle's first event-processing point, while the cycle runs.
        QTimer::singleShot(0, started.button(), [&] { started.Start(); });
        started.Start();
        QVERIFY(started.desktop.boxes.empty());
        QCOMPARE(server.ConnectionCount(), std::size_t(1));
        QCOMPARE(SplitRequests(server.Received(0)).size(), std::size_t(2));
        QCOMPARE(started.File("vor5.txt"), MetaStockFile("5"));
        QVERIFY(started.timer()->isActive());
    }

    // The suite runs once without regional settings and once in Polish.
    void theDateGoesInTheUsersShortDateForm() {
        ScriptedServer server({BothAnswers(IndexBars("5"), FuturesBars("5"))});
        CycleForm started(server.Url("/q.php"));
        const bool polish = QLocale::system().language() == QLocale::Polish;
        QVERIFY(polish || QLocale::system().language() == QLocale::C);
        const std::string date = polish ? "26.09.2002" : "2002-09-26";
        QCOMPARE(started.form->shortDateText(), date);
        QCOMPARE(FromQString(started.form->findChild<QDateEdit*>("DateTimePicker1")->text()), date);
        started.Start();
        QVERIFY(
            SplitRequests(server.Received(0)).at(0).starts_with("GET /q.php?data_notowania=" + date + "&"));
    }

    // A real server refuses a request line with a blank in its target; the cycle's queries pass,
    // also for an instrument name that holds a blank, and also at an IPv6 address.
    void aWholeCycleIsAcceptedByARealServer_data() {
        QTest::addColumn<QString>("host");
        QTest::newRow("IPv4") << "127.0.0.1";
        QTest::newRow("IPv6") << "[::1]";
    }
    void aWholeCycleIsAcceptedByARealServer() {
        QFETCH(QString, host);
        TempDir documents;
        NginxServer nginx(documents.Path(),
                          "location = /q.php { default_type text/plain; return 200 $bars; }\n",
                          "map $arg_nazwa_instrumentu $bars {\n"
                          "  WIG%2020 \"WIG20,5,$arg_data_notowania,093000,1.00,2.00,0.50,1.50,10\r\n\";\n"
                          "  default \"FW20Z2,5,$arg_data_notowania,093000,3.00,4.00,2.50,3.50,20\r\n\";\n"
                          "}\n");
        StartedForm started(nginx.UrlFor(FromQString(host), "/q.php") +
                            "\r\nWIG 20\r\nFW20Z2\r\nFW20Z2\r\nWIG20\r\nnormal\r\n\r\n");
        started.button()->click();
        QVERIFY2(started.desktop.boxes.empty(),
                 started.desktop.boxes.empty() ? "" : started.desktop.boxes[0].message.c_str());
        const std::string date = started.form->shortDateText();
        QCOMPARE(ReadFileBytes(started.dir.File("vor5.txt")),
                 "W20[VOR],5," + date + ",093000,1.00,2.00,0.50,1.50,10\r\n" + "FW20[VOR],5," + date +
                     ",093000,3.00,4.00,2.50,3.50,20\r\n");
    }

    // The service at an https address, or behind an http address that redirects there: a whole
    // cycle over TLS, also through a proxy that https_proxy names when the window opens. The
    // service sends each request on by path ("Location: /q.php?s=1&..."), which stays on TLS. A
    // certificate the tool cannot trust, or a proxy that refuses, shows its message and writes
    // nothing.
    void aCycleOverTls_data() {
        QTest::addColumn<QString>("certificate");
        QTest::addColumn<bool>("redirected");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("proxy");
        // Empty: no proxy; else one that asks for Basic, named with these credentials ("-": none).
        QTest::newRow("https") << "good" << false << ""
                               << "";
        QTest::newRow("redirected to https") << "good" << true << ""
                                             << "";
        QTest::newRow("expired") << "expired" << false << "The server's certificate has expired."
                                 << "";
        QTest::newRow("wrong name") << "wrong-name" << false
                                    << "The server's certificate does not match the host localhost."
                                    << "";
        QTest::newRow("self-signed") << "self-signed" << false << "The server's certificate is not trusted."
                                     << "";
        QTest::newRow("through a proxy") << "good" << false << ""
                                         << "user:pass@";
        // Straight to the plain address, then through the proxy to where it redirects.
        QTest::newRow("redirected through a proxy") << "good" << true << ""
                                                    << "user:pass@";
        QTest::newRow("refused by the proxy")
            << "good" << false << "Proxy @ refused the tunnel: HTTP/1.0 407 Proxy Authentication Required."
            << "-";
    }
    void aCycleOverTls() {
        QFETCH(QString, certificate);
        QFETCH(bool, redirected);
        QFETCH(QString, message);
        QFETCH(QString, proxy);
        const std::string certificates = TrustedTestCertificates() + "/" + certificate.toStdString();
        TempDir documents;
        const std::string log = documents.File("access.log");
        const std::string bars = "absolute_redirect off;\naccess_log " + log +
                                 " scheme;\n"
                                 "location = /q.php {\n"
                                 "  if ($arg_s = \"\") { return 302 /q.php?s=1&$args; }\n"
                                 "  default_type text/plain; return 200 $bars;\n"
                                 "}\n";
        const std::string map =
            "log_format scheme '$scheme $arg_s';\n"
            "map $arg_nazwa_instrumentu $bars {\n"
            "  WIG20 \"WIG20,5,$arg_data_notowania,093000,1.00,2.00,0.50,1.50,10\r\n\";\n"
            "  default \"FW20Z2,5,$arg_data_notowania,093000,3.00,4.00,2.50,3.50,20\r\n\";\n"
            "}\n";
        NginxServer secure(documents.Path(), NginxTls(certificates + ".pem", certificates + ".key"), bars,
                           map);
        NginxServer plain(documents.Path(), "location / { return 301 " + secure.UrlFor("localhost") +
                                                "q.php$is_args$args; }\n");
        const std::string address = redirected ? plain.Url("/q.php") : secure.UrlFor("localhost", "/q.php");
        std::optional<TinyproxyServer> tinyproxy;
        std::string proxyAddress;
        if (!proxy.isEmpty()) {
            tinyproxy.emplace(std::vector<std::uint16_t>{secure.Port()}, "user", "pass");
            proxyAddress = "127.0.0.1:" + std::to_string(tinyproxy->Port());
            message.replace("@", QString::fromStdString(proxyAddress));
            const std::string credentials = proxy == "-" ? "" : proxy.toStdString();
            setenv("https_proxy", ("http://" + credentials + proxyAddress).c_str(), 1);
        }
        CycleForm started(address);
        unsetenv("https_proxy");
        WriteFileBytes(started.dir.File("vor5.txt"), "old\r\n");
        started.Start();
        const std::string date = started.form->shortDateText();
        if (message.isEmpty()) {
            QVERIFY2(started.desktop.boxes.empty(),
                     started.desktop.boxes.empty() ? "" : started.desktop.boxes[0].message.c_str());
            QCOMPARE(started.File("vor5.txt"), "W20[VOR],5," + date + ",093000,1.00,2.00,0.50,1.50,10\r\n" +
                                                   "FW20[VOR],5," + date +
                                                   ",093000,3.00,4.00,2.50,3.50,20\r\n");
            QTRY_COMPARE(ReadFileBytes(log), std::string("https -\nhttps 1\nhttps -\nhttps 1\n"));
        } else {
            QCOMPARE(started.desktop.boxes.size(), std::size_t{1});
            QCOMPARE(started.desktop.boxes[0].message, message.toStdString());
            QCOMPARE(started.File("vor5.txt"), std::string("old\r\n"));
            QVERIFY(!started.timer()->isActive());
        }
    }

    // The window is closed while the service keeps silent: the cycle gives up its wait at once,
    // quietly, and the program leaves its event loop.
    void closingDuringADownloadEndsItAndTheProgram() {
        ScriptedServer server({{WaitRequest(), Silent(Millis(5000))}}, {.waitBound = Millis(6000)});
        CycleForm started(server.Url("/q.php"));
        WriteFileBytes(started.dir.File("vor5.txt"), "old\r\n");
        started.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(started.form.get()));

        bool heldBack = false;  // the window stayed while the cycle still ran
        QTimer closer;
        closer.setInterval(20);
        connect(&closer, &QTimer::timeout, [&] {
            if (SplitRequests(server.Received(0)).empty())
                return;
            closer.stop();
            started.form->close();
            heldBack = started.form->isVisible() && started.form->Handlers().CycleRunning();
        });
        bool boundPassed = false;
        QTimer::singleShot(8000, qApp, [&] {
            boundPassed = true;
            QCoreApplication::quit();
        });
        QTimer::singleShot(0, started.button(), [&] {
            closer.start();
            started.Start();
        });
        const auto start = std::chrono::steady_clock::now();
        QCoreApplication::exec();

        QVERIFY(!boundPassed);
        QVERIFY(std::chrono::steady_clock::now() - start < std::chrono::seconds(2));
        QVERIFY(heldBack);
        QVERIFY(!started.form->isVisible());
        QVERIFY(started.desktop.boxes.empty());
        QVERIFY(!started.timer()->isActive());
        QCOMPARE(started.File("vor5.txt"), std::string("old\r\n"));
        QCOMPARE(started.Caption(), std::string("Korvane W20/FW20 Project"));
        QVERIFY(server.WaitForFinished(0));
    }

    void theDemoServiceServesAWholeCycle() {
        ChildProcess service({W20_DEMO_QUOTE_SERVER, "--port", "0"});
        const std::optional<std::string> announcement = service.ReadOutputLine(std::chrono::seconds(10));
        QVERIFY(announcement && announcement->starts_with("listening on "));
        const std::string address = announcement->substr(std::string("listening on ").size());
        StartedForm started("http://" + address +
                            "/quotes.php\r\nWIG20\r\nFWIG20\r\nFWIG20\r\nWIG20\r\nnormal\r\n\r\n");
        for (int format = 0; format < 2; ++format) {
            started.choose("RadioGroup2", format);
            started.button()->click();
        }
        QVERIFY(started.desktop.boxes.empty());
        const std::string metaStock = ReadFileBytes(started.dir.File("vor5.txt"));
        QCOMPARE(std::count(metaStock.begin(), metaStock.end(), '\n'), 2 * 96);
        QVERIFY(metaStock.starts_with("W20[VOR],5,"));
        QVERIFY(ReadFileBytes(started.dir.File("w20vor5.txt")).size() > 96 * 30);
        QVERIFY(ReadFileBytes(started.dir.File("fw20vor5.txt")).size() > 96 * 30);
        QTRY_VERIFY(started.caption("Label3").starts_with("FW20[VOR],5,"));
    }
};

QTEST_MAIN(DownloadCycleTest)
#include "DownloadCycleTest.moc"
