// The scope's command exchanges against the simulated sensor, checked from the sensor's side.
#include "scope_commands.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "failure_reports.h"
#include "info_texts.h"
#include "scripted_popups.h"
#include "sensor_orders.h"
#include "sim_thread.h"

namespace tvx {
namespace {

using sim::Fault;
using sim::FaultKind;

ParameterSet PanelSet() {
    ParameterSet s;
    s.power = 777;
    s.pmode = 1;
    s.average = 16;
    s.evalmode = 2;
    s.hold = 50;
    s.intlim = 0x8123;
    s.maxcolno = 9;
    s.outmode = 1;
    s.trigger = 2;
    s.exteach = 0;
    s.calcmode = 1;
    s.dynwinlo = 300;
    s.dynwinhi = 3800;
    s.colorgroup = 1;
    s.frei15 = 0xBEEF;
    s.frei16 = 0xFFFF;
    for (int r = 0; r < kTeachRows; ++r) {
        for (int c = 0; c < kTeachColumns; ++c)
            s.ctt[r][c] = static_cast<std::uint16_t>(1000 * c + 10 * r + 0x8000 * (c == 3));
        s.groupbuf[r] = static_cast<std::uint16_t>(r % 4);
    }
    return s;
}

std::array<std::uint16_t, anzpara> ImageOf(const ParameterSet& s) {
    FrameBuffers b;
    CopyVarsToPP(s, b);
    std::array<std::uint16_t, anzpara> image{};
    std::copy_n(b.pp.begin(), anzpara, image.begin());
    return image;
}

class ScopeCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sensor.Start(config)); }

    void Connect() {
        link.comprotocol = kTcpIp;
        link.ipBuf = QStringLiteral("127.0.0.1");
        link.portNum = sensor.TcpPort();
        com.InitTCP_IP();
        ASSERT_EQ(link.tcpcon, 1);
        commands.CheckComLine();
        sensor.Server().ClearRequests();
        popups.Clear();
        refreshed = 0;
    }

    ExchangePanelHooks Hooks() {
        ExchangePanelHooks h;
        h.showMainStatus = [this](const QString& t) { mainStatus = t; };
        h.showInterfaceStatus = [this](const QString& t) { interfaceStatus = t; };
        h.enableAccept = [] {};
        h.setButtonsDimmed = [](bool) {};
        h.getPanelValues = [this] { params = panel; };
        h.showParameters = [this] { ++refreshed; };
        h.showLiveFrame = [this] {
            ++frames;
            if (frames >= stopAfterFrames) flags.poll = 0;
        };
        return h;
    }

    sim::SimConfig config;
    sim::SimThread sensor;
    ScriptedPopups popups;
    LinkState link;
    FrameBuffers buffers;
    ParameterSet params;
    ParameterSet panel = PanelSet();
    LiveValues live;
    LoopFlags flags;
    ExchangeState exchange;
    QString mainStatus, interfaceStatus;
    int refreshed = 0;
    int frames = 0;
    int stopAfterFrames = 3;
    Com232 com{link, buffers, flags, popups};
    ProgramFiles files;
    ScopeCommands commands{com,  link,  exchange, buffers, params,
                           live, flags, files,    popups,  Hooks()};
};

TEST_F(ScopeCommandsTest, HandshakeThenReadsTheParametersOnce) {
    link.comprotocol = kTcpIp;
    link.ipBuf = QStringLiteral("127.0.0.1");
    link.portNum = sensor.TcpPort();
    com.InitTCP_IP();
    commands.CheckComLine();
    std::vector<int> expected = {7};
    for (int o : ReadOrders(false)) expected.push_back(o);
    EXPECT_EQ(Orders(sensor.Server().Requests()), expected);
    EXPECT_EQ(mainStatus, QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(exchange.version.Text(), QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(refreshed, 1);
    FrameBuffers b;
    CopyVarsToPP(params, b);
    const auto ram = sensor.Server().State().ram;
    EXPECT_TRUE(std::equal(ram.begin(), ram.end(), b.pp.begin()));
}

TEST_F(ScopeCommandsTest, WriteToRamIsSixteenFramesWithThePanelValues) {
    Connect();
    exchange.target = RAM;
    commands.SendPara();
    // No reply is awaited: the frames may still be on their way.
    ASSERT_TRUE(sensor.Server().WaitForRequests(16, 5000));
    const auto requests = sensor.Server().Requests();
    ASSERT_EQ(requests.size(), 16u);
    EXPECT_EQ(requests[0].Order(), 1);
    const auto image = ImageOf(panel);
    for (int w = 0; w < 16; ++w) EXPECT_EQ(requests[0].Word(2 + w), image[w]) << w;
    for (int r = 0; r < kTeachRows; ++r) {
        const auto& frame = requests[1 + r];
        EXPECT_EQ(frame.Order(), 2);
        EXPECT_EQ(frame.Word(2), r);
        for (int c = 0; c < 6; ++c)
            EXPECT_EQ(frame.Word(3 + c), image[16 + 6 * r + c]) << r << "/" << c;
    }
    EXPECT_EQ(sensor.Server().State().ram, image);
    EXPECT_NE(sensor.Server().State().eeprom, image);
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ScopeCommandsTest, WriteToEepromEndsWithOrderSix) {
    Connect();
    exchange.target = EEPROM;
    commands.SendPara();
    ASSERT_TRUE(sensor.Server().WaitForRequests(17, 5000));
    const auto requests = sensor.Server().Requests();
    ASSERT_EQ(requests.size(), 17u);
    EXPECT_EQ(requests.back().Order(), 6);
    EXPECT_EQ(sensor.Server().State().eeprom, ImageOf(panel));
}

TEST_F(ScopeCommandsTest, ReadFromEepromStartsWithOrderEight) {
    Connect();
    sensor.Server().WithModel([this](sim::SensorModel& m) { m.state().eeprom = ImageOf(panel); });
    exchange.target = EEPROM;
    commands.GetPara();
    EXPECT_EQ(Orders(sensor.Server().Requests()), ReadOrders(true));
    EXPECT_EQ(ImageOf(params), ImageOf(panel));
    EXPECT_EQ(refreshed, 1);
    EXPECT_EQ(popups.Count(), 0);
}

TEST_F(ScopeCommandsTest, WrongEchoToOrderEightEndsTheReadSilently) {
    Connect();
    Fault echo;
    echo.kind = FaultKind::WrongOrder;
    echo.order = 8;
    echo.a = 7;
    sensor.Server().AddFault(echo);
    exchange.target = EEPROM;
    const ParameterSet before = params;
    commands.GetPara();
    EXPECT_EQ(Orders(sensor.Server().Requests()), std::vector<int>{8});
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_EQ(refreshed, 0);
    EXPECT_EQ(params, before);
}

TEST_F(ScopeCommandsTest, DeadLinkGivesTwoReportsFromRamAndOneFromEeprom) {
    Connect();
    Fault silent;
    silent.kind = FaultKind::NoReply;
    sensor.Server().AddFault(silent);
    exchange.version.Clear();
    std::copy_n("SENSOR X", 8, exchange.version.bytes.begin());

    exchange.target = RAM;
    commands.GetPara();
    EXPECT_EQ(Orders(sensor.Server().Requests()), (std::vector<int>{3, 4}));
    EXPECT_EQ(FailureReports(popups), 2);
    EXPECT_EQ(popups.Records()[0].title, QStringLiteral("SENSOR X"));
    EXPECT_EQ(mainStatus, QStringLiteral("TIMEOUT"));
    EXPECT_EQ(refreshed, 0);

    sensor.Server().ClearRequests();
    popups.Clear();
    exchange.target = EEPROM;
    commands.GetPara();
    EXPECT_EQ(Orders(sensor.Server().Requests()), std::vector<int>{8});
    EXPECT_EQ(FailureReports(popups), 1);
    EXPECT_EQ(refreshed, 0);
}

TEST_F(ScopeCommandsTest, ModeReplyClampsMaxColNo) {
    Connect();
    sensor.Server().WithModel([](sim::SensorModel& m) { m.state().ram[6] = 16; });
    exchange.target = RAM;
    commands.GetPara();
    EXPECT_EQ(params.maxcolno, 15u);
}

TEST_F(ScopeCommandsTest, AReplyNotTheOneAskedForEndsTheReadAndChangesNothing) {
    Connect();
    params = panel;
    struct Case {
        const char* what;
        FaultKind kind;
        int order;
        int skip;
        std::vector<int> orders;  // what was asked before the read stopped
    };
    for (const Case& c :
         {Case{"wrong sync to order 3", FaultKind::WrongSync, 3, 0, {3}},
          Case{"wrong order to row 2", FaultKind::WrongOrder, 4, 2, {3, 4, 4, 4}},
          Case{"wrong sync to row 14", FaultKind::WrongSync, 4, 14, ReadOrders(false)}}) {
        SCOPED_TRACE(c.what);
        sensor.Server().ClearFaults();
        sensor.Server().ClearRequests();
        popups.Clear();
        mainStatus.clear();
        Fault wrong;
        wrong.kind = c.kind;
        wrong.order = c.order;
        wrong.skip = c.skip;
        sensor.Server().AddFault(wrong);
        commands.GetPara();
        EXPECT_EQ(Orders(sensor.Server().Requests()), c.orders);
        EXPECT_EQ(FailureReports(popups), 1);
        EXPECT_EQ(mainStatus, QStringLiteral("TIMEOUT"));
        EXPECT_EQ(params, panel);
        EXPECT_EQ(refreshed, 0);
    }
}

TEST_F(ScopeCommandsTest, PanelsAreRefreshedOnlyAfterACompleteRead) {
    Connect();
    Fault silent;
    silent.kind = FaultKind::NoReply;
    silent.order = 4;
    silent.skip = 5;  // rows 0-4 answer, row 5 does not
    sensor.Server().AddFault(silent);
    sensor.Server().WithModel([](sim::SensorModel& m) { m.state().ram[16 + 6 * 4] = 4321; });
    const ParameterSet before = params;
    commands.GetPara();
    EXPECT_EQ(sensor.Server().RequestCount(), 1u + 6u);
    EXPECT_EQ(FailureReports(popups), 1);
    EXPECT_EQ(refreshed, 0);
    EXPECT_EQ(params, before);  // nothing of a broken read is taken
}

TEST_F(ScopeCommandsTest, LiveLoopShowsEveryFrameUntilStoppedAndEndsOnATimeout) {
    Connect();
    commands.GetData();
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(flags.poll, 0);
    EXPECT_EQ(Orders(sensor.Server().Requests()), (std::vector<int>{5, 5, 5}));
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_NE(live.dataR, 0);
    EXPECT_EQ(live.dataCOL, 0);  // the default target is taught as row 0

    Fault silent;
    silent.kind = FaultKind::NoReply;
    silent.order = 5;
    silent.skip = 2;
    sensor.Server().AddFault(silent);
    frames = 0;
    stopAfterFrames = 100;
    commands.GetData();
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(FailureReports(popups), 1);
    EXPECT_EQ(flags.poll, 0);
}

TEST_F(ScopeCommandsTest, WriteStopsAtTheFirstFailedFrame) {
    Connect();
    sensor.Server().CloseConversation();
    ASSERT_TRUE(QTest::qWaitFor([this] { return link.tcpcon == 0; }, 5000));
    popups.Clear();
    commands.SendPara();
    EXPECT_EQ(FailureReports(popups), 1);
    EXPECT_EQ(sensor.Server().RequestCount(), 0u);
}

TEST_F(ScopeCommandsTest, ParameterFileRoundTripAndTheDialogItAsks) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("set.dat"));
    files.proj_dir = dir.path();
    popups.QueueFileSelection(path);
    commands.SendParaToFile();
    ASSERT_EQ(popups.Count(), 1);
    const FileSelectRequest& asked = popups.Records()[0].request;
    EXPECT_EQ(asked.startDirectory, dir.path());
    EXPECT_EQ(asked.defaultFileName, QStringLiteral("init.dat"));
    EXPECT_EQ(asked.fileTypeList, QStringLiteral("*.dat"));
    EXPECT_EQ(asked.title, QStringLiteral("init"));
    EXPECT_TRUE(asked.forSaving);
    EXPECT_EQ(files.file_name, path);
    EXPECT_EQ(QFileInfo(path).size(), 106 * 11);
    EXPECT_EQ(sensor.Server().RequestCount(), 0u);  // nothing goes to the sensor

    params = ParameterSet{};
    popups.QueueFileSelection(path);
    commands.ReadParaFromFile();
    EXPECT_FALSE(popups.Records().back().request.forSaving);
    EXPECT_EQ(params, panel);
    EXPECT_EQ(refreshed, 1);
}

TEST_F(ScopeCommandsTest, CancelledOrBadParameterFileChangesNothing) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.dat"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("      1000\n         0\n");
    file.close();
    const QByteArray before = "      1000\n         0\n";

    popups.QueueFileCancel();
    commands.ReadParaFromFile();
    popups.QueueFileCancel();
    commands.SendParaToFile();
    EXPECT_EQ(popups.Count(), 2);
    EXPECT_EQ(params, ParameterSet{});

    popups.QueueFileSelection(path);
    commands.ReadParaFromFile();
    EXPECT_EQ(popups.Count(), 4);
    EXPECT_EQ(popups.LastTitle(), QStringLiteral("FILE ERROR!"));
    EXPECT_TRUE(popups.LastText().contains(path));
    EXPECT_EQ(params, ParameterSet{});
    EXPECT_EQ(refreshed, 0);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

}  // namespace
}  // namespace tvx
