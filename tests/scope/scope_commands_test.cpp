// The scope's command exchanges, checked from the sensor's side (their wire faults: tests/faults).
#include "scope_commands.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "failure_reports.h"
#include "parameter_file.h"
#include "scripted_popups.h"
#include "sensor_orders.h"
#include "sim_thread.h"

namespace tvx {
namespace {

using sim::FaultKind;

class ScopeCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sensor.Start());
        link.comprotocol = kTcpIp;
        link.ipBuf = QStringLiteral("127.0.0.1");
        link.portNum = sensor.TcpPort();
        com.InitTCP_IP();
        ASSERT_EQ(link.tcpcon, 1);
        // A panel set unlike the sensor's in every word, the high bits included.
        ParameterImage image;
        for (int w = 0; w < anzpara; ++w) image[w] = static_cast<std::uint16_t>(0x8001 + 7 * w);
        PutImageIntoPp(image, buffers);
        CopyFileParatoVars(buffers, panel);
    }
    sim::SimServer& Sensor() { return sensor.Server(); }

    sim::SimThread sensor;
    ScriptedPopups popups;
    LinkState link;
    FrameBuffers buffers;
    ParameterSet params, panel;
    LiveValues live;
    LoopFlags flags;
    ExchangeState exchange;
    ProgramFiles files;
    QString mainStatus;
    int refreshed = 0;
    Com232 com{link, buffers, flags, popups};
    ExchangePanelHooks hooks{[this](const QString& t) { mainStatus = t; },
                             [](const QString&) {},
                             [] {},
                             [](bool) {},
                             [this] {
                                 params = panel;
                                 return true;
                             },
                             [this] { ++refreshed; },
                             {},
                             {},
                             {}};
    ScopeCommands commands{com, link, exchange, buffers, params, live, flags, files, popups, hooks};
};

TEST_F(ScopeCommandsTest, WritesSendThePanelSetToTheMemoryChosen) {
    for (const std::uint16_t target : {RAM, EEPROM}) {
        SCOPED_TRACE(target);
        Sensor().ClearRequests();
        exchange.target = target;
        commands.SendPara();
        const std::size_t frames = target == EEPROM ? 17 : 16;
        ASSERT_TRUE(Sensor().WaitForRequests(frames, 5000));
        // Order 1 with the mode words, order 2 for each row, order 6 to keep them in the EEPROM.
        std::vector<int> orders(frames, 2);
        orders.front() = 1;
        if (target == EEPROM) orders.back() = 6;
        EXPECT_EQ(Orders(Sensor().Requests()), orders);
        EXPECT_EQ(target == EEPROM ? Sensor().State().eeprom : Sensor().State().ram,
                  ImageOf(panel));
    }
}

TEST_F(ScopeCommandsTest, ReadsAskTheMemoryChosenAndReportWhatIsMissing) {
    Sensor().WithModel([this](sim::SensorModel& m) { m.state().eeprom = ImageOf(panel); });
    struct Case {
        const char* what;
        std::uint16_t target;
        std::optional<sim::Fault> fault;
        std::vector<int> orders;
        int reports;
    };
    const sim::Fault silent{FaultKind::NoReply}, badSync{FaultKind::WrongSync, 3};
    const sim::Fault badEcho{FaultKind::WrongOrder, 8, -1, 0, 7};
    std::vector<int> handshake = ReadOrders(false);
    handshake.insert(handshake.begin(), 7);
    for (const Case& c : {
             Case{"handshake, then a read from RAM", RAM, {}, handshake, 0},
             Case{"from the EEPROM: order 8 first", EEPROM, {}, ReadOrders(true), 0},
             Case{"wrong echo to order 8: ends silently", EEPROM, badEcho, {8}, 0},
             Case{"wrong sync to order 3: ends at once", RAM, badSync, {3}, 1},
             Case{"dead link from RAM: order 3, then row 0", RAM, silent, {3, 4}, 2},
             Case{"dead link from the EEPROM: order 8", EEPROM, silent, {8}, 1},
         }) {
        SCOPED_TRACE(c.what);
        Sensor().ClearFaults();
        if (c.fault) Sensor().AddFault(*c.fault);
        Sensor().ClearRequests();
        popups.Clear();
        params = ParameterSet{};
        refreshed = 0;
        mainStatus.clear();
        exchange.target = c.target;
        c.orders.front() == 7 ? commands.CheckComLine() : commands.GetPara();
        EXPECT_EQ(Orders(Sensor().Requests()), c.orders);
        EXPECT_EQ(FailureReports(popups), c.reports);
        EXPECT_EQ(popups.Count(), c.reports);
        EXPECT_EQ(refreshed, c.fault ? 0 : 1);
        const auto memory = c.target == EEPROM ? Sensor().State().eeprom : Sensor().State().ram;
        EXPECT_EQ(ImageOf(params) == memory, !c.fault);
        EXPECT_EQ(mainStatus == QStringLiteral("TIMEOUT"), c.reports > 0);
    }
}

// A reply for another row than the one asked for is no reply to the read: the read ends with the
// report, and the parameter set and the panels stay as they were, even though every row the
// sensor sent was a row of its own set.
TEST_F(ScopeCommandsTest, AReplyForAnotherRowEndsTheReadAndChangesNothing) {
    Sensor().SetVersion("ROW CHECK V6.1");
    commands.CheckComLine();
    ASSERT_EQ(exchange.version.Text(), QStringLiteral("ROW CHECK V6.1"));
    ASSERT_EQ(popups.Count(), 0);
    // The read of row 5 is answered for row 6.
    Sensor().AddFault(sim::Fault{FaultKind::WrongRow, 4, 1, 5});
    Sensor().ClearRequests();
    params = panel;
    refreshed = 0;
    commands.GetPara();
    std::vector<int> orders = ReadOrders(false);
    orders.resize(1 + 6);  // order 3, then rows 0 to 5
    EXPECT_EQ(Orders(Sensor().Requests()), orders);
    EXPECT_EQ(FailureReports(popups), 1);
    EXPECT_EQ(popups.Titles(), QStringList{QStringLiteral("ROW CHECK V6.1")});
    EXPECT_EQ(mainStatus, QStringLiteral("TIMEOUT"));
    EXPECT_EQ(params, panel);
    EXPECT_EQ(refreshed, 0);
}

TEST_F(ScopeCommandsTest, ParameterFilesRoundTripAndABadOneChangesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.dat"));
    popups.QueueFileSelection(path);
    commands.SendParaToFile();
    params = ParameterSet{};
    popups.QueueFileSelection(path);
    commands.ReadParaFromFile();
    EXPECT_EQ(params, panel);
    EXPECT_EQ(refreshed, 1);
    // Cancelled, or a file that is no complete parameter set: nothing changes.
    QFile file(path);
    ASSERT_TRUE(file.resize(22));  // two values of 106
    popups.QueueFileCancel();
    commands.ReadParaFromFile();
    popups.QueueFileSelection(path);
    commands.ReadParaFromFile();
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("FILE ERROR!"));
    EXPECT_TRUE(popups.LastText().contains(path));
    EXPECT_EQ(params, panel);
    EXPECT_EQ(refreshed, 1);
}

}  // namespace
}  // namespace tvx
