// tvx's argument reader, and tvx as a process, with no window system, against simulated sensors
// over TCP and a pseudo-terminal, and against a real Mosquitto broker.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>

#include "ageing.h"
#include "closed_port.h"
#include "event_wait.h"
#include "frame_line.h"
#include "parameter_file.h"
#include "parameter_image.h"
#include "program_process.h"
#include "scenario.h"
#include "scope_commands.h"
#include "scripted_popups.h"
#include "sensor_state.h"
#include "sim_thread.h"
#include "teach_table.h"
#include "tvx_options.h"

namespace tvx {
namespace {

// What a running process writes on one channel, waited for without spinning.
struct Output {
    QProcess& process;
    bool fromStderr = false;
    QString text{};

    const QString& Take() {
        text += QString::fromUtf8(fromStderr ? process.readAllStandardError()
                                             : process.readAllStandardOutput());
        return text;
    }
    bool WaitFor(const std::function<bool(const QString&)>& condition) {
        return WaitUntil([&] { return condition(Take()); }, 30.0, WaitMode::ServeUserInput,
                         {WakeSource(&process, fromStderr ? &QProcess::readyReadStandardError
                                                          : &QProcess::readyReadStandardOutput)})
            .done;
    }
    bool WaitForCount(const QString& needle, int count = 1) {
        return WaitFor([&](const QString& t) { return t.count(needle) >= count; });
    }
};

struct TvxRun {
    int status;  // -1: crashed
    QString out, err;
};

// Runs tvx to its end while this thread serves the in-process simulators.
TvxRun RunTvx(const QStringList& arguments) {
    QProcess process;
    StartProgram(process, QStringLiteral(TVX_EXE), arguments, false);
    WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 60.0,
              WaitMode::ServeUserInput, {WakeSource(&process, &QProcess::finished)});
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every usage error names its cause in one line; the program ends with 2 before any sensor is
// touched (one row of the process table below shows that).
TEST(TvxArguments, EachUsageErrorNamesItsCause) {
    const QString tcp = QStringLiteral("--tcp=127.0.0.1:1");
    const struct {
        QStringList args;
        QString error;
    } cases[] = {
        {{"get", "--help"}, ""},
        {{"--verbose"}, "unknown option \"--verbose\" (a command comes first)"},
        {{"--version", "info"}, ""},
        {{"watch", tcp, "--count"}, "--count needs a value"},
        {{"send", "--eeprom=1", tcp, "f"}, "--eeprom takes no value"},
        {{"info", "--sensor", "=tcp://h:1"}, "sensor \"=tcp://h:1\": empty name before '='"},
        {{"info", "--tcp", "host:0"}, "sensor \"tcp://host:0\": expected tcp://HOST:PORT"},
        {{"info", "--serial", ""},
         "sensor \"serial:\": expected serial:DEVICE (a port number or a device path)"},
        {{"info", "--sensor", "a/b=tcp://" + tcp.mid(6), "--sensor", "a_b=serial:1"},
         "sensors \"a/b\" and \"a_b\" give the same file name"},
        {{"watch", tcp, "--count", "0"}, "--count expects a whole number above 0"},
        {{"watch", tcp, "--format", "xml"}, "--format expects csv or jsonl, got \"xml\""},
        {{"record", tcp, "--interval", "-1"}, "--interval expects seconds above 0, got \"-1\""},
        {{"record", tcp, "--csv="}, "--csv needs a folder"},
        {{"record", tcp, "--mqtt", "host:99999"}, "--mqtt expects HOST[:PORT], got \"host:99999\""},
        {{"record", tcp, "--mqtt", ":1883"}, "--mqtt needs a broker host"},
        {{"record", tcp, "--topic", "a/#"}, "--topic expects a topic prefix without wildcards"},
        {{"record", tcp, "--csv", "d", "--mqtt", "h"}, "give --csv or --mqtt, not both"},
        {{"record", "--config=f", tcp},
         "--config takes every setting from the file; give no other option with it"},
        {{"record", tcp, "--spool-max", "0"}, "--spool-max expects megabytes above 0, got \"0\""},
        {{"record", tcp, "--mqtt-password-file", "p"}, "--mqtt-password-file needs --mqtt-user"},
        {{}, "no command given (info, get, send, watch, record, show, diff, check or report)"},
        {{"info", tcp, "extra"}, "unexpected argument \"extra\""},
        {{"get", tcp}, "get needs -o PATH"},
        {{"send", tcp}, "send needs the parameter file (or folder) to send"},
        {{"watch", tcp, "--sensor", "b=serial:/dev/x"}, "watch works on one sensor"},
        {{"show", "a.dat", tcp}, "show needs one parameter file or one sensor"},
        {{"show", "--eeprom", "a.dat"}, "--eeprom is for a sensor, not a file"},
        {{"show", "--format", "xml", tcp}, "--format expects text or json, got \"xml\""},
        {{"diff", "a.dat"},
         "diff compares two sets: give two of FILE and --sensor NAME=URL [--eeprom]"},
        {{"diff", "--eeprom", "a.dat", tcp}, "--eeprom follows the sensor whose EEPROM is meant"},
        {{"check", tcp}, "check needs --golden FOLDER"},
        {{"check", "--restore", tcp, "--strict"}, "unknown option \"--strict\" for check"},
        {{"info", tcp, "--version"}, "unknown option \"--version\" for info"},
        {{"check", tcp, "--golden="}, "--golden needs a folder"},
        {{"record", "--config="}, "--config needs a file"},
        {{"record", tcp, "--mqtt", "h", "--mqtt-user="}, "--mqtt-user needs a value"},
        {{"record", tcp, "--duration", "1", "--count", "2"},
         "give --duration or --count, not both"},
        {{"record", tcp, "--metrics", "h:0"},
         "--metrics expects [HOST:]PORT, PORT from 1 to 65535, got \"h:0\""},
        {{"get", "-o", "x", tcp, "--format", "csv"}, "unknown option \"--format\" for get"},
        {{"report"}, "report needs one or more recordings (NAME.csv)"},
        {{"report", "a.csv", tcp}, "unknown option \"--tcp\" for report"},
        {{"report", "a.csv", "--margin-warn", "1.5"},
         "--margin-warn 1.5: a margin lies within -1 ... 1"},
        {{"report", "a.csv", "--margin-delay=-1"}, "--margin-delay -1: seconds, 0 or more"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.args.join(' ')));
        EXPECT_EQ(cli::ParseTvxArguments(c.args).error, c.error);
    }
    // What the options set, where a wrong reading would go unnoticed in a run.
    const cli::TvxOptions o =
        cli::ParseTvxArguments({"record", "--sensor", "line/1=serial:3", "--interval=0.5", "--mqtt",
                                "broker", "--topic", "plant/a", "--count", "7"})
            .options;
    EXPECT_EQ(o.sensors.at(0).address.serial.comport, 3);
    EXPECT_EQ(cli::SafeFileName(o.sensors.at(0).name), QStringLiteral("line_1"));
    EXPECT_EQ(cli::SafeFileName(QStringLiteral("..")), QStringLiteral("_.."));
    EXPECT_DOUBLE_EQ(o.interval, 0.5);
    EXPECT_EQ(o.mqttHost, QStringLiteral("broker"));
    EXPECT_EQ(o.mqttPort, 1883);
    EXPECT_EQ(o.topic, QStringLiteral("plant/a"));
    EXPECT_EQ(o.count.value_or(0), 7);
    const cli::TvxOptions send =
        cli::ParseTvxArguments({"send", "f.dat", "--no-verify", tcp}).options;
    EXPECT_EQ(send.path, QStringLiteral("f.dat"));
    EXPECT_FALSE(send.verify);
    // diff takes its two sides in order, each sensor with its own memory.
    const cli::TvxOptions diff =
        cli::ParseTvxArguments({"diff", "--sensor", "a=tcp://" + tcp.mid(6), "--eeprom", "--sensor",
                                "a=tcp://" + tcp.mid(6)})
            .options;
    ASSERT_EQ(diff.sources.size(), 2u);
    EXPECT_TRUE(diff.sources[0].eeprom && !diff.sources[1].eeprom);
}

class TvxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::SimConfig config;
        config.pty = true;
        config.ptyLink = Path(QStringLiteral("ttySENSOR"));
        ASSERT_TRUE(sensor.Start(config)) << qPrintable(sensor.Error());
    }
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Tcp(quint16 port = 0) {
        return QStringLiteral("tcp://127.0.0.1:%1").arg(port ? port : sensor.TcpPort());
    }
    QString Serial() const { return QStringLiteral("serial:") + Path(QStringLiteral("ttySENSOR")); }

    QTemporaryDir dir;
    sim::SimThread sensor;
};

TEST_F(TvxTest, EveryRunEndsWithItsStatusAndAFailureIsSaidInOneLine) {
    QFile(Path("plain")).open(QIODevice::WriteOnly);
    QFile malformed(Path("bad.dat"));
    ASSERT_TRUE(malformed.open(QIODevice::WriteOnly));
    malformed.write("720\n0\nlots\n");
    malformed.close();
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(ClosedLocalPort());
    const QString out = Path(QStringLiteral("out.dat"));
    const struct {
        QStringList args;
        int status;
        QString says;
    } cases[] = {
        {{"--version"}, 0, QStringLiteral(" (Qt %1)\n").arg(qVersion())},
        {{"--help"}, 0, "\n  record "},
        {{"get", "--eeprom", "-o", Path("one.dat"), "--tcp", Tcp().mid(6)}, 0, ""},
        {{"watch", "--count", "1", "--format", "jsonl", "--serial", Path("ttySENSOR")},
         0,
         "\"X\":2047,\"Y\":1228,\"INT\":1333,\"C-No\":0,\"GROUP\":0,\"TEMP\":25,\"margin\":1.000,"
         "\"margin_row\":0,\"second_margin\":-1.000}\n"},
        {{"record", "--help"}, 0, "Usage: tvx record"},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
        {{"info"}, 2, "no sensor"},
        {{"info", "--sensor", "udp://1.2.3.4:5"}, 2, "\"udp://1.2.3.4:5\" is not"},
        {{"info", "--sensor", "a=tcp://127.0.0.1"}, 2, "sensor \"a\""},
        {{"info", "--sensor", "a=" + Tcp(), "--sensor", "a=" + Serial()}, 2, "\"a\" given twice"},
        {{"watch", "--tcp", closed, "--eeprom"}, 2, "unknown option \"--eeprom\" for watch"},
        {{"record", "--duration", "1", "--count", "2", "--tcp", closed}, 2, "not both"},
        {{"get", "-o", out, "--sensor", "dead=tcp://" + closed},
         1,
         "dead: cannot connect: connection refused"},
        {{"get", "-o", out, "--sensor", "nameless=tcp://no-such-host.invalid:5000"},
         1,
         "nameless: cannot connect: host name \"no-such-host.invalid\" does not resolve"},
        {{"watch", "--count", "1", "--serial", Path("ttyNONE")},
         1,
         "cannot open " + Path("ttyNONE") + ": no such device"},
        {{"send", Path("bad.dat"), "--tcp", Tcp().mid(6)}, 1, Path("bad.dat")},
        {{"record", "--csv", Path("plain/sub"), "--tcp", closed}, 1, Path("plain/sub")},
        {{"record", "--mqtt", closed, "--mqtt-cafile", Path("none.crt"), "--tcp", closed},
         1,
         "CA file \"" + Path("none.crt") + "\" cannot be read"},
        {{"info", "--sensor", "net=" + Tcp(), "--sensor", "line=" + Serial(), "--sensor",
          "gone=tcp://" + closed},
         1,
         "net\tTRIVEX-SIM V6.1\nline\tTRIVEX-SIM V6.1\ngone\terror: cannot connect: connection "
         "refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.args.join(' ')));
        const TvxRun run = RunTvx(c.args);
        const QString said = run.err + run.out;
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(said.contains(c.says)) << qPrintable(said);
        if (c.status == 0) continue;
        EXPECT_EQ(said.count('\n'), c.says.count('\n') + (c.says.endsWith('\n') ? 0 : 1));
    }
    EXPECT_FALSE(QFile::exists(out));
    EXPECT_EQ(ReadAll(Path("one.dat")).count('\n'), 106) << "the set from EEPROM";
    for (const auto& request : sensor.Server().Requests())
        EXPECT_NE(request.Order(), 1) << "the malformed file was refused before it was sent";
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
        ExchangePanelHooks hooks{[](const QString&) {},
                                 [](const QString&) {},
                                 [] {},
                                 [](bool) {},
                                 [] { return true; },
                                 [] {},
                                 [] {},
                                 {},
                                 {}};
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
    // Several sensors: a folder of NAME.dat, names made safe.
    sim::SimThread second;
    ASSERT_TRUE(second.Start());
    const QString tvxFile = Path(QStringLiteral("fleet/line_1.dat"));
    ASSERT_EQ(RunTvx({"get", "-o", Path("fleet"), "--sensor", "line/1=" + Serial(), "--sensor",
                      "net=" + Tcp(second.TcpPort())})
                  .status,
              0);
    ASSERT_FALSE(ReadAll(scopeFile).isEmpty());
    EXPECT_EQ(ReadAll(tvxFile), ReadAll(scopeFile));
    EXPECT_EQ(ReadAll(Path("fleet/net.dat")), ReadAll(scopeFile));

    // A changed set goes to RAM and EEPROM over the pseudo-terminal and reads back equal.
    ParameterImage image = *ReadParameterFile(tvxFile).image;
    image[0] = 999;
    image[14] = 0xBEEF;
    image[16 + 6 * 9 + 3] = 2500;
    ASSERT_TRUE(WriteParameterFile(tvxFile, image).ok);
    const TvxRun send = RunTvx({"send", "--eeprom", tvxFile, "--serial", Path("ttySENSOR")});
    EXPECT_EQ(send.status, 0) << qPrintable(send.err);
    const auto state = sensor.Server().State();
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state.ram.begin()));
    EXPECT_TRUE(std::equal(image.begin(), image.end(), state.eeprom.begin()));
}

TEST_F(TvxTest, RecordToCsvKeepsGoingWhenOneSensorIsStoppedAndRestarted) {
    sim::SimThread a, b;
    ASSERT_TRUE(a.Start() && b.Start());
    sim::SimConfig again;
    again.tcpPort = b.TcpPort();
    const QString folder = Path(QStringLiteral("rec"));
    QProcess recorder;
    StartProgram(recorder, QStringLiteral(TVX_EXE),
                 {"record", "--csv", folder, "--sensor", "a=" + Tcp(a.TcpPort()), "--sensor",
                  "b=" + Tcp(b.TcpPort()), "--sensor", "c=" + Serial()},
                 false);
    Output err{recorder, true};
    const QString bFile = folder + QStringLiteral("/b.csv");
    QTimer tick;
    tick.start(100);
    const auto waitForLines = [&](int lines) {
        return WaitUntil([&] { return ReadAll(bFile).count('\n') >= lines; }, 30.0,
                         WaitMode::ServeUserInput, {WakeSource(&tick, &QTimer::timeout)})
            .done;
    };
    ASSERT_TRUE(waitForLines(4)) << qPrintable(err.Take());

    // b stops; its gap is reported, and it comes back by itself once it is restarted.
    b.Stop();
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("b: offline"))) << qPrintable(err.text);
    ASSERT_TRUE(b.Start(again));
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("b: online"), 2)) << qPrintable(err.text);
    ASSERT_TRUE(waitForLines(ReadAll(bFile).count('\n') + 4));
    ::kill(static_cast<pid_t>(recorder.processId()), SIGINT);
    ASSERT_TRUE(recorder.waitForFinished(30000));
    EXPECT_EQ(recorder.exitCode(), 0);

    const QStringList bLines = QString::fromUtf8(ReadAll(bFile)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_GE(bLines.size(), 8);
    EXPECT_EQ(bLines[0].toStdString(),
              "time,R,G,B,X,Y,INT,C-No,GROUP,TEMP,MARGIN,MARGIN-ROW,SECOND");
    // The default sample: R G B 2000 1200 800, taught in row 0 (at its centre), group 0, 25 °C.
    EXPECT_TRUE(bLines[1].endsWith(",2000,1200,800,2047,1228,1333,0,0,25,1.000,0,-1.000"))
        << qPrintable(bLines[1]);
    const auto at = [&](qsizetype i) {
        return QDateTime::fromString(bLines[i].section(',', 0, 0), Qt::ISODateWithMs);
    };
    qint64 longestGapMs = 0;
    for (qsizetype i = 2; i < bLines.size(); ++i)
        longestGapMs = std::max(longestGapMs, at(i - 1).msecsTo(at(i)));
    EXPECT_GE(longestGapMs, 1000) << "at least the first reconnection delay";
    for (const char* other : {"a", "c"})
        EXPECT_GT(ReadAll(folder + "/" + other + ".csv").count('\n'), bLines.size()) << other;
}

// The same set, named: its file and the sensor it came from, over the pseudo-terminal and TCP.
// A file is continued only under its own header: a recording from before the margin columns and a
// calculation mode changed by a SEND each go on in a file of their own. A SEND takes the sensor
// over for a moment; the recorder reads the new teach table when it reconnects, and the margins
// follow it.
TEST_F(TvxTest, RecordToCsvFollowsASentTeachTableAndKeepsEachFileUnderItsHeader) {
    const QString folder = Path(QStringLiteral("rec"));
    QDir().mkpath(folder);
    QFile old(folder + "/a.csv");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(
        "time,R,G,B,X,Y,INT,C-No,GROUP,TEMP\r\n"
        "2026-12-01T01:02:03.456+01:00,2000,1200,800,2047,1228,1333,0,0,25\r\n");
    old.close();
    QProcess recorder;
    StartProgram(recorder, QStringLiteral(TVX_EXE),
                 {"record", "--csv", folder, "--sensor", "a=" + Tcp()}, false);
    Output err{recorder, true};
    const auto lines = [&](const char* file) {
        return QString::fromUtf8(ReadAll(folder + "/" + file)).split("\r\n", Qt::SkipEmptyParts);
    };
    QTimer tick;
    tick.start(100);
    const auto waitForLine = [&](const char* file, const QString& tail) {
        return WaitUntil(
                   [&] {
                       err.Take();
                       const QStringList now = lines(file);
                       return !now.isEmpty() && now.last().endsWith(tail);
                   },
                   30.0, WaitMode::ServeUserInput, {WakeSource(&tick, &QTimer::timeout)})
            .done;
    };
    ASSERT_TRUE(waitForLine("a-2.csv", ",1.000,0,-1.000")) << qPrintable(err.text);
    EXPECT_TRUE(err.text.contains("a: " + folder +
                                  "/a.csv has the columns of another calculation "
                                  "mode or version; recording to " +
                                  folder + "/a-2.csv"))
        << qPrintable(err.text);

    // Row 0 moved by half its radius: the same point now has a margin of 0.5.
    ParameterSet set = ParameterSetOf(sensor.Server().State().ram);
    set.ctt[0][kColumnX] += 50;
    const auto send = [&](const char* file) {
        ASSERT_TRUE(WriteParameterFile(Path(file), ImageOf(set)).ok);
        EXPECT_EQ(RunTvx({"send", Path(file), "--tcp", Tcp().mid(6)}).status, 0);
    };
    send("moved.dat");
    ASSERT_TRUE(waitForLine("a-2.csv", ",0.500,0,-1.000")) << qPrintable(err.text);
    set.calcmode = 1;
    send("si.dat");
    ASSERT_TRUE(waitForLine("a-3.csv", ",0,-1.000")) << qPrintable(err.text);
    EXPECT_EQ(lines("a-3.csv").first(), CsvHeader(true));
    EXPECT_EQ(lines("a.csv").size(), 2);
    EXPECT_EQ(Terminate(recorder), 0);
}

TEST_F(TvxTest, ShowDiffAndCheckNameWhatDiffersAndLeaveTheSensorWorkingAsItWas) {
    sim::SimThread net;
    ASSERT_TRUE(net.Start());
    const QString line = "line=" + Serial(), netSensor = "net=" + Tcp(net.TcpPort());
    const QString golden = Path("golden"), lineFile = Path("golden/line.dat");
    ASSERT_EQ(RunTvx({"get", "-o", golden, "--sensor", line, "--sensor", netSensor}).status, 0);
    for (const QString format : {"text", "json"}) {
        const TvxRun file = RunTvx({"show", "--format", format, lineFile});
        const TvxRun ram = RunTvx({"show", "--format", format, "--sensor", line});
        const TvxRun eeprom =
            RunTvx({"show", "--format", format, "--eeprom", "--sensor", netSensor});
        EXPECT_EQ(file.status + ram.status + eeprom.status, 0) << qPrintable(ram.err);
        EXPECT_EQ(file.out.section('\n', 2), ram.out.section('\n', 2)) << qPrintable(file.out);
        EXPECT_EQ(ram.out.section('\n', 2), eeprom.out.section('\n', 2));
        EXPECT_TRUE(eeprom.out.contains(format == "text" ? "net (" + Tcp(net.TcpPort()) + ") EEPROM"
                                                         : "\"memory\": \"EEPROM\""));
    }
    EXPECT_TRUE(RunTvx({"show", lineFile}).out.contains("MAXCOL-No.    4\nOUTMODE       BINARY\n"));
    const QJsonObject json =
        QJsonDocument::fromJson(RunTvx({"show", "--format", "json", lineFile}).out.toUtf8())
            .object();
    EXPECT_EQ(json["modes"]["outmode"]["text"].toString(), QStringLiteral("BINARY"));
    EXPECT_EQ(json["teach"]["rows"][3]["active"].toBool(), true);
    EXPECT_EQ(json["teach"]["rows"][4]["active"].toBool(), false);

    ParameterImage changed = *ReadParameterFile(lineFile).image;
    changed[6] = 5;
    changed[TeachRowWord(2, 2)] = 40;
    changed[TeachRowWord(7, 5)] = 5;
    ASSERT_TRUE(WriteParameterFile(Path("changed.dat"), changed).ok);
    const QString named =
        "MAXCOL-No. 4 \u2192 5\nrow 2 CTO 100 \u2192 40\nrow 7 group 0 \u2192 5\n";
    const TvxRun files = RunTvx({"diff", lineFile, Path("changed.dat")});
    EXPECT_EQ(files.status, 1);
    EXPECT_EQ(files.out, named);
    const QJsonObject diff =
        QJsonDocument::fromJson(
            RunTvx({"diff", "--format", "json", lineFile, Path("changed.dat")}).out.toUtf8())
            .object();
    EXPECT_EQ(diff["differences"][1]["parameter"].toString(), QStringLiteral("row 2 CTO"));
    EXPECT_EQ(diff["differences"][1]["b"].toInt(), 40);
    EXPECT_EQ(RunTvx({"diff", lineFile, "--sensor", line}).status, 0);

    // line's RAM gets the changed set, its EEPROM keeps the golden one.
    ASSERT_EQ(RunTvx({"send", Path("changed.dat"), "--sensor", line}).status, 0);
    const TvxRun ramAgainstFile = RunTvx({"diff", "--sensor", line, "--eeprom", "--sensor", line});
    EXPECT_EQ(ramAgainstFile.status, 1);
    EXPECT_EQ(ramAgainstFile.out, named);
    ASSERT_TRUE(QFile::copy(lineFile, Path("golden/dead.dat")));
    const QString closed = QStringLiteral("tcp://127.0.0.1:%1").arg(ClosedLocalPort());
    const TvxRun check = RunTvx({"check", "--golden", golden, "--sensor", line, "--sensor",
                                 netSensor, "--sensor", "dead=" + closed});
    EXPECT_EQ(check.status, 3);
    QString indented;
    for (const QString& difference : named.split('\n', Qt::SkipEmptyParts))
        indented += "line:   " + difference + "\n";
    EXPECT_TRUE(check.out.startsWith(
        "line: RAM differs from " + lineFile + ": 3 differences\n" + indented +
        "line: RAM differs from EEPROM (lost at the next power cycle): 3 differences\n" + indented +
        "net: RAM and EEPROM match " + golden + "/net.dat\n"))
        << qPrintable(check.out);
    EXPECT_TRUE(check.out.contains("\ndead: not checked: cannot connect"));
    EXPECT_TRUE(check.out.endsWith(
        "\nchecked 3 sensors: 1 in order, 1 drifted, 0 restored, 1 not checked, 0 left wrong\n"));
    const auto ram = sensor.Server().State().ram;
    EXPECT_TRUE(std::equal(changed.begin(), changed.end(), ram.begin()))
        << "reading the EEPROM left the sensor working with its RAM's set";

    // net's EEPROM drifts too; the restore writes each memory that drifted, and all is in order.
    ASSERT_EQ(RunTvx({"send", "--eeprom", Path("changed.dat"), "--sensor", netSensor}).status, 0);
    const TvxRun restore =
        RunTvx({"check", "--golden", golden, "--restore", "--sensor", line, "--sensor", netSensor});
    EXPECT_EQ(restore.status, 1);
    EXPECT_TRUE(restore.out.contains("line: restored RAM from " + lineFile + ", read back equal\n"))
        << qPrintable(restore.out);
    EXPECT_TRUE(restore.out.contains("net: restored RAM and EEPROM from " + golden + "/net.dat"));
    const TvxRun clean =
        RunTvx({"check", "--golden", golden, "--sensor", line, "--sensor", netSensor});
    EXPECT_EQ(clean.status, 0);
    EXPECT_TRUE(
        clean.out.endsWith("checked 2 sensors: 2 in order, 0 drifted, 0 restored, 0 not "
                           "checked, 0 left wrong\n"));
}

// What check leaves, in a line of its own and in its status: each row one sensor with its RAM
// and EEPROM (5: MAXCOL-No. 5 where the golden set has 4), one whose mode words written to RAM do
// not stick, and one that cannot be reached.
TEST_F(TvxTest, CheckSaysWhatIsLeftInItsStatus) {
    const QString golden = Path("golden"), file = Path("golden/s.dat");
    const sim::ParameterImage set = sim::DefaultImage();
    sim::ParameterImage five = set;
    five[6] = 5;
    ASSERT_TRUE(QDir().mkpath(golden) && WriteParameterFile(file, set).ok);
    const auto summary = [](int inOrder, int drifted, int leftWrong) {
        return QStringLiteral(
                   "checked 1 sensor: %1 in order, %2 drifted, 0 restored, 0 not "
                   "checked, %3 left wrong\n")
            .arg(inOrder)
            .arg(drifted)
            .arg(leftWrong);
    };
    const QString forgotten = "read-back differs from what was sent (word 6: sent ";
    const QString restoreFailed =
        "s: restoring RAM and EEPROM failed: " + forgotten + "4, read 5)\n";
    const QString workingSet =
        "s: working set not restored: the sensor now works with its EEPROM's set, not the RAM's "
        "it had; writing that back failed: " +
        forgotten + "5, read 4)\n";
    const struct {
        sim::ParameterImage ram, eeprom;
        const char* fault;  // "dead": no sensor at all
        QStringList args;
        int status;
        QString says;  // nothing at all when empty; the verdict with --format json
    } cases[] = {
        {set, set, "", {}, 0, summary(1, 0, 0)},
        {set, set, "", {"--quiet"}, 0, ""},
        {five, five, "", {"--quiet"}, 1, summary(0, 1, 0)},
        {five, set, "", {"--restore"}, 1, "s: restored RAM from " + file + ", read back equal\n"},
        {five, five, "forget,order=1", {"--restore"}, 3, restoreFailed + summary(0, 0, 1)},
        {five, set, "forget,order=1", {}, 3, workingSet + summary(0, 0, 1)},
        {five, set, "forget,order=1", {"--format", "json"}, 3, "working_set_not_restored"},
        {set, set, "dead", {}, 3, "s: not checked: cannot connect"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.args.join(' ') + ' ' + c.fault));
        const bool dead = c.fault == std::string_view("dead");
        sim::SimThread sensor;
        ASSERT_TRUE(sensor.Start());
        sim::SensorState state = sim::DefaultSensorState();
        state.ram = c.ram;
        state.eeprom = c.eeprom;
        sensor.Server().SetState(state);
        if (*c.fault && !dead) sensor.Server().AddFault(*sim::Fault::Parse(c.fault, nullptr));
        const QString url = dead ? Tcp(ClosedLocalPort()) : Tcp(sensor.TcpPort());
        const TvxRun run =
            RunTvx(QStringList{"check", "--golden", golden, "--sensor", "s=" + url} + c.args);
        EXPECT_EQ(run.status, c.status) << qPrintable(run.err);
        if (!c.args.contains("json")) {
            EXPECT_TRUE(c.says.isEmpty() ? run.out.isEmpty() : run.out.contains(c.says))
                << qPrintable(run.out);
            continue;
        }
        const QJsonObject json = QJsonDocument::fromJson(run.out.toUtf8()).object();
        const QJsonValue s = json["sensors"][0];
        EXPECT_EQ(s["verdict"].toString(), c.says) << qPrintable(run.out);
        EXPECT_TRUE(s["error"].toString().endsWith(forgotten + "5, read 4)"));
        EXPECT_EQ(s["differences"][0]["parameter"].toString(), QStringLiteral("MAXCOL-No."));
        EXPECT_EQ(s["differences"][0]["found"].toInt(), 5);
        EXPECT_EQ(json["counts"]["working_set_not_restored"].toInt(), 1);
    }
}

// Bad sets, missing golden copies and a sensor that answers garbage: one line each, the
// documented status, and nothing written to the sensor.
TEST_F(TvxTest, WhatCannotBeTrustedIsRefusedInOneLineWithNothingWritten) {
    const auto write = [&](const char* name, const QByteArray& text) {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return Path(name);
    };
    QByteArray words;
    for (int w = 0; w < anzpara; ++w) words += w == 6 ? "8\n" : w == 7 ? "2\n" : "0\n";
    const QString warned = write("warned.dat", words);
    const QString over = write("over.dat", QByteArray(words).replace("8\n", "65536\n"));
    QDir().mkpath(Path("golden"));
    const QString closed = QStringLiteral("tcp://127.0.0.1:%1").arg(ClosedLocalPort());
    sim::SimConfig garbage;
    garbage.faults = {*sim::Fault::Parse("badsync,order=3", nullptr)};
    sim::SimThread liar;
    ASSERT_TRUE(liar.Start(garbage));
    const struct {
        QStringList args;
        int status;
        QString says;
    } cases[] = {
        {{"send", "--strict", warned, "--tcp", Tcp().mid(6)},
         1,
         warned + ": warning: MAXCOL-No. IS TOO HIGH. DECREASE MAXCOL-No. OR SWITCH TO "
                  "OUTMODE=BINARY\ntvx: nothing sent (--strict)"},
        {{"show", write("short.dat", "720\n0\n")}, 1, "short.dat"},
        {{"show", over}, 1, "over.dat"},
        {{"show", write("text.dat", "seven hundred\n")}, 1, "text.dat"},
        {{"diff", over, "--sensor", "s=" + Tcp()}, 2, "over.dat"},
        {{"diff", warned, "--sensor", "dead=" + closed}, 2, "dead: cannot connect"},
        {{"show", "--sensor", "liar=" + Tcp(liar.TcpPort())}, 1, "liar: wrong reply"},
        {{"check", "--golden", Path("nowhere"), "--tcp", Tcp().mid(6)}, 2, "nowhere"},
        {{"check", "--golden", Path("golden"), "--restore", "--sensor", "s=" + Tcp()},
         2,
         "s: no golden file \"" + Path("golden/s.dat") + "\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.args.join(' ')));
        const TvxRun run = RunTvx(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.contains(c.says)) << qPrintable(run.err);
        EXPECT_EQ(run.err.count('\n'), c.says.count('\n') + 1) << qPrintable(run.err);
    }
    for (const auto& request : sensor.Server().Requests())
        EXPECT_TRUE(request.Order() == 3 || request.Order() == 4 || request.Order() == 7)
            << "order " << request.Order() << " went out";
}

// A Mosquitto broker on a loopback port of its own.
struct Broker {
    quint16 port = ClosedLocalPort();
    QProcess process;

    bool Start() {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral("mosquitto"), {QStringLiteral("-p"), QString::number(port)});
        return Output{process}.WaitForCount(QStringLiteral(" running"));
    }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(port); }
    void Subscribe(QProcess& sub, const QString& topic, const QStringList& more = {}) const {
        sub.start(
            "mosquitto_sub",
            QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-v", "-t", topic} + more);
    }
    // The retained message of a topic, as a fresh subscriber gets it first.
    QString Retained(const QString& topic) const {
        QProcess sub;
        Subscribe(sub, topic, {"-C", "1", "-W", "5"});
        sub.waitForFinished(10000);
        return QString::fromUtf8(sub.readAllStandardOutput()).trimmed();
    }
};

TEST_F(TvxTest, RecordToMqttPublishesFramesStatusAndLastWill) {
    Broker broker;
    ASSERT_TRUE(broker.Start());
    QProcess sub, recorder, again;
    broker.Subscribe(sub, QStringLiteral("plant/#"));
    Output frames{sub};
    const QStringList record = {"record",           broker.Address().prepend("--mqtt="),
                                "--topic",          "plant",
                                "--sensor",         "s1=" + Tcp(),
                                "--mqtt-client-id", "line-7"};
    StartProgram(recorder, QStringLiteral(TVX_EXE), record, false);
    ASSERT_TRUE(frames.WaitForCount(QStringLiteral("plant/s1/frame {"), 3))
        << qPrintable(frames.text);
    const QString line = frames.text.section("plant/s1/frame ", 1, 1).section('\n', 0, 0);
    const QJsonObject frame = QJsonDocument::fromJson(line.toUtf8()).object();
    EXPECT_EQ(frame.value("R").toInt(), 2000);
    EXPECT_TRUE(frame.contains("time"));
    const QString status = QStringLiteral("plant/s1/status ");
    EXPECT_EQ(broker.Retained("plant/s1/status"),
              status + R"({"recorder":"line-7","state":"online","version":"TRIVEX-SIM V6.1"})");
    const QString recorderStatus = QStringLiteral("plant/_recorder/line-7/status");
    EXPECT_EQ(broker.Retained(recorderStatus),
              recorderStatus + R"( {"sensors":["s1"],"state":"online"})");

    // A recorder that dies leaves its last will on its own status.
    recorder.kill();
    recorder.waitForFinished();
    const QString will =
        recorderStatus + R"( {"error":"the recorder ended unexpectedly","state":"offline"})";
    EXPECT_TRUE(frames.WaitForCount(will)) << qPrintable(frames.text);
    EXPECT_EQ(broker.Retained(recorderStatus), will);

    // A broker that goes away is reconnected; the frames of its absence wait in the spool and
    // go when it is back. A recorder that is told to stop says so itself and ends with 0.
    StartProgram(again, QStringLiteral(TVX_EXE), record, false);
    Output err{again, true};
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("s1: online")));
    sub.kill();
    sub.waitForFinished();
    EXPECT_EQ(Terminate(broker.process), 0);
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("kept in the spool"))) << qPrintable(err.text);
    ASSERT_TRUE(sensor.Server().WaitForRequests(sensor.Server().RequestCount() + 3, 30000));
    ASSERT_TRUE(broker.Start());
    const QRegularExpression back(QStringLiteral("broker [^ ]+ back: sending [1-9]\\d* spooled"));
    ASSERT_TRUE(err.WaitFor([&](const QString& t) { return back.match(t).hasMatch(); }))
        << qPrintable(err.text);
    EXPECT_EQ(Terminate(again), 0);
    EXPECT_EQ(broker.Retained("plant/s1/status"),
              status + R"({"error":"recording ended","recorder":"line-7","state":"offline"})");
    EXPECT_EQ(broker.Retained(recorderStatus),
              recorderStatus + R"( {"error":"recording ended","state":"offline"})");
    Terminate(broker.process);
}

// A shift in a few seconds: three sensors recorded, one drifting toward its row's edge. The report
// names the drifting one in text, JSON and a page that a real browser renders; what it cannot
// report is said in one line.
TEST_F(TvxTest, ReportOfARecordingFindsTheDriftingSensor) {
    sim::SimThread steady1, steady2, drifting;
    ASSERT_TRUE(steady1.Start() && steady2.Start() && drifting.Start());
    steady1.Server().SetNoise(8);
    steady2.Server().SetNoise(8, 2);
    sim::Ageing ageing;
    ageing.driftX = 1;
    ageing.driftPerMinute = 60;  // 60 units a second: past the edge (100 units) within 2 s
    ageing.timeScale = 60;
    drifting.Server().SetAgeing(ageing);
    const QString folder = Path(QStringLiteral("rec"));
    const TvxRun record = RunTvx({"record", "--csv", folder, "--interval", "0.05", "--count", "60",
                                  "--sensor", "steady1=" + Tcp(steady1.TcpPort()), "--sensor",
                                  "steady2=" + Tcp(steady2.TcpPort()), "--sensor",
                                  "drifting=" + Tcp(drifting.TcpPort())});
    ASSERT_EQ(record.status, 0) << qPrintable(record.err);
    ASSERT_EQ(RunTvx({"get", "-o", Path("table.dat"), "--tcp", Tcp().mid(6)}).status, 0);
    const QStringList report = {"report",
                                "--margin-delay",
                                "0.2",
                                "--parameters",
                                Path("table.dat"),
                                folder + "/steady1.csv",
                                folder + "/drifting.csv",
                                folder + "/steady2.csv"};

    const TvxRun text = RunTvx(report + QStringList{"--html", Path("report.html")});
    EXPECT_EQ(text.status, 0) << qPrintable(text.err);
    EXPECT_EQ(text.out.count(QRegularExpression("^(drifting|steady1|steady2): 60 frames, ",
                                                QRegularExpression::MultilineOption)),
              3)
        << qPrintable(text.out);
    EXPECT_GE(text.out.count("\n  alarm "), 1);

    const TvxRun json = RunTvx(report + QStringList{"--format", "json"});
    EXPECT_EQ(json.status, 0) << qPrintable(json.err);
    const QJsonArray sensors = QJsonDocument::fromJson(json.out.toUtf8())["sensors"].toArray();
    QStringList names;
    for (const auto& value : sensors) {
        const QJsonObject sensor = value.toObject();
        const QString name = sensor["name"].toString();
        SCOPED_TRACE(qPrintable(name));
        const bool drifts = name == QLatin1String("drifting");
        names << name;
        EXPECT_EQ(sensor["frames"].toInt(), 60);
        EXPECT_EQ(sensor["alarms"].toArray().isEmpty(), !drifts);
        EXPECT_EQ(sensor["margin"]["min"].toDouble() < 0, drifts);
        EXPECT_EQ(sensor["alarm_share"].toDouble() > 0, drifts);
        EXPECT_TRUE(sensor["gaps"].toArray().isEmpty());
        for (const char* key : {"no_match", "ambiguous"})
            EXPECT_TRUE(sensor[key].isDouble()) << key;
        for (const char* key : {"min", "p5", "median"})
            EXPECT_TRUE(sensor["margin"][key].isDouble());
        for (const QJsonValue row : sensor["rows"].toArray()) {
            EXPECT_EQ(row["row"].toInt(), 0);
            EXPECT_GT(row["frames"].toInt(), 0);
            EXPECT_TRUE(row["cpu"].isDouble());
            EXPECT_TRUE(row["margin"]["median"].isDouble());
        }
    }
    EXPECT_EQ(names, QStringList({"drifting", "steady1", "steady2"})) << qPrintable(json.out);

    QFile bad(Path("bad.csv"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("time,R,G,B,X,Y,INT,C-No,GROUP,TEMP\n2026-12-09T10:00:00.000+01:00,1,2,3\n");
    bad.close();
    const struct {
        QStringList args;
        int status;
        QString says;
    } cases[] = {
        {{"report", Path("none.csv")}, 1, Path("none.csv") + ": No such file or directory"},
        {{"report", Path("bad.csv")}, 1, Path("bad.csv") + ":2: expected 10 fields, found 4"},
        {{"report", "--parameters", Path("none.dat"), Path("bad.csv")}, 1, Path("none.dat")},
        {{"report", Path("bad.csv"), "--margin-warn", "2"}, 2, "--margin-warn 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(qPrintable(c.args.join(' ')));
        const TvxRun run = RunTvx(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.contains(c.says)) << qPrintable(run.err);
        EXPECT_EQ(run.err.count('\n'), 1);
        EXPECT_TRUE(run.out.isEmpty());
    }

    // The page stands alone and a browser draws it: the chart, its bands and the table in colour.
    const QByteArray page = ReadAll(Path("report.html"));
    for (const char* outside : {"<script", "src=", "href=", "url("})
        EXPECT_FALSE(page.contains(outside)) << outside;
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) GTEST_SKIP() << "chromium is not installed (scripts/setup installs it)";
    QProcess browser;
    browser.start(chromium,
                  {"--headless", "--no-sandbox", "--disable-gpu",
                   "--user-data-dir=" + Path("browser"), "--screenshot=" + Path("page.png"),
                   "--window-size=1100,1000", QUrl::fromLocalFile(Path("report.html")).toString()});
    ASSERT_TRUE(browser.waitForFinished(120000));
    const QImage shot(Path("page.png"));
    ASSERT_FALSE(shot.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
    EXPECT_GE(colours.size(), 8);
}

// Three sensors; b's point walks toward the edge of its colour, lingers in the deadband and comes
// back: b's alarm rises only after its delay, holds in the deadband and clears after it again; a
// and c, steady, raise none. Every sensor's alarm topic starts from a retained "ok".
TEST_F(TvxTest, MarginAlarmRisesAfterItsDelayHoldsInTheDeadbandAndClears) {
    Broker broker;
    ASSERT_TRUE(broker.Start());
    // Row 0 is taught at the start-up sample's point with a radius of 100: X 2136, 2125 and 2097
    // give margins of about 0.11 (low), 0.22 (in the deadband) and 0.50 (clear).
    QString error;
    sim::SimConfig drifting;
    drifting.scenario = sim::Scenario::Parse(
        "0 2000 1200 800\n2000 2087 1200 713\n5000 2076 1200 724\n8000 2049 1200 751\n", &error);
    ASSERT_TRUE(drifting.scenario) << qPrintable(error);
    sim::SimThread a, b, c;
    ASSERT_TRUE(a.Start() && b.Start(drifting) && c.Start());
    QProcess sub, recorder;
    broker.Subscribe(sub, QStringLiteral("plant/+/alarm"));
    Output alarms{sub};
    StartProgram(recorder, QStringLiteral(TVX_EXE),
                 {"record", broker.Address().prepend("--mqtt="), "--topic", "plant",
                  "--margin-delay", "1.5", "--sensor", "a=" + Tcp(a.TcpPort()), "--sensor",
                  "b=" + Tcp(b.TcpPort()), "--sensor", "c=" + Tcp(c.TcpPort())},
                 false);
    Output err{recorder, true};
    ASSERT_TRUE(err.WaitForCount(QStringLiteral("b: margin ok"))) << qPrintable(err.text);
    ASSERT_TRUE(alarms.WaitForCount(QStringLiteral("\"state\":\"ok\""), 4))
        << qPrintable(alarms.text);
    EXPECT_EQ(Terminate(recorder), 0);

    const QRegularExpression said(QStringLiteral(
        "b: margin (low|ok): row 0 at ([-.0-9]+), (below 0.2|above 0.25) since (\\S+)"));
    QStringList states;
    std::vector<double> margins;
    std::vector<QDateTime> since;
    for (auto match = said.globalMatch(err.text); match.hasNext();) {
        const auto m = match.next();
        states << m.captured(1);
        margins.push_back(m.captured(2).toDouble());
        since.push_back(QDateTime::fromString(m.captured(4), Qt::ISODateWithMs));
    }
    ASSERT_EQ(states.join(' '), QStringLiteral("low ok")) << qPrintable(err.text);
    EXPECT_LT(margins[0], 0.2);
    EXPECT_GT(margins[1], 0.25);
    // The low run began with the first low frame (2 s); the clearing run not in the deadband
    // (5 s) but with the first clear frame (8 s).
    EXPECT_NEAR(since[0].msecsTo(since[1]), 6000, 600);
    EXPECT_FALSE(err.text.contains(QStringLiteral("a: margin")) ||
                 err.text.contains(QStringLiteral("c: margin")))
        << qPrintable(err.text);
    for (const char* steady : {"a", "c"})
        EXPECT_EQ(alarms.text.count(QStringLiteral("plant/%1/alarm {").arg(steady)), 1) << steady;
    const QString bAlarms = alarms.text.split('\n').filter("plant/b/alarm").join('\n');
    EXPECT_EQ(bAlarms.count("\"state\":\"ok\""), 2);
    EXPECT_EQ(bAlarms.count("\"state\":\"margin low\""), 1);
    EXPECT_LT(bAlarms.indexOf("margin low"), bAlarms.lastIndexOf("\"ok\"")) << qPrintable(bAlarms);
    EXPECT_TRUE(broker.Retained("plant/b/alarm").endsWith("\"state\":\"ok\"}"));
    sub.kill();
    sub.waitForFinished();
    Terminate(broker.process);
}

}  // namespace
}  // namespace tvx
