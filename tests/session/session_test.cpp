// The sensor session on its own, against the simulated sensor over TCP 127.0.0.1 and a
// pseudo-terminal: every way an open or an exchange can end arrives as one typed result, and one
// thread drives many sessions at once.
#include "sensor_session.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QThread>
#include <memory>

#include "blocking_link.h"
#include "closed_port.h"
#include "epoll_dispatcher.h"
#include "link_errors.h"
#include "sim_thread.h"

namespace tvx {
namespace {

using sim::Fault;
using sim::FaultKind;

QByteArray OrderFrame(std::uint16_t order) {
    FrameBuffers buffers;
    FillTxBuf(buffers, order, 0);
    return QByteArray(reinterpret_cast<const char*>(buffers.szWriteBuf.data()), kFrameBytes);
}

// The handshake's reply length with short waits, so that a silent sensor costs little.
ExchangeLimits Quick() {
    ExchangeLimits limits = HandshakeReply();
    limits.serialWaitSeconds = limits.tcpWaitSeconds = 0.4;
    return limits;
}

class Session : public ::testing::TestWithParam<bool> {
  protected:
    bool Serial() const { return GetParam(); }
    void SetUp() override {
        sim::SimConfig config;
        config.pty = true;
        config.version = "TRIVEX SESSION TEST";
        ASSERT_TRUE(sensor_.Start(config)) << sensor_.Error().toStdString();
        const OpenResult opened = OpenAndWait(session_, Endpoint(), WaitMode::ServeUserInput);
        ASSERT_TRUE(opened.ok()) << opened.text.toStdString();
    }
    SensorAddress Endpoint() {
        return Serial() ? SensorAddress::Serial({1, sensor_.PtyPath()})
                        : SensorAddress::Tcp(QStringLiteral("127.0.0.1"), sensor_.TcpPort());
    }
    ExchangeResult Handshake() {
        return ExchangeAndWait(session_, OrderFrame(7), Quick(), WaitMode::ServeUserInput);
    }
    sim::SimServer& Sensor() { return sensor_.Server(); }

    sim::SimThread sensor_;
    SensorSession session_;
};

TEST_P(Session, EveryWayAnExchangeEndsIsOneOutcome) {
    const QByteArray version = QByteArray("TRIVEX SESSION TEST").leftJustified(kFrameBytes, '\0');
    struct Case {
        const char* what;
        std::optional<Fault> fault;  // on the next handshake
        LinkOutcome tcp, serial;
        int arrived;  // bytes that came; -1: as many as the reply has
    };
    const auto once = [](FaultKind kind, int a = Fault::kDefault, int b = Fault::kDefault) {
        return Fault{kind, 7, 1, 0, a, b};
    };
    const Case cases[] = {
        {"no fault", {}, LinkOutcome::Done, LinkOutcome::Done, -1},
        {"silence", once(FaultKind::NoReply), LinkOutcome::NoReply, LinkOutcome::NoReply, 0},
        {"short", once(FaultKind::ShortReply, 20), LinkOutcome::ShortReply, LinkOutcome::ShortReply,
         20},
        // Over TCP the bytes after a complete reply are dropped; on the serial line 37 bytes
        // queued at once are no reply.
        {"long", once(FaultKind::LongReply), LinkOutcome::Done, LinkOutcome::LongReply, -2},
        {"split", once(FaultKind::SplitReply, 10, 50), LinkOutcome::Done, LinkOutcome::Done, -1},
        {"late", once(FaultKind::DelayedReply, 800), LinkOutcome::NoReply, LinkOutcome::NoReply, 0},
        // Stray bytes that came after the previous reply are no part of this one.
        {"stray bytes before", {}, LinkOutcome::Done, LinkOutcome::Done, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sensor().ClearFaults();
        const qint64 dropped = session_.DroppedBytes();
        if (c.fault) {
            Sensor().AddFault(*c.fault);
        } else if (std::string(c.what) == "stray bytes before") {
            Sensor().AddFault(once(FaultKind::Unsolicited, 50, 100));
            ASSERT_TRUE(Handshake().ok());
            ASSERT_TRUE(Sensor().WaitForLinesIdle(5000));
        }
        const ExchangeResult result = Handshake();
        const LinkOutcome want = Serial() ? c.serial : c.tcp;
        EXPECT_EQ(result.outcome, want);
        EXPECT_EQ(result.written, kFrameBytes);
        EXPECT_EQ(result.expected, kFrameBytes);
        const int arrived = c.arrived == -1   ? kFrameBytes
                            : c.arrived == -2 ? (Serial() ? kFrameBytes + 1 : kFrameBytes)
                                              : c.arrived;
        EXPECT_EQ(result.arrived, arrived);
        EXPECT_EQ(result.reply.size(), arrived);
        if (want == LinkOutcome::Done) {
            EXPECT_EQ(result.reply, version);
        }
        if (!c.fault && std::string(c.what) != "no fault") {
            EXPECT_GE(session_.DroppedBytes() - dropped, 50);
        }
        ASSERT_TRUE(Sensor().WaitForLinesIdle(5000));
    }
    // Whatever the faults left on the line, the next exchange is clean.
    Sensor().ClearFaults();
    EXPECT_EQ(Handshake().reply, version);
}

TEST_P(Session, ALinkThatGoesAwayEndsTheWaitingExchangeAndSaysWhy) {
    std::vector<LinkDownReason> downs;
    QObject::connect(&session_, &SensorSession::linkDown,
                     [&downs](LinkDownReason reason) { downs.push_back(reason); });
    Sensor().AddFault({FaultKind::Disconnect, 7, 1, 0, 0});
    ExchangeLimits limits = Quick();
    limits.serialWaitSeconds = limits.tcpWaitSeconds = 20.0;
    const ExchangeResult result =
        ExchangeAndWait(session_, OrderFrame(7), limits, WaitMode::ServeUserInput);
    const LinkDownReason reason =
        Serial() ? LinkDownReason::LineHungUp : LinkDownReason::ClosedBySensor;
    EXPECT_EQ(result.outcome, Serial() ? LinkOutcome::LineHungUp : LinkOutcome::ClosedBySensor);
    EXPECT_LT(result.elapsedSeconds, 10.0);  // at once, not at the limit
    EXPECT_EQ(downs, std::vector<LinkDownReason>{reason});
    EXPECT_FALSE(session_.IsOpen());
    // Nothing is written on a link that is down; the result says so at once.
    const ExchangeResult after = Handshake();
    EXPECT_EQ(after.outcome, LinkOutcome::WriteIncomplete);
    EXPECT_EQ(after.written, Serial() ? int{kSerialPortNotOpen} : int{kTcpNoConnectionEstablished});
    EXPECT_EQ(session_.Send(OrderFrame(1)).outcome, LinkOutcome::WriteIncomplete);
    // Closing from this side is news too, with its own reason.
    ASSERT_TRUE(Sensor().WaitForLinesIdle(5000));
    ASSERT_TRUE(OpenAndWait(session_, Endpoint(), WaitMode::ServeUserInput).ok());
    session_.Close();
    EXPECT_EQ(downs.back(), LinkDownReason::ClosedHere);
}

TEST_P(Session, ANewExchangeTakesTheLineFromOneStillWaiting) {
    Sensor().AddFault({FaultKind::NoReply, 7, 1});
    std::optional<ExchangeResult> first;
    session_.StartExchange(OrderFrame(7), Quick(),
                           [&first](const ExchangeResult& r) { first = r; });
    ASSERT_TRUE(Sensor().WaitForRequests(1, 5000));
    EXPECT_TRUE(Handshake().ok());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->outcome, LinkOutcome::Superseded);
}

// The tvx.session lines, as a handler installed for the test keeps them.
QStringList g_sessionLines;

void KeepSessionLines(QtMsgType, const QMessageLogContext& context, const QString& text) {
    if (QLatin1String(context.category) == QLatin1String("tvx.session")) g_sessionLines << text;
}

TEST_P(Session, ItsLogSaysEachRequestAndReplyOnOneLineOnceEnabled) {
    const QString endpoint = session_.Address().Describe();
    const QtMessageHandler previous = qInstallMessageHandler(KeepSessionLines);
    struct Case {
        const char* what;
        bool enabled;
        std::optional<Fault> fault;
        QString line;  // a pattern; empty: no line at all
    };
    const Case cases[] = {
        {"off by default", false, {}, {}},
        {"a reply", true, {}, " order 7: wrote 36 of 36, arrived 36 of 36, done, [0-9.]+ ms"},
        {"none", true, Fault{FaultKind::NoReply, 7, 1},
         " order 7: wrote 36 of 36, arrived 0 of 36, no_reply, [0-9.]+ ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QLoggingCategory::setFilterRules(c.enabled ? QStringLiteral("tvx.session.debug=true")
                                                   : QString());
        g_sessionLines.clear();
        if (c.fault) Sensor().AddFault(*c.fault);
        Handshake();
        if (c.line.isEmpty()) {
            EXPECT_TRUE(g_sessionLines.isEmpty()) << g_sessionLines.join('\n').toStdString();
        } else {
            EXPECT_EQ(g_sessionLines.size(), 1);
            const QRegularExpression line('^' + QRegularExpression::escape(endpoint) + c.line +
                                          '$');
            EXPECT_TRUE(line.match(g_sessionLines.value(0)).hasMatch())
                << g_sessionLines.value(0).toStdString();
        }
    }
    session_.Close();
    EXPECT_EQ(g_sessionLines.value(1), endpoint + " closed");
    QLoggingCategory::setFilterRules({});
    qInstallMessageHandler(previous);
}

INSTANTIATE_TEST_SUITE_P(Links, Session, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pty" : "Tcp"; });

TEST(SessionOpen, FailuresCarryTheCodeAndTextOfTheErrorTable) {
    struct Case {
        const char* what;
        SensorAddress address;
        LinkOutcome outcome;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"no port number", SensorAddress::Serial({0, {}}), LinkOutcome::OpenFailed,
         kSerialInvalidPortNumber, "Invalid port number"},
        {"no such device", SensorAddress::Serial({1, "/dev/tvx-no-such-port"}),
         LinkOutcome::OpenFailed, kSerialNoPortFound, "No serial port found"},
        {"not a serial port", SensorAddress::Serial({1, "/dev/null"}), LinkOutcome::OpenFailed,
         kSerialCannotOpenPort, "Cannot open port"},
        {"refused", SensorAddress::Tcp("127.0.0.1", ClosedLocalPort()), LinkOutcome::ConnectFailed,
         kTcpUnableToEstablishConnection, "UnableToEstablishConnection"},
        {"port 0", SensorAddress::Tcp("127.0.0.1", 0), LinkOutcome::ConnectFailed,
         kTcpInvalidParameter, "InvalidParameter"},
        {"no host", SensorAddress::Tcp("", 5000), LinkOutcome::ConnectFailed, kTcpInvalidParameter,
         "InvalidParameter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SensorSession session;
        int ups = 0;
        QObject::connect(&session, &SensorSession::linkUp, [&ups] { ++ups; });
        const OpenResult result = OpenAndWait(session, c.address, WaitMode::ServeUserInput);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.code, c.code);
        EXPECT_EQ(result.text, c.text);
        EXPECT_FALSE(session.IsOpen());
        EXPECT_EQ(ups, 0);
    }
}

// One thread, many sensors, each slow to answer: every request is out before the first reply
// comes, so no session waits inside another's wait.
void KeepEveryExchangeGoingAtOnce() {
    constexpr int kSensors = 12;
    std::vector<std::unique_ptr<sim::SimThread>> sensors;
    std::vector<std::unique_ptr<SensorSession>> sessions;
    for (int i = 0; i < kSensors; ++i) {
        sim::SimConfig config;
        config.version = QByteArray("SENSOR ") + QByteArray::number(i);
        config.faults = {{FaultKind::DelayedReply, 7, Fault::kAlways, 0, 300}};
        sensors.push_back(std::make_unique<sim::SimThread>());
        ASSERT_TRUE(sensors.back()->Start(config));
        sessions.push_back(std::make_unique<SensorSession>());
    }
    // Any session's news wakes the waits below.
    QTimer news;
    news.setSingleShot(true);
    const auto wake = [&news] { news.start(0); };
    int opened = 0;
    for (int i = 0; i < kSensors; ++i) {
        QObject::connect(sessions[i].get(), &SensorSession::opened,
                         [&opened](const OpenResult& r) { opened += r.ok() ? 1 : 0; });
        QObject::connect(sessions[i].get(), &SensorSession::opened, wake);
        QObject::connect(sessions[i].get(), &SensorSession::exchangeFinished, wake);
        sessions[i]->StartOpen(SensorAddress::Tcp("127.0.0.1", sensors[i]->TcpPort()));
    }
    const auto waitFor = [&news](const std::function<bool()>& done) {
        return WaitUntil(done, 10.0, WaitMode::ServeUserInput,
                         {WakeSource(&news, &QTimer::timeout)})
            .done;
    };
    ASSERT_TRUE(waitFor([&] { return opened == kSensors; }));

    std::vector<std::optional<ExchangeResult>> results(kSensors);
    int finished = 0;
    ExchangeLimits limits = HandshakeReply();
    for (int i = 0; i < kSensors; ++i) {
        sessions[i]->StartExchange(OrderFrame(7), limits, [&, i](const ExchangeResult& r) {
            results[i] = r;
            ++finished;
        });
    }
    for (const auto& session : sessions) EXPECT_TRUE(session->ExchangePending());
    for (const auto& sensor : sensors) EXPECT_TRUE(sensor->Server().WaitForRequests(1, 5000));
    EXPECT_EQ(finished, 0);
    ASSERT_TRUE(waitFor([&] { return finished == kSensors; }));
    for (int i = 0; i < kSensors; ++i) {
        ASSERT_TRUE(results[i]->ok()) << i;
        EXPECT_EQ(results[i]->reply,
                  (QByteArray("SENSOR ") + QByteArray::number(i)).leftJustified(kFrameBytes, '\0'));
    }
}

TEST(ManySessions, OneThreadKeepsEveryExchangeGoingAtOnce) {
    KeepEveryExchangeGoingAtOnce();
}

// The same in a thread served through epoll, as the recorder and the simulator are: sockets,
// timers, posted calls and deferred deletes all arrive.
TEST(ManySessions, SoDoesAThreadServedThroughEpoll) {
    std::unique_ptr<QThread> thread(QThread::create(KeepEveryExchangeGoingAtOnce));
    thread->setEventDispatcher(new EpollDispatcher);
    thread->start();
    ASSERT_TRUE(thread->wait(QDeadlineTimer(60000)));
}

}  // namespace
}  // namespace tvx
