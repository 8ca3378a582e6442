// tvx record with a real Mosquitto broker that goes away and comes back, a recorder killed while
// frames wait in its spool, and brokers that want TLS and a password; the broker client's
// failures in words, and which of them trying again cannot mend.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>

#include "closed_port.h"
#include "event_wait.h"
#include "frame_spool.h"
#include "mqtt_client.h"
#include "program_process.h"
#include "sim_thread.h"

namespace tvx {
namespace {

bool WaitFor(QProcess& process, const std::function<bool(const QString&)>& condition, QString& seen,
             bool fromStderr = false) {
    return WaitUntil(
               [&] {
                   seen += QString::fromUtf8(fromStderr ? process.readAllStandardError()
                                                        : process.readAllStandardOutput());
                   return condition(seen);
               },
               60.0, WaitMode::ServeUserInput,
               {WakeSource(&process, fromStderr ? &QProcess::readyReadStandardError
                                                : &QProcess::readyReadStandardOutput)})
        .done;
}

bool WaitForCount(QProcess& process, const QString& needle, int count, QString& seen,
                  bool fromStderr = true) {
    return WaitFor(
        process, [&](const QString& t) { return t.count(needle) >= count; }, seen, fromStderr);
}

// A broker on loopback ports of its own that keeps its sessions on disk across a restart.
struct Broker {
    QTemporaryDir dir;
    quint16 port = ClosedLocalPort();
    QProcess process;

    bool Start(const QString& listeners = {}) {
        QFile conf(dir.filePath("mosquitto.conf"));
        if (!conf.exists()) {
            conf.open(QIODevice::WriteOnly);
            conf.write(QStringLiteral("persistence true\npersistence_location %1/\n"
                                      "max_queued_messages 0\nuser root\nlog_type notice\nlog_type "
                                      "information\nlog_type subscribe\n")
                           .arg(dir.path())
                           .toUtf8() +
                       (listeners.isEmpty() ? QStringLiteral("listener %1 127.0.0.1\n"
                                                             "allow_anonymous true\n")
                                                  .arg(port)
                                            : listeners)
                           .toUtf8());
            conf.close();
        }
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start("mosquitto", {"-c", conf.fileName()});
        QString seen;
        return WaitForCount(process, " running", 1, seen, false);
    }
};

QStringList SensorArgs(std::vector<std::unique_ptr<sim::SimThread>>& sensors) {
    QStringList args;
    for (const char* name : {"a", "b", "c"}) {
        sensors.push_back(std::make_unique<sim::SimThread>());
        EXPECT_TRUE(sensors.back()->Start());
        args << "--sensor"
             << QStringLiteral("%1=tcp://127.0.0.1:%2").arg(name).arg(sensors.back()->TcpPort());
    }
    return args;
}

// `more` requests to each of the first `count` sensors.
void AwaitMoreFrames(std::vector<std::unique_ptr<sim::SimThread>>& sensors, int more,
                     std::size_t count = 3) {
    for (std::size_t i = 0; i < count; ++i) {
        auto& sensor = sensors.at(i);
        ASSERT_TRUE(
            sensor->Server().WaitForRequests(sensor->Server().RequestCount() + more, 30000));
    }
}

// Each sensor's frames as the subscriber prints them ("plant/NAME/frame {...}"), once the last
// has come: every number from 1 to the sensor's last, none for two different frames, in the order
// of their times.
void ExpectEveryNumberOnce(QProcess& sub, QString& received,
                           const std::map<QString, long long>& lastSeq) {
    ASSERT_TRUE(WaitFor(
        sub,
        [&](const QString& t) {
            return std::all_of(lastSeq.begin(), lastSeq.end(), [&](const auto& e) {
                return t.contains(
                    QStringLiteral("plant/%1/frame {\"seq\":%2,").arg(e.first).arg(e.second));
            });
        },
        received))
        << qPrintable(received.right(1500));
    std::map<QString, std::map<long long, QString>> times;  // per sensor: each number's time
    for (const QString& line : received.split('\n')) {
        if (!line.startsWith("plant/")) continue;
        const QJsonObject frame = QJsonDocument::fromJson(line.section(' ', 1).toUtf8()).object();
        auto& sensor = times[line.section('/', 1, 1)];
        const long long seq = frame.value("seq").toInteger();
        const QString time = frame.value("time").toString();
        const auto [known, fresh] = sensor.emplace(seq, time);
        EXPECT_EQ(known->second, time)
            << "number " << seq << " for two frames: " << qPrintable(line);
        if (fresh && known != sensor.begin()) {
            EXPECT_GE(time, std::prev(known)->second) << qPrintable(line);
        }
    }
    for (const auto& [name, last] : lastSeq) {
        const auto& numbers = times[name];
        ASSERT_FALSE(numbers.empty()) << qPrintable(name);
        EXPECT_EQ(numbers.begin()->first, 1) << qPrintable(name);
        EXPECT_EQ(numbers.rbegin()->first, last) << qPrintable(name);
        EXPECT_EQ(std::ssize(numbers), last) << "a gap in " << qPrintable(name);
    }
}

// Every frame of every sensor reaches a subscriber in order with its original time, though the
// recorder starts while the broker is away and is killed and started again before it comes, and a
// sensor leaves the recording before its frames went: every number from 1 with no gap and none
// for two frames, the leaver's frames delivered and then gone from the spool, one broker
// connection for all sensors, and the numbers run on in the next recording.
TEST(MqttStore, EveryFrameArrivesNumberedOnceThroughAStartWithoutBrokerAKillAndARemoval) {
    Broker broker;
    ASSERT_TRUE(broker.Start());
    std::vector<std::unique_ptr<sim::SimThread>> sensors;
    const QStringList sensorArgs = SensorArgs(sensors);
    QTemporaryDir spoolDir;
    const QString config = spoolDir.filePath("record.conf");
    const auto configure = [&](int sensorCount) {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QString text = QStringLiteral(
                           "[record]\nmqtt = 127.0.0.1:%1\ntopic = plant\nspool = %2\n"
                           "[sensors]\n")
                           .arg(broker.port)
                           .arg(spoolDir.path());
        for (int i = 0; i < sensorCount; ++i)
            text += QString(sensorArgs[2 * i + 1]).replace('=', " = ") + '\n';
        file.write(text.toUtf8());
    };
    configure(3);
    QProcess sub, first, second, again;
    sub.start("mosquitto_sub", {"-p", QString::number(broker.port), "-i", "tvx-test", "-c", "-q",
                                "1", "-v", "-t", "plant/+/frame"});
    QString received, said, brokerSaid;
    ASSERT_TRUE(WaitForCount(broker.process, "tvx-test 1 plant/+/frame", 1, brokerSaid, false));
    EXPECT_EQ(Terminate(broker.process), 0);  // the subscriber's session stays on disk

    const QString away = "recording to the spool until the broker answers";
    StartProgram(first, TVX_EXE, {"record", "--config", config}, false);
    ASSERT_TRUE(WaitForCount(first, away, 1, said)) << qPrintable(said);
    AwaitMoreFrames(sensors, 20);
    first.kill();
    first.waitForFinished();
    said.clear();
    StartProgram(second, TVX_EXE, {"record", "--config", config}, false);
    ASSERT_TRUE(WaitForCount(second, away, 1, said)) << qPrintable(said);
    AwaitMoreFrames(sensors, 20);
    configure(2);
    ::kill(static_cast<pid_t>(second.processId()), SIGHUP);
    ASSERT_TRUE(WaitForCount(second, "c: removed", 1, said)) << qPrintable(said);
    AwaitMoreFrames(sensors, 20, 2);
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitForCount(second, "back: sending", 1, said)) << qPrintable(said);
    const QRegularExpression recorder(" as tvx-(?!test)");
    ASSERT_TRUE(WaitFor(
        broker.process, [&](const QString& t) { return t.count(recorder) > 0; }, brokerSaid));
    AwaitMoreFrames(sensors, 20, 2);
    EXPECT_EQ(Terminate(second), 0);
    brokerSaid += QString::fromUtf8(broker.process.readAll());
    EXPECT_EQ(brokerSaid.count(recorder), 1) << "one broker connection for every sensor";

    const QString spoolFile =
        spoolDir.filePath(QStringLiteral("127.0.0.1_%1_plant.spool").arg(broker.port));
    std::map<QString, long long> lastSeq;
    {
        cli::FrameSpool spool;
        QString error, notice;
        ASSERT_TRUE(spool.Open(spoolFile, 1 << 30, error, notice)) << qPrintable(error);
        EXPECT_EQ(spool.Frames("c"), 0) << "the removed sensor's frames went and were released";
        lastSeq["c"] = spool.LastSeq("c");
        for (const char* name : {"a", "b"}) lastSeq[name] = spool.LastSeq(name) + 20;
    }
    StartProgram(again, TVX_EXE,
                 QStringList{"record", "--mqtt", QStringLiteral("127.0.0.1:%1").arg(broker.port),
                             "--topic", "plant", "--spool", spoolDir.path(), "--count", "20"} +
                     sensorArgs.mid(0, 4),
                 false);
    ASSERT_TRUE(again.waitForFinished(60000));
    EXPECT_EQ(again.exitCode(), 0) << again.readAllStandardError().constData();
    ExpectEveryNumberOnce(sub, received, lastSeq);
    sub.kill();
    sub.waitForFinished();
    Terminate(broker.process);
}

// A broker that takes the connection and refuses every frame (its access list): said in one
// line, the frames wait in the spool, and go, every one, once the broker takes them.
TEST(MqttStore, FramesTheBrokerRefusesWaitInTheSpoolUntilItTakesThem) {
    Broker broker;
    const QString acl = broker.dir.filePath("acl");
    const auto allow = [&](const QByteArray& rules) {
        QFile file(acl);
        return file.open(QIODevice::WriteOnly) && file.write(rules) == rules.size();
    };
    ASSERT_TRUE(
        allow("topic read plant/#\ntopic write plant/+/status\n"
              "topic write plant/_recorder/#\n"));
    ASSERT_TRUE(broker.Start(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                            "acl_file %2\n")
                                 .arg(broker.port)
                                 .arg(acl)));
    std::vector<std::unique_ptr<sim::SimThread>> sensors;
    QTemporaryDir spoolDir;
    QProcess sub, recorder;
    sub.start("mosquitto_sub",
              {"-p", QString::number(broker.port), "-q", "1", "-v", "-t", "plant/+/frame"});
    QString received, said, brokerSaid;
    ASSERT_TRUE(WaitForCount(broker.process, " 1 plant/+/frame", 1, brokerSaid, false));
    StartProgram(recorder, TVX_EXE,
                 QStringList{"record", "--mqtt", QStringLiteral("127.0.0.1:%1").arg(broker.port),
                             "--topic", "plant", "--spool", spoolDir.path()} +
                     SensorArgs(sensors),
                 false);
    ASSERT_TRUE(WaitForCount(recorder, "refuses frames on plant/", 1, said)) << qPrintable(said);
    EXPECT_TRUE(said.contains("not authori")) << qPrintable(said);
    AwaitMoreFrames(sensors, 20);
    ASSERT_TRUE(allow("topic readwrite plant/#\n"));
    ::kill(static_cast<pid_t>(broker.process.processId()), SIGHUP);
    ASSERT_TRUE(WaitForCount(recorder, "takes the frames again", 1, said)) << qPrintable(said);
    EXPECT_EQ(said.count("refuses frames"), 1) << qPrintable(said);
    EXPECT_EQ(Terminate(recorder), 0);
    std::map<QString, long long> lastSeq;
    {
        cli::FrameSpool spool;
        QString error, notice;
        ASSERT_TRUE(spool.Open(
            spoolDir.filePath(QStringLiteral("127.0.0.1_%1_plant.spool").arg(broker.port)), 1 << 30,
            error, notice))
            << qPrintable(error);
        for (const char* name : {"a", "b", "c"}) lastSeq[name] = spool.LastSeq(name);
    }
    ExpectEveryNumberOnce(sub, received, lastSeq);
    sub.kill();
    sub.waitForFinished();
    Terminate(broker.process);
}

// A subscription of quality 1 gets the retained message first, then what is published, each with
// its flag; the broker grants it, and takes what the client publishes.
TEST(MqttStore, ASubscriptionGetsTheRetainedMessageThenWhatIsPublished) {
    Broker broker;
    ASSERT_TRUE(broker.Start());
    ASSERT_EQ(QProcess::execute("mosquitto_pub", {"-p", QString::number(broker.port), "-q", "1",
                                                  "-r", "-t", "plant/a/state", "-m", "kept"}),
              0);
    cli::MqttClient client("tvx-test", "127.0.0.1", broker.port, "plant/status", "{}");
    QStringList got, taken;
    QObject::connect(&client, &cli::MqttClient::message,
                     [&](const QString& topic, const QByteArray& payload, bool retained) {
                         got << topic + ' ' + payload + (retained ? " retained" : "");
                     });
    QObject::connect(&client, &cli::MqttClient::acknowledged,
                     [&](int mid) { taken << QString::number(mid); });
    const auto await = [&](const std::function<bool()>& done) {
        return WaitUntil(done, 30.0, WaitMode::ServeUserInput,
                         {WakeSource(&client, &cli::MqttClient::stateChanged),
                          WakeSource(&client, &cli::MqttClient::message)})
            .done;
    };
    client.Start();
    ASSERT_TRUE(await([&] { return client.Connected(); })) << qPrintable(client.LastError());
    const int subscription = client.Subscribe("plant/+/#", 1);
    ASSERT_TRUE(await([&] { return got.size() == 1; }));
    const int mid = client.Publish("plant/a/order", "go", 1, false);
    ASSERT_TRUE(await([&] { return got.size() == 2 && client.Unacknowledged() == 0; }));
    EXPECT_EQ(got, QStringList({"plant/a/state kept retained", "plant/a/order go"}));
    EXPECT_EQ(taken, QStringList({QString::number(subscription), QString::number(mid)}));
    client.Disconnect();
    Terminate(broker.process);
}

// TLS with the broker's certificate checked against a CA and the host name, a password from a
// file; every refusal and every file that cannot be used is said in one line with status 1, its
// cause in plain words. The client says, beside why, whether trying again can mend it.
TEST(MqttStore, TlsPasswordsBadFilesAndDeadBrokersEachEndAsTheySay) {
    Broker broker;
    const quint16 other = ClosedLocalPort();
    const QString d = broker.dir.path() + '/';
    QProcess make;
    make.setProcessChannelMode(QProcess::MergedChannels);
    make.setWorkingDirectory(d);
    make.start("sh", {"-ec", R"(
        key() { openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "$@" 2>/dev/null; }
        key -x509 -days 1 -subj /CN=ca -keyout ca.key -out ca.crt
        key -x509 -days 1 -subj /CN=ca -keyout wrong.key -out wrong.crt
        for name in good:IP:127.0.0.1 elsewhere:DNS:elsewhere.invalid; do
          key -subj /CN=broker -keyout ${name%%:*}.key -out ${name%%:*}.csr
          echo "subjectAltName=${name#*:}" > ext
          openssl x509 -req -days 1 -in ${name%%:*}.csr -CA ca.crt -CAkey ca.key -CAcreateserial \
            -extfile ext -out ${name%%:*}.crt 2>/dev/null
        done
        mosquitto_passwd -c -b passwords line-3 secret
        echo secret > right; echo guess > wrong; echo no > damaged.spool
        chmod 644 *.key passwords)"});
    ASSERT_TRUE(make.waitForFinished(60000));
    ASSERT_EQ(make.exitCode(), 0) << make.readAll().constData();
    QString listeners = "allow_anonymous false\npassword_file " + d + "passwords\n";
    for (const auto& [port, cert] : {std::pair{broker.port, "good"}, {other, "elsewhere"}})
        listeners +=
            QStringLiteral(
                "listener %1 127.0.0.1\ncafile %2ca.crt\ncertfile %2%3.crt\nkeyfile %2%3.key\n")
                .arg(port)
                .arg(d, cert);
    ASSERT_TRUE(broker.Start(listeners));
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start());
    const struct {
        quint16 port;
        QString ca, password, spool;
        int status;
        QString says;
    } cases[] = {
        {broker.port, "ca.crt", "right", "s", 0, ""},
        {broker.port, "wrong.crt", "right", "s", 1,
         "certificate check failed: the broker's certificate is not signed by the CA in \"" + d +
             "wrong.crt\""},
        {other, "ca.crt", "right", "s", 1,
         "certificate check failed: the broker's certificate is for elsewhere.invalid, not "
         "127.0.0.1"},
        {broker.port, "ca.crt", "wrong", "s", 1, "login refused: not authorised"},
        {broker.port, "missing.crt", "right", "s", 1, "CA file \"" + d + "missing.crt\""},
        {broker.port, "right", "right", "s", 1,
         "CA file \"" + d + "right\" holds no certificate that can be used"},
        {broker.port, "ca.crt", "missing", "s", 1, "password file \"" + d + "missing\""},
        {broker.port, "ca.crt", "right", "right/sub", 1, "spool folder \"" + d + "right/sub\""},
        {broker.port, "ca.crt", "right", "damaged", 0,
         "was damaged: moved aside as \"" + d + "damaged/"},
    };
    QDir().mkpath(d + "damaged");
    QFile::copy(d + "damaged.spool",
                QStringLiteral("%1damaged/127.0.0.1_%2_tvx.spool").arg(d).arg(broker.port));
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.says));
        QProcess tvx;
        StartProgram(tvx, TVX_EXE,
                     {"record", "--count", "3", "--mqtt",
                      QStringLiteral("127.0.0.1:%1").arg(c.port), "--mqtt-cafile", d + c.ca,
                      "--mqtt-user", "line-3", "--mqtt-password-file", d + c.password, "--spool",
                      d + c.spool, "--tcp", QStringLiteral("127.0.0.1:%1").arg(sensor.TcpPort())},
                     false);
        ASSERT_TRUE(tvx.waitForFinished(60000));
        const QString err = QString::fromUtf8(tvx.readAllStandardError());
        EXPECT_EQ(tvx.exitCode(), c.status) << qPrintable(err);
        EXPECT_TRUE(err.contains(c.says)) << qPrintable(err);
        EXPECT_FALSE(err.contains("kept")) << qPrintable(err);
        if (c.status != 0) {
            EXPECT_EQ(err.count('\n'), 1) << qPrintable(err);
        }
    }

    QTcpServer silent;  // takes the connection and never answers it
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const struct {
        QString host;
        quint16 port;
        QString ca, password, says;
        bool cannotMend;
    } clientCases[] = {
        {"127.0.0.1", broker.port, "ca.crt", "secret", "", false},
        {"127.0.0.1", ClosedLocalPort(), "", "", "connection refused", false},
        {"127.0.0.1", ClosedLocalPort(), "ca.crt", "", "connection refused", false},
        {"no-such-host.invalid", broker.port, "", "",
         "host name \"no-such-host.invalid\" does not resolve", false},
        {"127.0.0.1", silent.serverPort(), "", "", "no answer from the broker within 5 s", false},
        {"127.0.0.1", broker.port, "wrong.crt", "secret", "is not signed by the CA", true},
        {"localhost", broker.port, "ca.crt", "secret",
         "the broker's certificate is for 127.0.0.1, broker, not localhost", true},
        {"127.0.0.1", broker.port, "ca.crt", "guess", "login refused: not authorised", true},
    };
    for (const auto& c : clientCases) {
        SCOPED_TRACE(qPrintable(c.host + ' ' + c.says));
        cli::MqttClient client("tvx-test", c.host, c.port, "t/status", "{}",
                               {c.ca.isEmpty() ? QString() : d + c.ca, "line-3", c.password});
        client.Start();
        ASSERT_TRUE(WaitUntil([&] { return client.Settled(); }, 30.0, WaitMode::ServeUserInput,
                              {WakeSource(&client, &cli::MqttClient::stateChanged)})
                        .done);
        EXPECT_EQ(client.Connected(), c.says.isEmpty());
        EXPECT_TRUE(client.LastError().contains(c.says)) << qPrintable(client.LastError());
        EXPECT_EQ(client.RetryCannotMend(), c.cannotMend);
        client.Disconnect();
    }

    // A password changed on the broker while recording is said; the recording goes on.
    QProcess recording;
    StartProgram(
        recording, TVX_EXE,
        {"record", "--mqtt", QStringLiteral("127.0.0.1:%1").arg(broker.port), "--mqtt-cafile",
         d + "ca.crt", "--mqtt-user", "line-3", "--mqtt-password-file", d + "right", "--spool",
         d + "s", "--tcp", QStringLiteral("127.0.0.1:%1").arg(sensor.TcpPort())},
        false);
    QString said;
    ASSERT_TRUE(WaitForCount(recording, "online", 1, said)) << qPrintable(said);
    EXPECT_EQ(Terminate(broker.process), 0);
    EXPECT_EQ(QProcess::execute("mosquitto_passwd", {"-b", d + "passwords", "line-3", "new"}), 0);
    ASSERT_TRUE(broker.Start());
    ASSERT_TRUE(WaitForCount(recording, "not authorised", 1, said)) << qPrintable(said);
    EXPECT_EQ(Terminate(recording), 0) << qPrintable(said);
    Terminate(broker.process);
}

}  // namespace
}  // namespace tvx
