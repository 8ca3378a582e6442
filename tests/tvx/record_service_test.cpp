// tvx record as a service: its configuration file, what reading it again changes, and the
// process under a stand-in for systemd (a datagram socket in NOTIFY_SOCKET) and SIGHUP.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include "event_wait.h"
#include "program_process.h"
#include "record_config.h"

namespace tvx {
namespace {

using cli::ReadRecordConfig;

const QByteArray kGood =
    "[record]\ncsv = out ; a comment\ninterval = 0.5\n[sensors]\n"
    "a = tcp://127.0.0.1:5000\nb/2 = serial:/dev/ttyUSB0\n";

// A new file each time unless named: QSettings takes a file of the same size and time as unchanged.
QString Write(const QTemporaryDir& dir, const QByteArray& text, QString name = {}) {
    static int files = 0;
    QFile file(dir.filePath(name.isEmpty() ? QString::number(++files) : name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) >= 0);
    return file.fileName();
}

TEST(RecordConfig, EveryFaultIsOneLineNamingTheFileAndWhere) {
    const struct {
        QByteArray text;
        QString error;  // after "FILE"
    } cases[] = {
        {kGood, ""},
        {"[record]\nspeed = 3\n[sensors]\na = tcp://h:1\n",
         ":2: unknown key \"speed\" in [record]"},
        {"[logging]\n", ":1: unknown section [logging] (the sections are [record] and [sensors])"},
        {"[sensors]\na = tcp://h:1\n\na = tcp://h:2\n",
         ":4: sensor \"a\" given twice (first on line 2)"},
        {"[sensors]\na = tcp://h:99999\n", ":2: sensor \"a\": expected tcp://HOST:PORT"},
        {"[sensors]\na = http://h\n",
         ":2: sensor \"a\": \"http://h\" is not tcp://HOST:PORT or serial:DEVICE"},
        {"[record]\ninterval = fast\n[sensors]\na = tcp://h:1\n",
         ":2: key \"interval\": --interval expects seconds above 0, got \"fast\""},
        {"[record]\nsensor = tcp://h:1\n",
         ":2: key \"sensor\": sensors go in [sensors] as NAME = URL"},
        {"[record]\ncsv = x\nmqtt = b\n[sensors]\na = tcp://h:1\n",
         ": give --csv or --mqtt, not both"},
        {"[record]\n", ": no sensor in [sensors] (NAME = tcp://HOST:PORT or serial:DEVICE)"},
        {"[sensors]\njust a line\n", ":2: expected KEY = VALUE"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.constData());
        const QString path = Write(dir, c.text);
        EXPECT_EQ(ReadRecordConfig(path).error, c.error.isEmpty() ? c.error : path + c.error);
    }
    const cli::TvxOptions good = ReadRecordConfig(Write(dir, kGood)).options;
    EXPECT_TRUE(good.csvFolder == "out" && good.interval == 0.5 &&
                good.sensors.at(1).name == "b/2");
    EXPECT_TRUE(ReadRecordConfig("/none").error.startsWith("/none: cannot be read"));
}

// Each reload starts from the recording of kGood; a second reload applies nothing again.
TEST(RecordConfig, AReloadAppliesWhatChangedOnceAndSaysEachInOneLine) {
    const QByteArray a = "a = tcp://127.0.0.1:5000\n", b = "b/2 = serial:/dev/ttyUSB0\n";
    const QByteArray record = "csv = out\ninterval = 0.5\n";
    const std::tuple<QByteArray, QByteArray, QString, QString> cases[] = {
        {record, b + a, "", "FILE read again: nothing changed"},
        {record, "c = tcp://h:7\n" + a, "-b/2 +c", "b/2: removed|c: added, tcp://h:7"},
        {record, "a = tcp://h:7\n" + b, "-a +a", "a: moved to tcp://h:7"},
        {"mqtt = b\ntopic = t\n", a + b, "", "restart to apply: csv, interval, mqtt, topic"},
        {"speed = 1\n", a, "",
         "FILE:2: unknown key \"speed\" in [record]; the recording goes on unchanged"},
        {record + "margin-warn = 0.3\nmargin-delay = 5\n", b + a, "~0.3/5",
         "margin alarm: warn 0.3, delay 5 s, deadband 0.05"},
        {record + "margin-warn = 2\n", b + a, "",
         "FILE:4: key \"margin-warn\": --margin-warn 2: a margin lies within -1 ... 1; the "
         "recording goes on unchanged"},
    };
    QTemporaryDir dir;
    for (const auto& [keys, sensors, calls, report] : cases) {
        cli::RecordConfig running = ReadRecordConfig(Write(dir, kGood));
        const QString path = running.options.configFile =
            Write(dir, "[record]\n" + keys + "[sensors]\n" + sensors);
        QStringList called, lines;
        cli::RecordReloader reloader(
            running,
            {[&](const cli::NamedSensor& s) { called << "+" + s.name; },
             [&](const QString& name) { called << "-" + name; },
             [&](const MarginAlarmSettings& alarm) {
                 called << QStringLiteral("~%1/%2").arg(alarm.warn).arg(alarm.delaySeconds);
             }},
            [&](const QString& line) { lines << line; });
        reloader.Reload();
        EXPECT_EQ(lines.join('|').replace(path, "FILE").toStdString(), report.toStdString());
        reloader.Reload();
        EXPECT_EQ(called.join(' '), calls);
    }
}

// The stand-in for systemd: what the service sends to NOTIFY_SOCKET.
struct NotifySocket {
    QTemporaryDir dir;
    QString path = dir.filePath("notify");
    int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    QString received;

    NotifySocket() {
        sockaddr_un address{AF_UNIX, {}};
        qstrncpy(address.sun_path, qPrintable(path), sizeof address.sun_path);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~NotifySocket() { ::close(fd); }
    bool WaitFor(const QString& state, int count = 1) {
        QSocketNotifier readable(fd, QSocketNotifier::Read);
        const auto take = [&] {
            char datagram[4096];
            for (ssize_t n; (n = ::recv(fd, datagram, sizeof datagram, 0)) > 0;)
                received += QString::fromUtf8(datagram, n) + QLatin1Char('\n');
            return received.count(state) >= count;
        };
        return WaitUntil(take, 30.0, WaitMode::ServeUserInput,
                         {WakeSource(&readable, &QSocketNotifier::activated)})
            .done;
    }
};

TEST(RecordService, TellsSystemdItsStateAndReadsItsFileAgainOnHangUp) {
    sim::SimThread sensor, added;
    ASSERT_TRUE(sensor.Start() && added.Start());
    QTemporaryDir dir;
    const QByteArray sensors =
        QStringLiteral("[sensors]\na = tcp://127.0.0.1:%1\n").arg(sensor.TcpPort()).toUtf8();
    const QByteArray record =
        "[record]\ninterval = 0.05\ncsv = " + dir.filePath("csv").toUtf8() + "\n";
    const QString conf = Write(dir, record + sensors, "tvx.conf");
    NotifySocket systemd;
    QProcess tvx;
    // The watchdog is meant for this process alone: exec keeps the shell's pid.
    const QString run =
        "NOTIFY_SOCKET=$2 WATCHDOG_USEC=200000 WATCHDOG_PID=$$ exec $0 record --config $1";
    tvx.start("/bin/sh", {"-c", run, TVX_EXE, conf, systemd.path});
    ASSERT_TRUE(systemd.WaitFor("READY=1\nSTATUS=recording 1 sensor, 0 online") &&
                systemd.WaitFor("WATCHDOG=1", 2) && systemd.WaitFor("1 sensor, 1 online"));
    QString err;
    const auto waitErr = [&](const QString& text) {
        return WaitUntil([&] { return (err += tvx.readAllStandardError()).contains(text); }, 30.0,
                         WaitMode::ServeUserInput,
                         {WakeSource(&tvx, &QProcess::readyReadStandardError)})
            .done;
    };
    Write(dir, record + sensors + "a = tcp://127.0.0.1:1\n", "tvx.conf");
    ::kill(tvx.processId(), SIGHUP);
    ASSERT_TRUE(waitErr(
        conf + ":6: sensor \"a\" given twice (first on line 5); the recording goes on unchanged"));
    ASSERT_TRUE(systemd.WaitFor("RELOADING=1") && systemd.WaitFor("READY=1", 2));
    const qint64 frames = QFile(dir.filePath("csv/a.csv")).size();
    ASSERT_TRUE(sensor.Server().WaitForRequests(sensor.Server().RequestCount() + 3, 30000));
    const QString b = QStringLiteral("tcp://127.0.0.1:%1").arg(added.TcpPort());
    Write(dir, QByteArray(record).replace("0.05", "1") + sensors + "b = " + b.toUtf8() + "\n",
          "tvx.conf");
    ::kill(tvx.processId(), SIGHUP);
    ASSERT_TRUE(waitErr("restart to apply: interval"));
    EXPECT_TRUE(err.contains("tvx: b: added, " + b + "\n"));
    ASSERT_TRUE(waitErr("tvx: b: online"));
    EXPECT_EQ(Terminate(tvx), 0);
    EXPECT_GT(QFile(dir.filePath("csv/a.csv")).size(), frames) << "recorded on after the bad file";
    EXPECT_TRUE(systemd.WaitFor("STOPPING=1"));
}

}  // namespace
}  // namespace tvx
