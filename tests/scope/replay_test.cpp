// Frames recorded on a line, replayed by the simulator, seen in the scope's live view.

#include <atomic>

#include "frame_line.h"
#include "scope_fixture.h"

namespace tvx {
namespace {

class ReplayIntoScope : public ScopeWithSensor {
  protected:
    void SetUp() override {}  // each case starts a simulator of its own
};

TEST_F(ReplayIntoScope, TheLiveViewShowsTheRecordedFramesInTheirOrder) {
    // LiveValues: R, G, B, X, Y, INT, C-No, TEMP, GROUP.
    const LiveValues frames[] = {{2000, 1200, 800, 1861, 1116, 1333, 0, 25, 0},
                                 {3100, 900, 400, 2881, 836, 1466, 255, 26, 0},
                                 {410, 2900, 2800, 274, 1939, 2036, 3, 24, 7},
                                 {4095, 4095, 4095, 1365, 1365, 4095, 14, 65535, 15}};
    for (const bool serial : {false, true}) {  // over the pseudo-terminal: s, i, M and hold
        SCOPED_TRACE(serial ? "pseudo-terminal" : "TCP");
        // The recording as tvx writes it, a frame every 250 ms; the values in the order of the
        // CSV's columns are those of the displays below.
        QString csv = CsvHeader(serial) + "\r\n";
        QStringList recorded;
        const auto first = QDateTime::fromMSecsSinceEpoch(1796774400000, Qt::OffsetFromUTC, 3600);
        for (int i = 0; i < 4; ++i) {
            const QString line = CsvLine({first.addMSecs(250 * i), frames[i], serial, {}});
            csv += line + "\r\n";
            recorded << line.section(',', 1, kFrameLineValues);  // the values, not the margin
        }
        auto replay = sim::Replay::Parse(csv, "line3.csv", nullptr);
        ASSERT_TRUE(replay);
        replay->SetHold(serial);
        sim::SimConfig config;
        config.tcp = !serial;
        config.pty = serial;
        config.replay = replay;
        ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
        // The test moves the replay's clock through the recorded times (250 ms apart) twice:
        // looping, the second pass shows the frames again; holding, it lies far past the end.
        std::atomic<std::int64_t> nowMs = 0;
        Sensor().SetClock([&nowMs] { return nowMs.load(); });
        StartWith(serial ? SerialOptions(sensor.PtyPath()) : TcpStartOptions(sensor.TcpPort()));
        Sensor().ClearRequests();

        QStringList shown;  // consecutive repeats removed
        int step = 0;
        std::size_t requestsAtStep = 0;
        RunLoop(Main().buttonGo, [&] {
            QStringList values;
            for (QLineEdit* display :
                 {Main().dispRed, Main().dispGreen, Main().dispBlue, Main().dispX, Main().dispY,
                  Main().dispINT, Main().dispCOL, Main().dispGroup, Main().dispTemp})
                values << display->text();
            // From the second request on, the first frame is on show.
            if (Sensor().RequestCount() >= 2 && shown.value(shown.size() - 1) != values.join(','))
                shown << values.join(',');
            // A third frame asked for at this time: one of this time was on show just now.
            if (Sensor().RequestCount() < requestsAtStep + 3) return false;
            if (++step == 8) {
                Click(Main().buttonStop);
                return true;
            }
            nowMs = step / 4 * (serial ? 100 : 1) * replay->loopPeriod() + 250 * (step % 4);
            requestsAtStep = Sensor().RequestCount();
            return false;
        });
        EXPECT_EQ(shown.join(" | ").toStdString(),
                  (serial ? recorded : recorded + recorded).join(" | ").toStdString());
        EXPECT_EQ(Main().labelX->text(), serial ? "s" : "X");
        StopScope();
        sensor.Stop();
    }
}

}  // namespace
}  // namespace tvx
