// tvx as a process, with no window system, against simulated sensors over TCP and a
// pseudo-terminal, and against a real Mosquitto broker.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>

#include "closed_port.h"
#include "parameter_file.h"
#include "scope_commands.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "wait.h"

namespace tvx {
namespace {

struct TvxRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// tvx needs no display: both display variables are taken away.
QProcessEnvironment HeadlessEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

void Start(QProcess& process, const QStringList& arguments) {
    process.setProcessEnvironment(HeadlessEnvironment());
    process.start(QStringLiteral(TVX_EXE), arguments);
    ASSERT_TRUE(process.waitForStarted(10000));
}

// Runs tvx to its end while this thread serves its events (in-process simulators answer).
TvxRun RunTvx(const QStringList& arguments) {
    QProcess process;
    Start(process, arguments);
    WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 60.0,
              WaitMode::ServeUserInput, {WakeSource(&process, &QProcess::finished)});
    TvxRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Collects what a running process writes and waits, without spinning, until a condition on it
// holds.
class Output {
  public:
    explicit Output(QProcess& process, bool fromStderr) : process_(process), stderr_(fromStderr) {}
    bool WaitFor(const std::function<bool(const QString&)>& condition, double seconds = 30.0) {
        const auto signal =
            stderr_ ? &QProcess::readyReadStandardError : &QProcess::readyReadStandardOutput;
        return WaitUntil(
                   [&] {
                       Take();
                       return condition(text_);
                   },
                   seconds, WaitMode::ServeUserInput, {WakeSource(&process_, signal)})
            .done;
    }
    bool WaitForCount(const QString& needle, int count, double seconds = 30.0) {
        return WaitFor([&](const QString& t) { return t.count(needle) >= count; }, seconds);
    }
    const QString& Text() {
        Take();
        return text_;
    }

  private:
    void Take() {
        text_ += QString::fromUtf8(stderr_ ? process_.readAllStandardError()
                                           : process_.readAllStandardOutput());
    }
    QProcess& process_;
    bool stderr_;
    QString text_;
};

int SignalAndWait(QProcess& process, int signal) {
    ::kill(static_cast<pid_t>(process.processId()), signal);
    EXPECT_TRUE(process.waitForFinished(30000));
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

QString TcpUrl(quint16 port) {
    return QStringLiteral("tcp://127.0.0.1:%1").arg(port);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A simulator as a process on a TCP port of its own (0: a free one); its port once it is ready.
quint16 StartSimProcess(QProcess& sim, quint16 port) {
    sim.start(QStringLiteral(TVX_SIM_EXE), {QStringLiteral("--tcp"), QString::number(port)});
    Output out(sim, false);
    if (!out.WaitFor([](const QString& t) { return t.contains(QLatin1String("ready")); })) return 0;
    const auto match = QRegularExpression(QStringLiteral("tcp 127.0.0.1:(\\d+)")).match(out.Text());
    return match.hasMatch() ? static_cast<quint16>(match.captured(1).toUInt()) : 0;
}

class TvxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        sim::SimConfig config;
        config.pty = true;
        config.ptyLink = dir.filePath(QStringLiteral("ttySENSOR"));
        ASSERT_TRUE(sensor.Start(config)) << qPrintable(sensor.Error());
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Tcp() { return TcpUrl(sensor.TcpPort()); }
    QString Serial() const { return QStringLiteral("serial:") + Path(QStringLiteral("ttySENSOR")); }

    QTemporaryDir dir;
    sim::SimThread sensor;
};

TEST_F(TvxTest, BadInputGivesOneLineTheRightStatusAndNoFile) {
    QFile plain(Path(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    QFile malformed(Path(QStringLiteral("bad.dat")));
    ASSERT_TRUE(malformed.open(QIODevice::WriteOnly));
    malformed.write("720\n0\nlots\n");
    malformed.close();
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(ClosedLocalPort());
    const QString out = Path(QStringLiteral("out.dat"));
    struct Case {
        QStringList args;
        int status;
        QString says;
    };
    const std::vector<Case> cases = {
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{"info"}, 2, "no sensor"},
        {{"info", "--sensor", "udp://1.2.3.4:5"}, 2, "\"udp://1.2.3.4:5\" is not"},
        {{"info", "--sensor", "a=tcp://127.0.0.1"}, 2, "sensor \"a\""},
        {{"info", "--sensor", "a=" + Tcp(), "--sensor", "a=" + Serial()}, 2, "\"a\" given twice"},
        {{"watch", "--tcp", closed, "--eeprom"}, 2, "unknown option \"--eeprom\" for watch"},
        {{"record", "--duration", "1", "--count", "2", "--tcp", closed}, 2, "not both"},
        {{"info", "--sensor", "dead=tcp://" + closed}, 1, "dead\terror: cannot connect"},
        {{"get", "-o", out, "--sensor", "dead=tcp://" + closed}, 1, "dead: cannot connect"},
        {{"send", Path("bad.dat"), "--tcp", Tcp().mid(6)}, 1, Path("bad.dat")},
        {{"record", "--csv", Path("plain/sub"), "--tcp", closed}, 1, Path("plain/sub")},
        {{"record", "--mqtt", closed, "--tcp", closed}, 1, "broker " + closed},
    };
    for (const Case& c : cases) {
        const TvxRun run = RunTvx(c.args);
        EXPECT_EQ(run.exitCode, c.status) << qPrintable(c.args.join(' '));
        const QString said = run.err + run.out;
        EXPECT_TRUE(said.contains(c.says)) << qPrintable(c.args.join(' ') + " -> " + said);
        EXPECT_EQ(said.count(QLatin1Char('\n')), 1) << qPrintable(said);
    }
    EXPECT_FALSE(QFile::exists(out));
    // The malformed file was refused before anything went to the sensor.
    EXPECT_TRUE(sensor.Server().Requests().empty());

    // A sensor that answers a parameter read with garbage: the read fails, no file is written.
    sensor.Server().AddFault(*sim::Fault::Parse(QStringLiteral("badsync,order=4,skip=3"), nullptr));
    const TvxRun garbage = RunTvx({"get", "-o", out, "--sensor", "odd=" + Tcp()});
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_TRUE(garbage.err.contains(QLatin1String("odd: wrong reply"))) << qPrintable(garbage.err);
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(TvxTest, HelpDescribesEveryCommandAndVersionNamesQt) {
    const TvxRun help = RunTvx({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"info", "get", "send", "watch", "record"}) {
        EXPECT_TRUE(help.out.contains(QStringLiteral("  %1 ").arg(command))) << command;
        const TvxRun one = RunTvx({command, "--help"});
        EXPECT_EQ(one.exitCode, 0);
        EXPECT_TRUE(one.out.startsWith(QStringLiteral("Usage: tvx %1").arg(command))) << command;
    }
    const TvxRun version = RunTvx({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^tvx \\S+ \\(Qt 6\\.\\d+\\.\\d+\\)\n$"))
                    .match(version.out)
                    .hasMatch())
        << qPrintable(version.out);
}

TEST_F(TvxTest, InfoPrintsOneLinePerSensorOverBothLinks) {
    const TvxRun run =
        RunTvx({"info", "--sensor", "net=" + Tcp(), "--sensor", "line=" + Serial(), "--sensor",
                QStringLiteral("gone=tcp://127.0.0.1:%1").arg(ClosedLocalPort())});
    EXPECT_EQ(run.exitCode, 1);
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << qPrintable(run.out);
    EXPECT_EQ(lines[0], QStringLiteral("net\tTRIVEX-SIM V6.1"));
    EXPECT_EQ(lines[1], QStringLiteral("line\tTRIVEX-SIM V6.1"));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("gone\terror: cannot connect")))
        << qPrintable(lines[2]);
}

TEST_F(TvxTest, GetWritesTheScopesFileAndSendRoundTripsOverTheSerialLine) {
    // The scope reads the sensor and saves the set to a file, as with FILE and SEND.
    const QString scopeFile = Path(QStringLiteral("scope.dat"));
    {
        ScriptedPopups popups;
        LinkState link;
        FrameBuffers buffers;
        ParameterSet params;
        LiveValues live;
        LoopFlags flags;
        ExchangeState exchange;
        ProgramFiles files;
        Com232 com(link, buffers, flags, popups);
        ExchangePanelHooks hooks{
            [](const QString&) {}, [](const QString&) {}, [] {}, [](bool) {}, [] {}, [] {}, [] {}};
        ScopeCommands commands(com, link, exchange, buffers, params, live, flags, files, popups,
                               hooks);
        link.comprotocol = kTcpIp;
        link.ipBuf = QStringLiteral("127.0.0.1");
        link.portNum = sensor.TcpPort();
        com.InitTCP_IP();
        commands.CheckComLine();
        popups.QueueFileSelection(scopeFile);
        commands.SendParaToFile();
        com.DisconnectTCP();
    }
    const QString tvxFile = Path(QStringLiteral("tvx.dat"));
    ASSERT_EQ(RunTvx({"get", "-o", tvxFile, "--tcp", Tcp().mid(6)}).exitCode, 0);
    ASSERT_FALSE(ReadAll(scopeFile).isEmpty());
    EXPECT_EQ(ReadAll(tvxFile), ReadAll(scopeFile));

    // A changed set goes to RAM and EEPROM over the pseudo-terminal and reads back equal.
    ParameterImage image = *ReadParameterFile(tvxFile).image;
    image[0] = 999;
    image[14] = 0xBEEF;
    image[16 + 6 * 9 + 3] = 2500;
    ASSERT_TRUE(WriteParameterFile(tvxFile, image).ok);
    const TvxRun send = RunTvx({"send", "--eeprom", tvxFile, "--serial", Path("ttySENSOR")});
    EXPECT_EQ(send.exitCode, 0) << qPrintable(send.err);
    const auto state = sensor.Server().State();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state.ram.begin()));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state.eeprom.begin()));

    // Several sensors: a folder of NAME.dat, names made safe.
    sim::SimThread second;
    ASSERT_TRUE(second.Start());
    const QString folder = Path(QStringLiteral("fleet"));
    ASSERT_EQ(RunTvx({"get", "--eeprom", "-o", folder, "--sensor", "line/1=" + Serial(), "--sensor",
                      "net=" + TcpUrl(second.TcpPort())})
                  .exitCode,
              0);
    EXPECT_EQ(ReadAll(folder + "/line_1.dat"), ReadAll(tvxFile));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
}

TEST_F(TvxTest, WatchPrintsCountFramesInBothFormats) {
    const TvxRun csv = RunTvx({"watch", "--count", "3", "--tcp", Tcp().mid(6)});
    ASSERT_EQ(csv.exitCode, 0) << qPrintable(csv.err);
    const QStringList lines = csv.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("time,R,G,B,X,Y,INT,C-No,GROUP,TEMP"));
    const QRegularExpression stamp(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d,"));
    for (int i = 1; i < 4; ++i) {
        EXPECT_TRUE(stamp.match(lines[i]).hasMatch()) << qPrintable(lines[i]);
        // The default sample: R G B 2000 1200 800, taught in row 0, group 0, 25 °C.
        EXPECT_TRUE(lines[i].endsWith(QStringLiteral(",2000,1200,800,2047,1228,1333,0,0,25")))
            << qPrintable(lines[i]);
    }

    const TvxRun json =
        RunTvx({"watch", "--count", "2", "--format", "jsonl", "--serial", Path("ttySENSOR")});
    ASSERT_EQ(json.exitCode, 0) << qPrintable(json.err);
    const QStringList objects = json.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(objects.size(), 2);
    const QJsonObject frame = QJsonDocument::fromJson(objects[1].toUtf8()).object();
    EXPECT_EQ(frame.value("C-No").toInt(), 0);
    EXPECT_EQ(frame.value("INT").toInt(), 1333);
    EXPECT_EQ(frame.value("TEMP").toInt(), 25);
}

// Seconds between two ISO time stamps at the start of CSV lines.
double SecondsBetween(const QString& a, const QString& b) {
    const auto at = [](const QString& line) {
        return QDateTime::fromString(line.section(QLatin1Char(','), 0, 0), Qt::ISODateWithMs);
    };
    return at(a).msecsTo(at(b)) / 1000.0;
}

TEST_F(TvxTest, RecordToCsvKeepsGoingWhenOneSensorIsKilledAndRestarted) {
    QProcess a, b;
    sim::SimThread c;
    const quint16 portA = StartSimProcess(a, 0);
    const quint16 portB = StartSimProcess(b, 0);
    ASSERT_TRUE(portA && portB && c.Start());
    const QString folder = Path(QStringLiteral("rec"));
    QProcess recorder;
    Start(recorder, {"record", "--csv", folder, "--sensor", "a=" + TcpUrl(portA), "--sensor",
                     "b=" + TcpUrl(portB), "--sensor", "c=" + Serial()});
    Output err(recorder, true);
    const QString bFile = folder + QStringLiteral("/b.csv");
    QTimer tick;
    tick.start(100);
    const auto waitForLines = [&](int lines) {
        return WaitUntil([&] { return ReadAll(bFile).count('\n') >= lines; }, 30.0,
                         WaitMode::ServeUserInput, {WakeSource(&tick, &QTimer::timeout)})
            .done;
    };
    ASSERT_TRUE(waitForLines(4)) << qPrintable(err.Text());

    // b dies; its gap is reported, and it comes back by itself once it is restarted.
    b.kill();
    b.waitForFinished();
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("b: offline"), 1)) << qPrintable(err.Text());
    QProcess b2;
    ASSERT_EQ(StartSimProcess(b2, portB), portB);
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("b: online"), 2)) << qPrintable(err.Text());
    ASSERT_TRUE(waitForLines(ReadAll(bFile).count('\n') + 4));
    EXPECT_EQ(SignalAndWait(recorder, SIGINT), 0);

    const QStringList bLines = QString::fromUtf8(ReadAll(bFile)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GE(bLines.size(), 8);
    EXPECT_EQ(bLines[0], QStringLiteral("time,R,G,B,X,Y,INT,C-No,GROUP,TEMP"));
    double longestGap = 0.0;
    for (qsizetype i = 2; i < bLines.size(); ++i)
        longestGap = std::max(longestGap, SecondsBetween(bLines[i - 1], bLines[i]));
    EXPECT_GE(longestGap, 1.0);  // at least the first reconnection delay
    for (const char* other : {"a", "c"}) {
        const QStringList lines = QString::fromUtf8(ReadAll(folder + "/" + other + ".csv"))
                                      .split("\r\n", Qt::SkipEmptyParts);
        EXPECT_GT(lines.size(), bLines.size()) << other;
    }
    SignalAndWait(a, SIGTERM);
    SignalAndWait(b2, SIGTERM);
}

class Broker {
  public:
    explicit Broker(const QTemporaryDir& dir)
        : config_(dir.filePath(QStringLiteral("mosquitto.conf"))) {
        port_ = ClosedLocalPort();
        QFile file(config_);
        if (!file.open(QIODevice::WriteOnly)) return;
        file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                  "persistence false\nlog_dest stderr\n")
                       .arg(port_)
                       .toUtf8());
        file.close();
        Start();
    }
    ~Broker() { Stop(); }
    bool Start() {
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config_});
        Output out(process_, false);
        ready_ = out.WaitFor([](const QString& t) { return t.contains(QLatin1String("running")); });
        return ready_;
    }
    void Stop() {
        if (process_.state() != QProcess::NotRunning) SignalAndWait(process_, SIGTERM);
    }
    bool Ready() const { return ready_; }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }
    // The retained message of a topic, as a fresh subscriber gets it.
    QString Retained(const QString& topic) const {
        QProcess sub;
        sub.start(QStringLiteral("mosquitto_sub"), {"-h", "127.0.0.1", "-p", QString::number(port_),
                                                    "-t", topic, "-C", "1", "-W", "5"});
        sub.waitForFinished(10000);
        return QString::fromUtf8(sub.readAllStandardOutput()).trimmed();
    }
    void Subscribe(QProcess& sub, const QString& topic) const {
        sub.start(QStringLiteral("mosquitto_sub"),
                  {"-h", "127.0.0.1", "-p", QString::number(port_), "-v", "-t", topic});
    }

  private:
    QString config_;
    quint16 port_ = 0;
    QProcess process_;
    bool ready_ = false;
};

TEST_F(TvxTest, RecordToMqttPublishesFramesStatusAndLastWill) {
    Broker broker(dir);
    ASSERT_TRUE(broker.Ready());
    QProcess sub;
    broker.Subscribe(sub, QStringLiteral("plant/#"));
    Output frames(sub, false);

    QProcess recorder;
    Start(recorder,
          {"record", "--mqtt", broker.Address(), "--topic", "plant", "--sensor", "s1=" + Tcp()});
    ASSERT_TRUE(frames.WaitForCount(QStringLiteral("plant/s1/frame {"), 3))
        << qPrintable(frames.Text());
    const QString line =
        frames.Text().section(QStringLiteral("plant/s1/frame "), 1, 1).section('\n', 0, 0);
    const QJsonObject frame = QJsonDocument::fromJson(line.toUtf8()).object();
    EXPECT_EQ(frame.value("R").toInt(), 2000);
    EXPECT_TRUE(frame.contains("time"));
    EXPECT_EQ(broker.Retained("plant/s1/status"),
              QStringLiteral("{\"state\":\"online\",\"version\":\"TRIVEX-SIM V6.1\"}"));

    // A recorder that dies leaves its last will.
    recorder.kill();
    recorder.waitForFinished();
    const QString will = QStringLiteral(
        "plant/s1/status {\"error\":\"the recorder ended unexpectedly\",\"state\":\"offline\"}");
    EXPECT_TRUE(frames.WaitForCount(will, 1)) << qPrintable(frames.Text());
    EXPECT_EQ(QStringLiteral("plant/s1/status ") + broker.Retained("plant/s1/status"), will);

    // One that is told to stop says so itself and ends with 0, also after its broker came back.
    QProcess again;
    Start(again,
          {"record", "--mqtt", broker.Address(), "--topic", "plant", "--sensor", "s1=" + Tcp()});
    Output err(again, true);
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("s1: online"), 1));

    // A broker that goes away is reconnected; the frames of its absence are reported lost.
    sub.kill();
    sub.waitForFinished();
    broker.Stop();
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("counted as lost"), 1)) << qPrintable(err.Text());
    ASSERT_TRUE(broker.Start());
    const QRegularExpression back(QStringLiteral("back: [1-9]\\d* frames of s1 were lost"));
    ASSERT_TRUE(err.WaitFor([&](const QString& t) { return back.match(t).hasMatch(); }))
        << qPrintable(err.Text());
    EXPECT_EQ(SignalAndWait(again, SIGTERM), 0);
    EXPECT_EQ(broker.Retained("plant/s1/status"),
              QStringLiteral("{\"error\":\"recording ended\",\"state\":\"offline\"}"));
}

}  // namespace
}  // namespace tvx
