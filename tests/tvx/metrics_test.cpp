// tvx record's /metrics as a monitoring system meets it: raw HTTP requests, promtool's check of
// the text, and a real Prometheus that scrapes the recorder and evaluates the packaged alert rules.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include "closed_port.h"
#include "event_wait.h"
#include "program_process.h"

namespace tvx {
namespace {

// Sends `request` and returns all that comes back until the server closes the connection.
QByteArray Ask(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write(request);
    return socket.waitForDisconnected(30000) ? socket.readAll() : "(not closed)";
}

// Checks `done` every 200 ms: the servers started here give nothing else to wake on.
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
    // c never answers.
    const QStringList sensors = {
        QStringLiteral("--sensor=a=tcp://127.0.0.1:%1").arg(a.TcpPort()),
        QStringLiteral("--sensor=b=tcp://127.0.0.1:%1").arg(b.TcpPort()),
        QStringLiteral("--sensor=c=tcp://127.0.0.1:%1").arg(ClosedLocalPort())};
    const auto record = [&](const QString& metrics, const char* folder) {
        return QStringList{"record", "--metrics", metrics, "--csv", dir.filePath(folder)} + sensors;
    };
    const quint16 port = ClosedLocalPort();
    const QString at = QStringLiteral("127.0.0.1:%1").arg(port);
    QProcess recorder;
    StartProgram(recorder, QStringLiteral(TVX_EXE), record(at, "rec"), false);
    ASSERT_TRUE(
        WaitFor([&] { return Ask(port, "GET / HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 404"); }));

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
        {"", ""},  // says nothing: closed after a while
    };
    QByteArray scraped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.left(30).toStdString());
        const QByteArray answer = Ask(port, c.request),
                         body = answer.mid(answer.indexOf("\r\n\r\n") + 4);
        EXPECT_TRUE(answer.startsWith(c.answer)) << answer.toStdString();
        // The length announced is the body's; HEAD announces the length of a body it leaves out.
        EXPECT_EQ(answer.contains("Content-Length: " + QByteArray::number(body.size()) + "\r\n"),
                  !answer.isEmpty() && !c.request.startsWith("HEAD"));
        if (scraped.isEmpty()) scraped = body;
    }
    EXPECT_TRUE(scraped.contains("\ntvx_frames_total{sensor=\"a\"} ") &&
                scraped.contains("\ntvx_exchange_seconds_bucket{sensor=\"b\",le=\"0.0005\"} ") &&
                scraped.contains("\ntvx_loop_lag_seconds_bucket{le=\"+Inf\"} "));
    // The simulated sensor's point sits at its taught colour's centre.
    EXPECT_TRUE(scraped.contains("\ntvx_margin_ratio{sensor=\"a\"} 1\n") &&
                scraped.contains("\ntvx_no_match_frames_total{sensor=\"a\"} 0\n"))
        << scraped.toStdString();
    // Before any failure every kind is there at 0, so that an increase sees the first one.
    EXPECT_TRUE(
        scraped.contains("\ntvx_exchange_failures_total{sensor=\"a\",kind=\"no_reply\"} 0\n"))
        << scraped.toStdString();
    QProcess promtool;
    promtool.start(QStringLiteral("promtool"), {"check", "metrics"});
    promtool.write(scraped);
    promtool.closeWriteChannel();
    EXPECT_TRUE(promtool.waitForFinished(30000) && promtool.exitCode() == 0)
        << promtool.readAllStandardError().toStdString();

    // An address that cannot be had ends the start with one line, before anything is made.
    for (const auto& [metrics, status, says] :
         {std::tuple{at, 1, "tvx: metrics: cannot listen on " + at + ": "},
          {"192.0.2.1:9", 1, "tvx: metrics: cannot listen on 192.0.2.1:9: "},
          {"65536", 2,
           "tvx: --metrics expects [HOST:]PORT, PORT from 1 to 65535, got \"65536\""}}) {
        QProcess refused;
        StartProgram(refused, QStringLiteral(TVX_EXE), record(metrics, "never"), false);
        const QString error = refused.waitForFinished(30000) ? refused.readAllStandardError() : "";
        EXPECT_EQ(refused.exitCode(), status);
        EXPECT_TRUE(error.startsWith(says) && error.count('\n') == 1) << qPrintable(error);
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("never")));

    // Prometheus, scraping every second, holds a series of every sensor, and evaluates the
    // packaged alert rules named in its rule_files.
    QFile config(dir.filePath("prometheus.yml"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write(
        "global: {scrape_interval: 1s, evaluation_interval: 1s}\nrule_files: ['" TVX_ALERT_RULES
        "']\nscrape_configs: [{job_name: tvx, "
        "static_configs: [{targets: ['" +
        at.toUtf8() + "']}]}]\n");
    config.close();
    const quint16 prometheusPort = ClosedLocalPort();
    QProcess prometheus;
    prometheus.start(
        QStringLiteral("prometheus"),
        {"--config.file=" + config.fileName(), "--storage.tsdb.path=" + dir.filePath("tsdb"),
         QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(prometheusPort)});
    EXPECT_TRUE(WaitFor([&] {
        const QByteArray stored =
            Ask(prometheusPort, "GET /api/v1/query?query=tvx_frames_total HTTP/1.0\r\n\r\n");
        return stored.contains("\"sensor\":\"a\"") && stored.contains("\"sensor\":\"b\"");
    }));
    // The offline sensor's alert waits out its minute; the others have none.
    QByteArray alerts;
    EXPECT_TRUE(WaitFor([&] {
        alerts = Ask(prometheusPort, "GET /api/v1/alerts HTTP/1.0\r\n\r\n");
        return alerts.contains("\"alertname\":\"TvxSensorLinkDown\"");
    }));
    EXPECT_TRUE(alerts.contains("\"sensor\":\"c\"") && alerts.contains("\"state\":\"pending\"") &&
                !alerts.contains("\"sensor\":\"a\"") && !alerts.contains("\"sensor\":\"b\""))
        << alerts.toStdString();
    EXPECT_EQ(Terminate(prometheus), 0);
    EXPECT_EQ(Terminate(recorder), 0);
}

// Every metric the packaged alert rules ask for is served, with a sample: a rule on a name the
// recorder does not serve would stay silent for ever. The names are read from the rules' one-line
// expressions, so the rules file is the one list. The broker is away, as the spool's series are
// served only with --mqtt.
TEST(TvxMetrics, EveryMetricTheAlertRulesUseIsServed) {
    QFile rules(QStringLiteral(TVX_ALERT_RULES));
    ASSERT_TRUE(rules.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpression expr(QStringLiteral(R"(^\s*expr:(.*)$)")),
        metric(QStringLiteral(R"(\btvx_[a-z_]+)"));
    QSet<QString> names;
    for (const QString& line : QString::fromUtf8(rules.readAll()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch rule = expr.match(line);
        if (!rule.hasMatch()) continue;
        QRegularExpressionMatchIterator found = metric.globalMatch(rule.captured(1));
        EXPECT_TRUE(found.hasNext())
            << "an expression on one line naming its metrics: " << qPrintable(line);
        while (found.hasNext()) names.insert(found.next().captured());
    }
    ASSERT_FALSE(names.isEmpty());

    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    QTemporaryDir dir;
    const quint16 port = ClosedLocalPort();
    quint16 broker = port;
    while (broker == port) broker = ClosedLocalPort();
    QProcess recorder;
    StartProgram(recorder, QStringLiteral(TVX_EXE),
                 {"record", "--metrics", QString::number(port), "--mqtt",
                  QStringLiteral("127.0.0.1:%1").arg(broker), "--spool", dir.path(),
                  QStringLiteral("--sensor=a=tcp://127.0.0.1:%1").arg(sensor.TcpPort())},
                 false);
    QByteArray scraped;  // once the first frame's margin is in
    EXPECT_TRUE(WaitFor([&] {
        scraped = Ask(port, "GET /metrics HTTP/1.0\r\n\r\n");
        return scraped.contains("\ntvx_margin_ratio{");
    }));
    for (const QString& name : names)
        EXPECT_TRUE(scraped.contains('\n' + name.toUtf8() + '{')) << qPrintable(name);
    EXPECT_EQ(Terminate(recorder), 0);
}

}  // namespace
}  // namespace tvx
