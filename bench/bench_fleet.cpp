// tvx record against a fleet of simulated sensors over TCP, served by one simulator process, with
// dead sensors among them (half on refused ports, half on ports that accept and never answer):
// frames per second of each answering sensor against the live rate (one bare exchange plus the
// 50 ms pause), and the CPU and peak memory of the recorder. With --mqtt the recording goes to a
// Mosquitto of the bench's own on a loopback port, and the frames are counted where a plant would
// see them: at a QoS 1 subscriber to every sensor's frame topic.
//
//   tvx-bench-fleet --sensors N [--seconds S] [--mqtt [--sparkplug]] [--tvx PATH] [--broker PATH]
#include <mosquitto.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench_common.h"
#include "closed_port.h"
#include "sim_thread.h"

namespace {

constexpr double kMeasureSeconds = 20.0;
constexpr char kTopicPrefix[] = "bench";

// User plus system CPU time of a process or of one thread (/proc/PID/stat, /proc/self/task/TID/
// stat), in seconds.
double CpuSecondsOf(const QString& statPath) {
    QFile stat(statPath);
    if (!stat.open(QIODevice::ReadOnly)) return 0.0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses and may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double CpuSeconds(qint64 pid) {
    return CpuSecondsOf(QStringLiteral("/proc/%1/stat").arg(pid));
}

// The peak resident memory of a process (VmHWM), in MB.
double PeakMegabytes(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0.0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ')[0].toDouble() / 1024.0;
    return 0.0;
}

// The lines of each answering sensor's CSV file, counted from where the last count stopped.
struct LineCounter {
    QStringList paths;
    std::vector<qint64> offsets = std::vector<qint64>(paths.size(), 0);
    std::vector<long> lines = std::vector<long>(paths.size(), 0);

    std::vector<long> Count() {
        for (qsizetype i = 0; i < paths.size(); ++i) {
            QFile file(paths[i]);
            if (!file.open(QIODevice::ReadOnly) || !file.seek(offsets[i])) continue;
            const QByteArray added = file.readAll();
            // A line still being written is counted next time.
            const qsizetype complete = added.lastIndexOf('\n') + 1;
            lines[i] += static_cast<long>(added.left(complete).count('\n'));
            offsets[i] += complete;
        }
        return lines;
    }
};

// What the recorder says of itself at its --metrics port: the frames it has recorded, all
// sensors together, and those in its spool not yet acknowledged by the broker. A figure the
// answer lacks (no answer, or a recorder without it) is -1.
struct RecorderFigures {
    double recorded = -1.0;
    double spooled = -1.0;
};

RecorderFigures Scrape(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000)) return {};
    socket.write("GET /metrics HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    // The server closes the connection after its answer.
    QByteArray answer;
    const double start = tvx::SecondsTimer();
    while (socket.state() == QAbstractSocket::ConnectedState && tvx::SecondsTimer() - start < 5.0) {
        socket.waitForReadyRead(500);
        answer += socket.readAll();
    }
    answer += socket.readAll();
    RecorderFigures figures;
    for (const QByteArray& line : answer.mid(answer.indexOf("\r\n\r\n") + 4).split('\n')) {
        const qsizetype blank = line.lastIndexOf(' ');
        if (line.startsWith('#') || blank < 0) continue;
        bool ok = false;
        const double value = line.mid(blank + 1).toDouble(&ok);
        if (!ok) continue;
        if (line.startsWith("tvx_frames_total{"))
            figures.recorded = std::max(figures.recorded, 0.0) + value;
        else if (line.startsWith("tvx_spool_frames{"))
            figures.spooled = std::max(figures.spooled, 0.0) + value;
    }
    return figures;
}

// The sensor names the bench gives: s0000, s0001, ... (more digits beyond 9999).
QString SensorName(int index) {
    return QStringLiteral("s%1").arg(index, 4, 10, QLatin1Char('0'));
}

// A QoS 1 subscriber to PREFIX/+/frame (or the Sparkplug node's DDATA), served by libmosquitto's
// own thread so that the bench's pauses do not hold the broker's deliveries back. Per sensor it
// keeps the messages that came, repeats included, and the highest "seq" among them: frames of one
// sensor arrive in order, so the highest number is how many distinct frames have come.
class Subscriber {
  public:
    struct Counts {
        std::vector<long> messages;
        std::vector<long> distinct;
    };

    Subscriber(int sensors, std::string filter)
        : sensors_(sensors),
          filter_(std::move(filter)),
          messages_(new std::atomic<long>[static_cast<std::size_t>(sensors)]),
          highest_(new std::atomic<long>[static_cast<std::size_t>(sensors)]) {
        for (int i = 0; i < sensors; ++i) {
            messages_[i] = 0;
            highest_[i] = 0;
        }
    }

    ~Subscriber() {
        if (client_ == nullptr) return;
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, true);
        mosquitto_destroy(client_);
    }

    Subscriber(const Subscriber&) = delete;
    Subscriber& operator=(const Subscriber&) = delete;

    // Connects and waits until the broker has confirmed the subscription, so that the recorder
    // started after it loses no frame to the subscriber.
    bool Connect(quint16 port, QString& error) {
        const std::string id =
            "tvx-bench-fleet-" + std::to_string(::getpid()) + "-" + std::to_string(filter_.size());
        client_ = mosquitto_new(id.c_str(), true, this);
        if (client_ == nullptr) {
            error = QStringLiteral("no MQTT client for the subscriber");
            return false;
        }
        mosquitto_connect_callback_set(client_, OnConnect);
        mosquitto_subscribe_callback_set(client_, OnSubscribe);
        mosquitto_message_callback_set(client_, OnMessage);
        int rc = mosquitto_connect(client_, "127.0.0.1", port, 60);
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop_start(client_);
        if (rc != MOSQ_ERR_SUCCESS) {
            error =
                QStringLiteral("the subscriber: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)));
            return false;
        }
        const double start = tvx::SecondsTimer();
        while (!subscribed_.load() && tvx::SecondsTimer() - start < 10.0) ::usleep(10000);
        if (!subscribed_.load())
            error = QStringLiteral("the broker did not confirm the subscription");
        return subscribed_.load();
    }

    Counts Read() const {
        Counts counts;
        for (int i = 0; i < sensors_; ++i) {
            counts.messages.push_back(messages_[i].load(std::memory_order_relaxed));
            counts.distinct.push_back(highest_[i].load(std::memory_order_relaxed));
        }
        return counts;
    }

    // The CPU seconds of the thread that receives and acknowledges; 0 before it has run.
    double CpuSeconds() const {
        const long tid = tid_.load();
        return tid == 0 ? 0.0 : CpuSecondsOf(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
    }

  private:
    static void OnConnect(mosquitto* client, void* self, int rc) {
        auto* me = static_cast<Subscriber*>(self);
        me->tid_ = static_cast<long>(::gettid());
        // Again after a reconnection: the session is a clean one.
        if (rc == 0) mosquitto_subscribe(client, nullptr, me->filter_.c_str(), 1);
    }

    static void OnSubscribe(mosquitto*, void* self, int, int count, const int* granted) {
        if (count == 1 && granted[0] == 1) static_cast<Subscriber*>(self)->subscribed_ = true;
    }

    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
        auto* me = static_cast<Subscriber*>(self);
        const int index = SensorIndex(message->topic);
        if (index < 0 || index >= me->sensors_) return;
        me->messages_[index].fetch_add(1, std::memory_order_relaxed);
        std::atomic<long>& highest = me->highest_[index];
        const long seq = Seq(message);
        // A payload without a number counts as the next frame.
        const long now = seq > 0 ? seq : highest.load(std::memory_order_relaxed) + 1;
        if (now > highest.load(std::memory_order_relaxed))
            highest.store(now, std::memory_order_relaxed);
    }

    // PREFIX/sNNNN/frame or spBv1.0/GROUP/DDATA/EDGE/sNNNN -> NNNN; -1 for another name.
    static int SensorIndex(const char* topic) {
        for (const char* name = std::strchr(topic, '/'); name != nullptr;
             name = std::strchr(name + 1, '/')) {
            if (name[1] != 's') continue;
            int index = 0;
            const char* digit = name + 2;
            for (; *digit >= '0' && *digit <= '9'; ++digit) index = index * 10 + (*digit - '0');
            if (digit > name + 2 && (*digit == '/' || *digit == '\0')) return index;
        }
        return -1;
    }

    // The "seq" the frame's JSON leads with; 0 if it has none.
    static long Seq(const mosquitto_message* message) {
        static constexpr char kKey[] = "\"seq\":";
        const char* payload = static_cast<const char*>(message->payload);
        const int length = message->payloadlen;
        const int keyLength = static_cast<int>(sizeof kKey) - 1;
        for (int at = 0; at + keyLength <= length && at < 16; ++at) {
            if (std::memcmp(payload + at, kKey, static_cast<std::size_t>(keyLength)) != 0) continue;
            long seq = 0;
            for (int i = at + keyLength; i < length && payload[i] >= '0' && payload[i] <= '9'; ++i)
                seq = seq * 10 + (payload[i] - '0');
            return seq;
        }
        return 0;
    }

    int sensors_;
    std::string filter_;
    std::unique_ptr<std::atomic<long>[]> messages_;
    std::unique_ptr<std::atomic<long>[]> highest_;
    mosquitto* client_ = nullptr;
    std::atomic<bool> subscribed_{false};
    std::atomic<long> tid_{0};
};

// What the bench has started. std::exit runs no destructor of main's locals, so every way out,
// a failure or a signal included, ends these here: no broker, simulator or recorder outlives the
// bench, and no temporary folder stays behind.
struct Started {
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<QProcess> simulator;
    std::unique_ptr<QProcess> broker;
    std::unique_ptr<Subscriber> subscriber;
    std::unique_ptr<Subscriber> sparkplugSubscriber;  // of the node's DDATA
    std::unique_ptr<QProcess> recorder;
    bool mosquittoLibrary = false;  // initialised, to be cleaned up
};

Started& Ours() {
    static Started started;
    return started;
}

void End(std::unique_ptr<QProcess>& process, int signal, int waitMs) {
    if (!process) return;
    if (process->state() != QProcess::NotRunning) {
        ::kill(static_cast<pid_t>(process->processId()), signal);
        if (!process->waitForFinished(waitMs)) {
            process->kill();
            process->waitForFinished(5000);
        }
    }
    process.reset();
}

void EndAll() {
    Started& ours = Ours();
    // The recorder first, while the broker still takes what it has left to say.
    End(ours.recorder, SIGINT, 60000);
    ours.subscriber.reset();
    ours.sparkplugSubscriber.reset();
    End(ours.broker, SIGTERM, 10000);
    End(ours.simulator, SIGTERM, 10000);
    ours.folder.reset();
    if (ours.mosquittoLibrary) mosquitto_lib_cleanup();
    ours.mosquittoLibrary = false;
}

// A process of the bench's own that also ends when the bench is killed outright, when nothing of
// the bench's is left to end it.
std::unique_ptr<QProcess> ChildProcess() {
    auto process = std::make_unique<QProcess>();
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    return process;
}

// The last lines a child wrote to its standard error, for a failure's message.
QByteArray Tail(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.readAll().trimmed();
    return text.mid(std::max<qsizetype>(0, text.size() - 600));
}

[[noreturn]] void Fail(const QString& what) {
    std::fprintf(stderr, "tvx-bench-fleet: %s\n", qPrintable(what));
    EndAll();
    std::exit(1);
}

volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void AskStop(int signal) {
    gStopSignal = signal;
}

// A pause that ends early, and the bench with it, when a signal asks the bench to stop.
void PauseOrStop(double seconds) {
    const double start = tvx::SecondsTimer();
    for (;;) {
        if (gStopSignal != 0) Fail(QStringLiteral("stopped by signal %1").arg(int(gStopSignal)));
        const double left = seconds - (tvx::SecondsTimer() - start);
        if (left <= 0.0) return;
        tvx::Pause(std::min(left, 0.1), tvx::WaitMode::ServeUserInput);
    }
}

// Starts Mosquitto on a free loopback port with a configuration in `folder` and returns once the
// port accepts: the recorder's first connection must not meet a broker still starting.
quint16 StartBroker(const QString& program, const QString& folder) {
    const quint16 port = tvx::ClosedLocalPort();
    if (port == 0) Fail(QStringLiteral("no free port for the broker"));
    // The broker must take all the recorder sends and hold back nothing from the subscriber,
    // however far it falls behind: no bound on the messages in flight or queued for it. `user
    // root` keeps a broker started as root from dropping to a user that cannot read the folder.
    const QString config = QDir(folder).filePath(QStringLiteral("mosquitto.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) Fail(QStringLiteral("cannot write ") + config);
    file.write(QStringLiteral("listener %1 127.0.0.1\n"
                              "allow_anonymous true\n"
                              "persistence false\n"
                              "max_inflight_messages 0\n"
                              "max_queued_messages 0\n"
                              "max_queued_bytes 0\n"
                              "user root\n"
                              "log_dest stderr\n"
                              "log_type error\n"
                              "log_type warning\n")
                   .arg(port)
                   .toUtf8());
    file.close();

    const QString log = QDir(folder).filePath(QStringLiteral("mosquitto.log"));
    Started& ours = Ours();
    ours.broker = ChildProcess();
    ours.broker->setStandardOutputFile(log);
    ours.broker->setStandardErrorFile(log, QIODevice::Append);
    ours.broker->start(program, {QStringLiteral("-c"), config});
    if (!ours.broker->waitForStarted(10000)) Fail(program + QStringLiteral(" did not start"));
    const double start = tvx::SecondsTimer();
    for (;;) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (probe.waitForConnected(500)) return port;
        if (ours.broker->state() == QProcess::NotRunning || tvx::SecondsTimer() - start > 10.0)
            Fail(QStringLiteral("the broker did not listen on port %1: %2")
                     .arg(port)
                     .arg(QString::fromUtf8(Tail(log))));
        PauseOrStop(0.05);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace tvx;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, AskStop);

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"sensors", "Sensors in all, dead ones included.", "N", "20"});
    parser.addOption(
        {"seconds", "Seconds measured after the warm-up.", "S", QString::number(kMeasureSeconds)});
    parser.addOption({"mqtt", "Record to a Mosquitto of the bench's own instead of CSV files."});
    parser.addOption({"sparkplug", "With --mqtt, also as the Sparkplug B node bench/fleet."});
    parser.addOption({"tvx", "The tvx program to measure.", "PATH", QStringLiteral(TVX_EXE)});
    parser.addOption({"broker", "The Mosquitto program for --mqtt.", "PATH",
                      QStringLiteral("/usr/sbin/mosquitto")});
    parser.process(app);
    const int total = parser.value("sensors").toInt();
    const double seconds = parser.value("seconds").toDouble();
    const bool sparkplug = parser.isSet("sparkplug");
    const bool mqtt = parser.isSet("mqtt") || sparkplug;
    if (total < 1 || seconds <= 0.0)
        Fail(QStringLiteral("--sensors and --seconds expect numbers above 0"));
    const int dead = std::min(20, total / 10);
    const int answering = total - dead;
    Started& ours = Ours();
    ours.folder = std::make_unique<QTemporaryDir>();
    if (!ours.folder->isValid()) Fail(QStringLiteral("no temporary folder"));
    const QDir folder(ours.folder->path());

    // The bare exchange: one order-5 round trip on a plain socket, no link layer.
    sim::SimThread reference;
    if (!reference.Start()) Fail(QStringLiteral("the reference simulator did not start"));
    QTcpSocket raw;
    raw.connectToHost(QStringLiteral("127.0.0.1"), reference.TcpPort());
    if (!raw.waitForConnected(5000))
        Fail(QStringLiteral("no connection to the reference simulator"));
    raw.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QByteArray request(kFrameBytes, '\0');
    request[1] = 0x55;
    request[3] = 5;
    const double bare =
        bench::Median(bench::TimeRuns(200, [&] { return bench::RawTcpRoundTrip(raw, request); }));
    raw.close();
    reference.Stop();

    // The answering sensors: one simulator process, one port each.
    ours.simulator = ChildProcess();
    QProcess& simulator = *ours.simulator;
    simulator.setStandardErrorFile(QProcess::nullDevice());
    simulator.start(QStringLiteral(SIM_EXE),
                    {QStringLiteral("--tcp-count"), QString::number(answering)});
    QStringList ports;
    while (ports.size() < answering) {
        if (!simulator.canReadLine() && !simulator.waitForReadyRead(30000))
            Fail(QStringLiteral("the simulator did not list its ports"));
        const QByteArray line = simulator.readLine().trimmed();
        if (line.startsWith("tcp ")) ports << QString::fromLatin1(line.mid(4));
    }

    // Both sinks serve their figures, so that the two recorders do the same besides the sink.
    const quint16 metricsPort = ClosedLocalPort();
    if (metricsPort == 0) Fail(QStringLiteral("no free port for the recorder's figures"));
    QStringList arguments = {QStringLiteral("record"), QStringLiteral("--metrics"),
                             QString::number(metricsPort)};
    if (mqtt) {
        mosquitto_lib_init();
        ours.mosquittoLibrary = true;
        const QString brokerFolder = folder.filePath(QStringLiteral("broker"));
        const QString spool = folder.filePath(QStringLiteral("spool"));
        if (!folder.mkpath(brokerFolder)) Fail(QStringLiteral("cannot make ") + brokerFolder);
        const quint16 port = StartBroker(parser.value("broker"), brokerFolder);
        ours.subscriber =
            std::make_unique<Subscriber>(answering, std::string(kTopicPrefix) + "/+/frame");
        QString error;
        if (!ours.subscriber->Connect(port, error)) Fail(error);
        if (sparkplug) {
            ours.sparkplugSubscriber =
                std::make_unique<Subscriber>(answering, "spBv1.0/bench/DDATA/fleet/+");
            if (!ours.sparkplugSubscriber->Connect(port, error)) Fail(error);
            arguments << QStringLiteral("--sparkplug") << QStringLiteral("bench/fleet");
        }
        arguments << QStringLiteral("--mqtt") << QStringLiteral("127.0.0.1:%1").arg(port)
                  << QStringLiteral("--topic") << QLatin1String(kTopicPrefix)
                  << QStringLiteral("--spool") << spool;
    } else {
        const QString csv = folder.filePath(QStringLiteral("csv"));
        if (!folder.mkpath(csv)) Fail(QStringLiteral("cannot make ") + csv);
        arguments << QStringLiteral("--csv") << csv;
    }
    LineCounter counter;
    for (int i = 0; i < answering; ++i) {
        const QString name = SensorName(i);
        arguments << QStringLiteral("--sensor") << name + QStringLiteral("=tcp://") + ports[i];
        counter.paths << folder.filePath(QStringLiteral("csv/") + name + QStringLiteral(".csv"));
    }
    counter.offsets.assign(answering, 0);
    counter.lines.assign(answering, 0);
    // Silent sensors: the connection is taken, nothing ever answers. Refused: nothing listens.
    std::vector<std::unique_ptr<QTcpServer>> silent;
    for (int i = 0; i < dead; ++i) {
        quint16 port = ClosedLocalPort();
        if (i % 2 == 0) {
            silent.push_back(std::make_unique<QTcpServer>());
            silent.back()->setMaxPendingConnections(1000);
            if (!silent.back()->listen(QHostAddress::LocalHost, 0))
                Fail(QStringLiteral("no port to listen on"));
            port = silent.back()->serverPort();
        }
        arguments << QStringLiteral("--sensor")
                  << QStringLiteral("dead%1=tcp://127.0.0.1:%2").arg(i).arg(port);
    }

    // What the recorder says goes to a file: read only when it ends before its time.
    const QString recorderLog = folder.filePath(QStringLiteral("tvx.log"));
    ours.recorder = ChildProcess();
    QProcess& recorder = *ours.recorder;
    recorder.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    recorder.setStandardErrorFile(recorderLog);
    recorder.start(parser.value("tvx"), arguments);
    if (!recorder.waitForStarted(10000)) Fail(QStringLiteral("tvx did not start"));
    const auto recorderRunning = [&] {
        if (recorder.state() == QProcess::NotRunning)
            Fail(QStringLiteral("tvx ended early: ") + QString::fromUtf8(Tail(recorderLog)));
    };

    // Frames per answering sensor so far: the CSV files' lines, or the distinct frames the
    // subscriber has had (and in `messages` all it has had, repeats included).
    std::vector<long> messages(static_cast<std::size_t>(answering), 0);
    const auto frames = [&] {
        if (!mqtt) return counter.Count();
        Subscriber::Counts counts = ours.subscriber->Read();
        messages = std::move(counts.messages);
        return counts.distinct;
    };

    // Warm-up: every sensor connected and through its parameter read.
    const double warmUp = 3.0 + static_cast<double>(total) / 100.0;
    PauseOrStop(warmUp);
    recorderRunning();
    const std::vector<long> before = frames();
    const std::vector<long> messagesBefore = messages;
    const auto ddata = [&] {
        long count = 0;
        if (sparkplug)
            for (long n : ours.sparkplugSubscriber->Read().messages) count += n;
        return count;
    };
    const long ddataBefore = ddata();
    const RecorderFigures figuresBefore = mqtt ? Scrape(metricsPort) : RecorderFigures{};
    const double cpuBefore = CpuSeconds(recorder.processId());
    const double simCpuBefore = CpuSeconds(simulator.processId());
    const double brokerCpuBefore = mqtt ? CpuSeconds(ours.broker->processId()) : 0.0;
    const double subscriberCpuBefore = mqtt ? ours.subscriber->CpuSeconds() : 0.0;
    const double start = SecondsTimer();
    PauseOrStop(seconds);
    const std::vector<long> after = frames();
    const long ddataAfter = ddata();
    const RecorderFigures figuresAfter = mqtt ? Scrape(metricsPort) : RecorderFigures{};
    const double cpuAfter = CpuSeconds(recorder.processId());
    const double simCpuAfter = CpuSeconds(simulator.processId());
    const double brokerCpuAfter = mqtt ? CpuSeconds(ours.broker->processId()) : 0.0;
    const double subscriberCpuAfter = mqtt ? ours.subscriber->CpuSeconds() : 0.0;
    const double wall = SecondsTimer() - start;
    const double memory = PeakMegabytes(recorder.processId());
    recorderRunning();
    EndAll();

    std::vector<double> rates;
    long arrived = 0;    // lines written, or distinct frames delivered
    long delivered = 0;  // messages delivered, repeats included
    for (int i = 0; i < answering; ++i) {
        rates.push_back(static_cast<double>(after[i] - before[i]) / wall);
        arrived += after[i] - before[i];
        delivered += messages[i] - messagesBefore[i];
    }
    std::sort(rates.begin(), rates.end());
    const double slowest = rates.front();
    const double median = bench::Median(rates);
    const double live = 1.0 / (0.05 + bare);
    const double cpu = (cpuAfter - cpuBefore) / wall * 100.0;
    // The frames the recorder took from the sensors: with MQTT its own count, since what the
    // subscriber has lags behind by what the spool holds.
    const double recorded = figuresBefore.recorded >= 0.0 && figuresAfter.recorded >= 0.0
                                ? figuresAfter.recorded - figuresBefore.recorded
                                : static_cast<double>(arrived);
    // Per frame, since the CPU a frame costs does not depend on how much of the machine others
    // take; the CSV and MQTT recordings are compared by it.
    const auto perFrame = [](double cpuSeconds, double frameCount) {
        return frameCount > 0.0 ? cpuSeconds / frameCount * 1e6 : 0.0;
    };
    std::printf(
        "bare exchange %.3f ms, live rate %.2f frames/s, fastest sensor %.2f frames/s, "
        "%d dead sensors, simulator CPU %.0f %% of one core\n",
        bare * 1000.0, live, rates.back(), dead, (simCpuAfter - simCpuBefore) / wall * 100.0);
    if (mqtt) {
        // The spool's size at the start and the end of the window: growing, the broker or the
        // sink falls behind; steady, the frames recorded are the frames delivered.
        const QByteArray spool = figuresBefore.spooled >= 0.0 && figuresAfter.spooled >= 0.0
                                     ? QStringLiteral(", spool held %1 then %2 frames")
                                           .arg(figuresBefore.spooled)
                                           .arg(figuresAfter.spooled)
                                           .toUtf8()
                                     : QByteArray();
        std::printf(
            "mqtt: %.0f frames recorded, %ld delivered and %ld repeats%s, broker CPU %.0f %% of "
            "one core (%.1f us per delivered frame), subscriber CPU %.0f %% (%.1f us)\n",
            recorded, arrived, delivered - arrived, spool.constData(),
            (brokerCpuAfter - brokerCpuBefore) / wall * 100.0,
            perFrame(brokerCpuAfter - brokerCpuBefore, static_cast<double>(arrived)),
            (subscriberCpuAfter - subscriberCpuBefore) / wall * 100.0,
            perFrame(subscriberCpuAfter - subscriberCpuBefore, static_cast<double>(arrived)));
    }
    std::printf(
        "fleet: %d sensors, frames/s per sensor min %.1f median %.1f, ratio to live rate %.3f, "
        "CPU %.0f %% of one core, memory %.0f MB, CPU per frame %.1f us",
        total, slowest, median, slowest / live, cpu, memory,
        perFrame(cpuAfter - cpuBefore, recorded));
    if (mqtt)
        std::printf(", delivered %ld frames (%.0f/s)", delivered,
                    static_cast<double>(delivered) / wall);
    if (sparkplug)
        std::printf(", Sparkplug DDATA %ld (%.0f/s)", ddataAfter - ddataBefore,
                    static_cast<double>(ddataAfter - ddataBefore) / wall);
    std::printf("\n");
    return 0;
}
