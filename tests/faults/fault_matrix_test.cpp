// The fault matrix: every exchange of the three programs against every fault the simulated sensor
// puts on the line, over TCP 127.0.0.1 and over a pseudo-terminal (unpaced: what a fault does does
// not depend on the line's speed, and the link's own tests run the paced line). Each cell drives
// the real program through its panels, checks the report and what the panels or the sensor hold
// afterwards, and then that the same exchange succeeds once the fault has cleared.

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <iterator>
#include <memory>
#include <tuple>

#include "Tvx3CalibV61.h"
#include "Tvx3TempCompV61.h"
#include "Tvx3v61.h"
#include "calib_texts.h"
#include "orders.h"
#include "scope_texts.h"
#include "scripted_popups.h"
#include "sim_thread.h"
#include "tempcomp_texts.h"
#include "user_actions.h"
#include "wait.h"

namespace tvx {
namespace {

enum Program { kScope, kCalib, kTempComp };
enum Which {
    kHandshake,
    kParameterRead,
    kParameterWrite,
    kLiveFrame,
    kFactorSend,
    kFactorRead,
    kBlockTransfer,
    kReadBack,
};
enum Fault {
    kSilence,
    kShortReply,
    kLongReply,
    kSplitReply,
    kLateReply,
    kWrongSync,
    kWrongOrder,
    kClosedConversation,
    kUnsolicitedBytes,
    kWrongRow,
};
const char* const kFaultNames[] = {
    "Silence",   "ShortReply", "LongReply",          "SplitReply",       "LateReply",
    "WrongSync", "WrongOrder", "ClosedConversation", "UnsolicitedBytes", "WrongRow"};
const sim::FaultKind kKinds[] = {sim::FaultKind::NoReply,      sim::FaultKind::ShortReply,
                                 sim::FaultKind::LongReply,    sim::FaultKind::SplitReply,
                                 sim::FaultKind::DelayedReply, sim::FaultKind::WrongSync,
                                 sim::FaultKind::WrongOrder,   sim::FaultKind::Disconnect,
                                 sim::FaultKind::Unsolicited,  sim::FaultKind::WrongRow};
constexpr int kFaults = static_cast<int>(std::size(kKinds));
enum Link { kTcp, kPty };

// One exchange: the request the fault hits (a reply fault once, a closed conversation with no
// reply), the waits for its reply, and the outcome of every cell, two letters per fault, TCP then
// the pseudo-terminal:
//   T  taken: no report, the exchange's data arrive
//   R  refused: the exchange's report, the panels and the sensor as they were
//   F  taken, but the read-back compares "FAILURE"
//   -  does not apply, for the reason given
// A long reply is taken over TCP (36 bytes read, the rest dropped) and refused on the serial line,
// where 37 bytes queued at once are no reply. Unsolicited bytes come while the program idles
// before the exchange; a transfer that awaits no reply meets a conversation closed before it. A
// reply for another row only exists for a teach-row read.
struct Exchange {
    const char* name;
    Program program;
    int order;
    int skip;  // requests of that order passed over before the fault
    double tcpWait, serialWait;
    const char* cells;
    const char* why;
};

const Exchange kExchanges[] = {
    // silence short long split late sync order closed unsolicited row
    {"Handshake", kScope, kOrderVersion, 0, 5.0, 2.0, "RR RR TR TT RR TT TT RR TT --", ""},
    {"ParameterRead", kScope, kOrderReadTeachRow, 14, 3.0, 3.0, "RR RR TR TT RR RR RR RR TT RR",
     ""},
    {"ParameterWrite", kScope, kOrderWriteModes, 0, 3.0, 3.0, "-- -- -- -- -- -- -- RR TT --",
     "orders 1 and 2 are not answered: a reply fault has nothing to act on"},
    {"LiveFrame", kScope, kOrderData, 0, 3.0, 3.0, "RR RR TR TT RR TT TT RR TT --", ""},
    {"FactorSend", kCalib, kOrderWriteCF, 0, 2.0, 2.0, "-- -- -- -- -- -- -- RR TT --",
     "order 30 is not answered: a reply fault has nothing to act on"},
    {"FactorRead", kCalib, kOrderReadCF, 0, 2.0, 2.0, "RR RR TR TT RR TT TT RR TT --", ""},
    {"BlockTransfer", kTempComp, kOrderStartTables, 0, 2.0, 2.0, "-- -- -- -- -- -- -- RR TT --",
     "orders 43, 50 and 40-42 are not answered; the handshake and the read-back that end a "
     "transfer are rows of their own"},
    {"ReadBack", kTempComp, kOrderReadFactorsRed, 0, 2.0, 2.0, "RR RR TR TT RR FF FF RR TT --", ""},
};

// What the state line keeps of a refused exchange: the fault itself, not the "TIMEOUT" that
// follows it, named after the command it hit.
const char* const kCauses[] = {"no (reply within|answer to the handshake)",
                               "short reply",
                               "long reply",
                               "",
                               "no (reply within|answer to the handshake)",
                               "not the one asked for",
                               "not the one asked for",
                               "closed the connection|hung up",
                               "",
                               "not the one asked for"};
const char* const kDuring[] = {"", " during GET", "", " during GO",
                               "", " during GET", "", " during GET"};

// The state line's last transfer after each exchange, done and refused (its time left off); the
// handshake of the scope reads its parameters, a live frame is no transfer.
const char* const kTransfers[][2] = {
    {"read from RAM", "read from RAM"},
    {"read from RAM", "not read from RAM: "},
    {"sent to RAM", "not sent to RAM: "},
    {"read from RAM", "read from RAM"},
    {"CF sent to EEPROM", "CF not sent: "},
    {"CF read", "CF not read: "},
    {"tables read back: SUCCESS", "tables not sent: "},
    {"tables read back: SUCCESS", "tables not read back: "},
};

const char* const kReports[] = {info::InfoTimeoutVer, info::calib::InfoTimeoutVer,
                                info::tempcomp::InfoTimeoutVer};

using Cell = std::tuple<int, int, int>;  // exchange, fault, link

QString Triple(int a, int b, int c) {
    return QStringLiteral("%1 %2 %3").arg(a).arg(b).arg(c);
}

class FaultMatrix : public ::testing::TestWithParam<Cell> {
  protected:
    Which X() const { return static_cast<Which>(std::get<0>(GetParam())); }
    const Exchange& Row() const { return kExchanges[X()]; }
    Fault F() const { return static_cast<Fault>(std::get<1>(GetParam())); }
    bool Pty() const { return std::get<2>(GetParam()) == kPty; }
    char Outcome() const { return Row().cells[3 * F() + (Pty() ? 1 : 0)]; }
    bool Answered() const { return Row().cells[0] != '-'; }
    sim::SimServer& Sensor() { return sensor.Server(); }

    void TearDown() override {
        if (com == nullptr) return;
        com->CloseCom();
        if (link->tcpcon) com->DisconnectTCP();
    }

    // The sensor and the program, connected as its command line presets it.
    void Start() {
        sim::SimConfig config;
        config.tcp = !Pty();
        config.pty = Pty();
        config.ptyLink = dir.filePath(QStringLiteral("sensor"));
        ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
        StartOptions options;
        options.programDirectory = dir.path();
        options.address = Pty() ? SensorAddress::Serial({1, config.ptyLink})
                                : SensorAddress::Tcp(QStringLiteral("127.0.0.1"), sensor.TcpPort());
        if (Row().program == kScope) Launch(scope, options);
        if (Row().program == kCalib) Launch(calib, options);
        if (Row().program == kTempComp) Launch(tempcomp, options);
        ASSERT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    }
    template <typename P>
    void Launch(std::unique_ptr<P>& program, const StartOptions& options) {
        program = std::make_unique<P>(popups, options);
        program->LoadPanels();
        program->Main().show();
        program->InitVars();
        com = &program->Link();
        link = &program->State().link;
        iface = &program->Interface();
        status = program->Main().dispStatus;
        stateLine = program->Main().stateLine;
        connectButton = program->Main().buttonConnect;
    }

    void Inject() {
        if (F() == kUnsolicitedBytes) {
            Sensor().SendUnsolicited(QByteArray(kFrameBytes, static_cast<char>(0xCC)));
            ASSERT_TRUE(Sensor().WaitForLinesIdle(5000));
            return;
        }
        if (F() == kClosedConversation && !Answered()) {
            Sensor().CloseConversation();
            ASSERT_TRUE(WaitUntil([this] { return LinkDown(); }, 10.0, WaitMode::ServeUserInput,
                                  {WakeSource(com, &Com232::linkDown)})
                            .done);
            return;
        }
        sim::Fault fault;
        fault.kind = kKinds[F()];
        fault.order = Row().order;
        fault.skip = Row().skip;
        fault.times = 1;
        if (F() == kClosedConversation) fault.a = 0;  // closed on the request, no reply
        if (F() == kSplitReply) fault.b = 50;
        const double wait = Pty() ? Row().serialWait : Row().tcpWait;
        if (F() == kLateReply) fault.a = static_cast<int>(1000 * wait) + 500;
        Sensor().AddFault(fault);
    }
    bool LinkDown() { return Pty() ? !com->SerialPortOpen() : link->tcpcon == 0; }

    // The interface panel's try button, as the user reaches it from the main panel.
    void Reconnect() {
        if (!iface->isVisible()) Click(connectButton);
        Click(iface->buttonTryToConnect);
    }

    // The exchange, as the user starts it.
    void Run() {
        Sensor().ClearRequests();
        switch (X()) {
            case kHandshake:
                return Reconnect();
            case kParameterRead:
                return Click(scope->Main().buttonGet);
            case kParameterWrite:
                return Click(scope->Main().buttonSend);
            case kLiveFrame: {
                // STOP once two frames were asked for; a refused frame ends the loop itself.
                QTimer user;
                QObject::connect(&user, &QTimer::timeout, [this] {
                    if (Sensor().RequestCount() >= 2) Click(scope->Main().buttonStop);
                });
                user.start(20);
                return Click(scope->Main().buttonGo);
            }
            case kFactorSend:
                return Click(calib->Main().buttonSendCF);
            case kFactorRead:
                return Click(calib->Main().buttonGetCF);
            case kBlockTransfer:
                return Click(tempcomp->Main().buttonSendCF);
            case kReadBack:
                return Click(tempcomp->Main().buttonGet);
        }
    }

    // Sets the sensor or the panel up so that the n-th exchange visibly changes what Observe
    // returns.
    void Prepare(int n) {
        switch (X()) {
            case kHandshake:
            case kParameterRead:
                return Sensor().WithModel([n](sim::SensorModel& m) {
                    m.state().ram[kPower] = static_cast<std::uint16_t>(400 + n);
                    m.state().ram[sim::RowWord(0, sim::kRowX)] =
                        static_cast<std::uint16_t>(500 + n);
                });
            case kParameterWrite:
                return scope->Controls().slidePower->setValue(400 + n);
            case kLiveFrame: {
                sim::Sample sample;
                sample.temp = 30 + 5 * n;
                return Sensor().SetSample(sample);
            }
            case kFactorSend:
                calib->Main().editCFR->setValue(1000 + n);
                calib->Main().editCFG->setValue(1010 + n);
                return calib->Main().editCFB->setValue(1020 + n);
            case kFactorRead:
                return Sensor().WithModel([n](sim::SensorModel& m) {
                    m.state().cf = {static_cast<std::uint16_t>(1100 + n),
                                    static_cast<std::uint16_t>(1110 + n),
                                    static_cast<std::uint16_t>(1120 + n)};
                });
            case kBlockTransfer:
                return Sensor().WithModel([](sim::SensorModel& m) { m.state().cfTables = {}; });
            case kReadBack: {
                tempcomp->CalcCurves();
                tempcomp->CalcCfCurves();
                tempcomp->Calc3rdRoot();
                const tempcomp::CompensationTables& t = tempcomp->State().tables;
                return Sensor().WithModel([&t](sim::SensorModel& m) {
                    m.state().cfTables = {t.dataCfRot, t.dataCfGruen, t.dataCfBlau};
                    m.state().rootTable = t.data3rdRoot;
                });
            }
        }
    }
    // What the exchange changes: on the panels, or in the sensor for a transfer to it.
    QString Observe() {
        switch (X()) {
            case kHandshake:
            case kParameterRead:
                return scope->Controls().dispPower->text() + ' ' +
                       QString::number(scope->State().params.ctt[0][0]);
            case kParameterWrite:
                return QString::number(Sensor().State().ram[kPower]);
            case kLiveFrame:
                return scope->Main().dispTemp->text();
            case kFactorSend: {
                const auto cf = Sensor().State().cf;
                return Triple(cf[0], cf[1], cf[2]);
            }
            case kFactorRead:
                return Triple(calib->Main().editCFR->value(), calib->Main().editCFG->value(),
                              calib->Main().editCFB->value());
            case kBlockTransfer: {
                const auto s = Sensor().State();
                const tempcomp::CompensationTables& t = tempcomp->State().tables;
                const bool saved = s.rootTable == t.data3rdRoot && s.cfTables[0] == t.dataCfRot &&
                                   s.cfTables[1] == t.dataCfGruen && s.cfTables[2] == t.dataCfBlau;
                return QLatin1String(saved ? "saved" : "not saved");
            }
            case kReadBack:
                return tempcomp->Main().dispSaveResult->text();
        }
        return {};
    }
    // What Observe returns after a good n-th exchange.
    QString Expected(int n) {
        switch (X()) {
            case kHandshake:
            case kParameterRead:
                return QStringLiteral("%1 %2").arg(400 + n).arg(500 + n);
            case kParameterWrite:
                return QString::number(400 + n);
            case kLiveFrame: {
                int temp = 0;
                Sensor().WithModel([&temp](sim::SensorModel& m) { temp = m.Peek(0).temp; });
                return QString::number(temp);
            }
            case kFactorSend:
                return Triple(1000 + n, 1010 + n, 1020 + n);
            case kFactorRead:
                return Triple(1100 + n, 1110 + n, 1120 + n);
            case kBlockTransfer:
                return QStringLiteral("saved");
            case kReadBack:
                return QStringLiteral("SUCCESS");
        }
        return {};
    }

    // The report, the state afterwards and the status displays of an exchange with `outcome`.
    void Check(char outcome, const QString& before, int n, bool faulted) {
        QStringList boxes;
        if (faulted && F() == kClosedConversation && !Pty())
            boxes << QStringLiteral("TCP Client: Server has closed connection!");
        if (outcome == 'R') {
            EXPECT_EQ(Observe(), before);
            EXPECT_EQ(status->text(), QStringLiteral("TIMEOUT"));
            if (X() == kHandshake) {
                EXPECT_EQ(iface->dispConnectStatus->text(), QStringLiteral("CONNECTION FAILURE"));
                EXPECT_FALSE(iface->buttonAccept->isEnabled());
            } else {
                boxes << QStringLiteral("%1: %2").arg(sim::kDefaultVersion,
                                                      kReports[Row().program]);
            }
        } else {
            const QString want = outcome == 'F' ? QStringLiteral("FAILURE") : Expected(n);
            // A transfer to the sensor may still be on its way when the button is back.
            WaitUntil([&] { return Observe() == want; }, 5.0, WaitMode::ServeUserInput,
                      {WakeSource(&Sensor(), &sim::SimServer::requestReceived)});
            EXPECT_EQ(Observe(), want);
            if (X() == kHandshake) {
                EXPECT_TRUE(iface->buttonAccept->isEnabled());
                EXPECT_EQ(iface->dispConnectStatus->text(), status->text());
                EXPECT_NE(status->text(), QStringLiteral("TIMEOUT"));
            }
        }
        if (X() == kBlockTransfer) {
            EXPECT_EQ(tempcomp->Main().dispSaveResult->text(),
                      QLatin1String(outcome == 'R' ? "TRY TO SAVE" : "SUCCESS"));
        }
        const QString link = stateLine->link->text();
        if (outcome == 'R') {
            EXPECT_TRUE(
                QRegularExpression(QStringLiteral("(%1).*%2$").arg(kCauses[F()], kDuring[X()]))
                    .match(link)
                    .hasMatch())
                << link.toStdString();
        } else {
            EXPECT_EQ(faulted ? link : link.left(9), QStringLiteral("connected"));
        }
        const QString last = stateLine->lastTransfer->text();
        if (outcome != 'F') {
            // A refused transfer names its cause after the words given here.
            const QString expected = QLatin1String(kTransfers[X()][outcome == 'R' ? 1 : 0]);
            EXPECT_EQ(expected.endsWith(' ') ? last.left(expected.size()) : last.chopped(9),
                      expected);
        }
        if (X() == kLiveFrame) {
            EXPECT_EQ(ShownStale(scope->Main().dispTemp), outcome == 'R');
            EXPECT_FALSE(scope->Main().graphData1->CursorLive());
        }
        QStringList shown;
        for (const PopupRecord& r : popups.Records()) shown << r.title + ": " + r.text;
        EXPECT_EQ(shown, boxes);
    }

    QTemporaryDir dir;
    sim::SimThread sensor;
    ScriptedPopups popups;
    std::unique_ptr<Tvx3v61> scope;
    std::unique_ptr<calib::Tvx3CalibV61> calib;
    std::unique_ptr<tempcomp::Tvx3TempCompV61> tempcomp;
    Com232* com = nullptr;
    LinkState* link = nullptr;
    InterfacePanel* iface = nullptr;
    QLineEdit* status = nullptr;
    StateLine* stateLine = nullptr;
    QPushButton* connectButton = nullptr;
};

TEST_P(FaultMatrix, Cell) {
    const char outcome = Outcome();
    if (outcome == '-') {
        GTEST_SKIP() << "does not apply: "
                     << (F() == kWrongRow && Answered() ? "the exchange reads no teach row"
                                                        : Row().why);
    }
    ASSERT_NO_FATAL_FAILURE(Start());
    Prepare(1);
    const QString before = Observe();
    ASSERT_NE(before, Expected(1)) << "the exchange would change nothing visible";
    ASSERT_NO_FATAL_FAILURE(Inject());
    Run();
    {
        SCOPED_TRACE("with the fault");
        Check(outcome, before, 1, true);
    }

    // Unsolicited bytes came before the exchange, which was thus already the next one.
    if (F() == kUnsolicitedBytes) return;
    // The fault clears: late bytes are on the line, a closed conversation is opened again.
    Sensor().ClearFaults();
    ASSERT_TRUE(Sensor().WaitForLinesIdle(10000));
    if (F() == kClosedConversation) Reconnect();
    popups.Clear();
    Prepare(2);
    const QString again = Observe();
    Run();
    SCOPED_TRACE("after the fault");
    Check('T', again, 2, false);
}

std::string CellName(const ::testing::TestParamInfo<Cell>& info) {
    const auto [exchange, fault, link] = info.param;
    return std::string(kExchanges[exchange].name) + (link == kPty ? "_Pty_" : "_Tcp_") +
           kFaultNames[fault];
}

INSTANTIATE_TEST_SUITE_P(, FaultMatrix,
                         ::testing::Combine(::testing::Range(0, 8), ::testing::Range(0, kFaults),
                                            ::testing::Values(kTcp, kPty)),
                         CellName);

}  // namespace
}  // namespace tvx
