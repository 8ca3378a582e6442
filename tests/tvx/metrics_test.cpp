// tvx record's /metrics as a monitoring system meets it: raw HTTP requests, promtool's check of
// the text, and a real Prometheus that scrapes the recorder.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include "closed_port.h"
#include "event_wait.h"
#include "program_process.h"

namespace tvx {
namespace {

// Sends `request` and returns all that comes back until the server closes.
QByteArray Ask(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000)) return {};
    socket.write(request);
    socket.waitForDisconnected(30000);
    return socket.readAll();
}

QByteArray Body(const QByteArray& answer) {
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

// Checks `done` every 200 ms (the servers started here give nothing else to wake on).
bool WaitFor(const std::function<bool()>& done) {
    QTimer tick;
    tick.start(200);
    return WaitUntil(done, 60.0, WaitMode::ServeUserInput, {WakeSource(&tick, &QTimer::timeout)})
        .done;
}

TEST(TvxMetrics, ScrapesAreAnsweredCheckedAndStoredByPrometheus) {
    sim::SimThread a, b;
    ASSERT_TRUE(a.Start() && b.Start());
    QTemporaryDir dir;
    const auto record = [&](const QString& metrics, const char* folder) {
        return QStringList{"record",
                           "--metrics",
                           metrics,
                           "--csv",
                           dir.filePath(folder),
                           QStringLiteral("--sensor=a=tcp://127.0.0.1:%1").arg(a.TcpPort()),
                           QStringLiteral("--sensor=b=tcp://127.0.0.1:%1").arg(b.TcpPort())};
    };
    QProcess recorder;
    StartProgram(recorder, QStringLiteral(TVX_EXE), record("0", "rec"), false);
    const QRegularExpression url(QStringLiteral("tvx: metrics on http://127.0.0.1:(\\d+)/"));
    QString said;
    ASSERT_TRUE(
        WaitFor([&] { return url.match(said += recorder.readAllStandardError()).hasMatch(); }));
    const quint16 port = url.match(said).captured(1).toUShort();

    const QByteArray scrape =
        "HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4; charset=utf-8\r\n";
    const struct {
        QByteArray request, answer;
    } cases[] = {
        {"GET /metrics HTTP/1.1\r\nHost: tvx\r\n\r\n", scrape},
        {"HEAD /metrics?x=1 HTTP/1.0\n\n", scrape},
        {"GET /other HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found\r\n"},
        {"POST /metrics HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc",
         "HTTP/1.1 405 Method Not Allowed\r\n"},
        {"garbage\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {"GET /metrics HTTP/1.1\r\nX: " + QByteArray(20000, 'x'), "HTTP/1.1 400 Bad Request\r\n"},
        {"", ""},  // says nothing: dropped after a while
    };
    QByteArray scraped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.left(30).toStdString());
        const QByteArray answer = Ask(port, c.request), body = Body(answer);
        EXPECT_TRUE(answer.startsWith(c.answer)) << answer.toStdString();
        // The length announced is the body's; HEAD announces the length of a body it leaves out.
        EXPECT_EQ(answer.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"),
                  !answer.isEmpty() && !c.request.startsWith("HEAD"));
        if (scraped.isEmpty()) scraped = body;
    }
    for (const char* name : {"a", "b"})
        EXPECT_TRUE(scraped.contains(QByteArray("\ntvx_frames_total{sensor=\"") + name + "\"} "));
    QProcess promtool;
    promtool.start(QStringLiteral("promtool"), {"check", "metrics"});
    promtool.write(scraped);
    promtool.closeWriteChannel();
    ASSERT_TRUE(promtool.waitForFinished(30000));
    EXPECT_EQ(promtool.exitCode(), 0) << promtool.readAllStandardError().toStdString();

    // An address that cannot be had ends the start with one line, before anything is made.
    const QString inUse = QStringLiteral("127.0.0.1:%1").arg(port);
    for (const auto& [metrics, status, says] :
         {std::tuple{inUse, 1, "tvx: metrics: cannot listen on " + inUse + ": "},
          {"192.0.2.1:0", 1, "tvx: metrics: cannot listen on 192.0.2.1:0: "},
          {"65536", 2,
           "tvx: --metrics expects [HOST:]PORT, PORT from 0 to 65535, got \"65536\""}}) {
        QProcess refused;
        StartProgram(refused, QStringLiteral(TVX_EXE), record(metrics, "never"), false);
        ASSERT_TRUE(refused.waitForFinished(30000));
        const QString error = QString::fromUtf8(refused.readAllStandardError());
        EXPECT_EQ(refused.exitCode(), status);
        EXPECT_TRUE(error.startsWith(says) && error.count('\n') == 1) << qPrintable(error);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("never")));

    // Prometheus, scraping every second, holds a series of every sensor.
    QFile config(dir.filePath("prometheus.yml"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        "global: {scrape_interval: 1s}\nscrape_configs: [{job_name: tvx, static_configs: "
        "[{targets: ['" +
        inUse.toUtf8() + "']}]}]\n");
    config.close();
    const quint16 prometheusPort = ClosedLocalPort();
    QProcess prometheus;
    prometheus.start(
        QStringLiteral("prometheus"),
        {"--config.file=" + config.fileName(), "--storage.tsdb.path=" + dir.filePath("tsdb"),
         QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort)});
    QStringList stored;
    EXPECT_TRUE(WaitFor([&] {
        stored.clear();
        const QByteArray answer =
            Ask(prometheusPort, "GET /api/v1/query?query=tvx_frames_total HTTP/1.0\r\n\r\n");
        for (const QJsonValue series :
             QJsonDocument::fromJson(Body(answer))["data"]["result"].toArray())
            stored << series["metric"]["sensor"].toString();
        return stored.size() == 2;
    }));
    stored.sort();
    EXPECT_EQ(stored, QStringList({"a", "b"}));
    EXPECT_EQ(Terminate(prometheus), 0);
    EXPECT_EQ(Terminate(recorder), 0);
}

}  // namespace
}  // namespace tvx
