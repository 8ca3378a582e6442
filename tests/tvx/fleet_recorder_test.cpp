// The one-thread recorder in this process against simulated sensors over TCP: sensors join and
// leave while the others record on, the figures follow, and a count of frames ends a recording.
#include <gtest/gtest.h>

#include <QTimer>
#include <map>

#include "closed_port.h"
#include "event_wait.h"
#include "fleet.h"
#include "sim_thread.h"

namespace tvx::cli {
namespace {

struct Heard {
    std::map<QString, int> frames;
    std::map<QString, QStringList> states;
    int ended = 0;

    RecordEvents Events() {
        RecordEvents events;
        events.frame = [this](const QString& name, const StampedFrame&) { ++frames[name]; };
        events.status = [this](const QString& name, bool online, const QString& text, double) {
            states[name] << (online ? "online " : "offline ") + text;
        };
        events.ended = [this] { ++ended; };
        return events;
    }
};

NamedSensor At(const QString& name, quint16 port) {
    return {name, SensorAddress::Tcp(QStringLiteral("127.0.0.1"), port)};
}

bool WaitFor(const std::function<bool()>& condition) {
    QTimer tick;
    tick.start(20);
    return WaitUntil(condition, 30.0, WaitMode::ServeUserInput,
                     {WakeSource(&tick, &QTimer::timeout)})
        .done;
}

TEST(FleetRecorderTest, SensorsJoinAndLeaveWhileTheOthersRecordOn) {
    sim::SimThread a, b, c;
    ASSERT_TRUE(a.Start() && b.Start() && c.Start());
    Heard heard;
    FleetMetrics metrics;
    FleetRecorder recorder({}, heard.Events(), &metrics);
    recorder.Add(At("a", a.TcpPort()));
    recorder.Add(At("b", b.TcpPort()));
    recorder.Add(At("dead", ClosedLocalPort()));
    ASSERT_TRUE(WaitFor([&] { return heard.frames["b"] >= 3 && heard.states.count("dead"); }));

    recorder.Remove("b");
    const int bFrames = heard.frames["b"];
    const int aFrames = heard.frames["a"];
    recorder.Add(At("c", c.TcpPort()));
    ASSERT_TRUE(
        WaitFor([&] { return heard.frames["c"] >= 3 && heard.frames["a"] >= aFrames + 6; }));
    EXPECT_EQ(heard.frames["b"], bFrames) << "nothing is heard of a removed sensor";
    for (const char* name : {"a", "b", "c"})
        EXPECT_EQ(heard.states[name], QStringList{"online TRIVEX-SIM V6.1"}) << name;
    EXPECT_TRUE(
        heard.states["dead"].value(0).startsWith("offline cannot connect: connection refused"));

    const QByteArray figures = metrics.Exposition();
    EXPECT_TRUE(figures.contains("tvx_frames_total{sensor=\"a\"} " +
                                 QByteArray::number(heard.frames["a"]) + '\n'));
    EXPECT_TRUE(figures.contains("tvx_link_up{sensor=\"c\"} 1\n"));
    EXPECT_TRUE(figures.contains(
        "tvx_exchange_failures_total{sensor=\"dead\",kind=\"connect_failed\"} 1\n"));
    // Handshake, 16 parameter reads and the frames, all timed.
    EXPECT_TRUE(figures.contains("tvx_exchange_seconds_count{sensor=\"c\"} " +
                                 QByteArray::number(17 + heard.frames["c"]) + '\n'));
    EXPECT_FALSE(figures.contains("sensor=\"b\""));
    recorder.Stop();
    EXPECT_EQ(heard.ended, 1);

    // With a count, the recording ends once every sensor has it.
    Heard counted;
    RecordPace fourFrames;
    fourFrames.count = 4;
    FleetRecorder byCount(fourFrames, counted.Events());
    byCount.Add(At("a", a.TcpPort()));
    byCount.Add(At("c", c.TcpPort()));
    ASSERT_TRUE(WaitFor([&] { return counted.ended == 1; }));
    EXPECT_EQ(counted.frames, (std::map<QString, int>{{"a", 4}, {"c", 4}}));
}

}  // namespace
}  // namespace tvx::cli
