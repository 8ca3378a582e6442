// The scope's parameter path end to end: the real panels against the simulated sensor, checked
// from the sensor's side.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "Tvx3v61.h"
#include "failure_reports.h"
#include "info_texts.h"
#include "scope_fixture.h"
#include "scripted_popups.h"
#include "sensor_orders.h"
#include "sim_thread.h"
#include "user_actions.h"

namespace tvx {
namespace {

class ParameterPath : public ScopeWithSensor {
  protected:
    ParameterControls& C() { return scope->Controls(); }
};

TEST_F(ParameterPath, StartUpReadsTheSensorIntoThePanels) {
    std::vector<int> expected = {7};
    for (int o : ReadOrders(false)) expected.push_back(o);
    EXPECT_EQ(Orders(Sensor().Requests()), expected);
    const auto ram = Sensor().State().ram;
    EXPECT_EQ(C().slidePower->value(), ram[0]);
    EXPECT_EQ(C().editMaxcolNo->value(), ram[6]);
    EXPECT_EQ(C().gridTeach->Value(0, 0), ram[16]);
    EXPECT_EQ(C().gridTeach->Value(3, 4), ram[16 + 6 * 3 + 4]);
    EXPECT_EQ(scope->ColourGroups().Group(2), ram[16 + 6 * 2 + 5]);
    EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    for (QWidget* w : {static_cast<QWidget*>(scope->Main().buttonSend),
                       static_cast<QWidget*>(scope->Main().buttonGet)})
        EXPECT_TRUE(w->isEnabled());
}

TEST_F(ParameterPath, SendToRamCarriesThePanelValues) {
    Sensor().ClearRequests();
    C().slidePower->setValue(321);
    C().editMaxcolNo->setValue(7);
    C().gridTeach->SetValue(14, 3, 0xFEDC);
    scope->ColourGroups().SetGroup(14, 9);
    Click(scope->Main().buttonSend);
    ASSERT_TRUE(Sensor().WaitForRequests(16, 5000));
    const auto requests = Sensor().Requests();
    ASSERT_EQ(requests.size(), 16u);
    EXPECT_EQ(requests[0].Order(), 1);
    EXPECT_EQ(requests[0].Word(2), 321);
    EXPECT_EQ(requests[0].Word(2 + 6), 7);
    EXPECT_EQ(requests[15].Order(), 2);
    EXPECT_EQ(requests[15].Word(2), 14);
    EXPECT_EQ(requests[15].Word(3 + 3), 0xFEDC);
    EXPECT_EQ(requests[15].Word(3 + 5), 9);
    const auto ram = Sensor().State().ram;
    EXPECT_EQ(ram[0], 321);
    EXPECT_EQ(ram[105], 9);
    EXPECT_TRUE(scope->Main().buttonSend->isEnabled());
}

TEST_F(ParameterPath, EepromWriteAndReadBack) {
    Click(scope->Main().selectEEPROM);
    EXPECT_EQ(scope->State().exchange.target, EEPROM);
    C().slidePower->setValue(999);
    Sensor().ClearRequests();
    Click(scope->Main().buttonSend);
    ASSERT_TRUE(Sensor().WaitForRequests(17, 5000));
    EXPECT_EQ(Sensor().Requests().back().Order(), 6);
    EXPECT_EQ(Sensor().State().eeprom[0], 999);

    C().slidePower->setValue(5);
    Sensor().ClearRequests();
    Click(scope->Main().buttonGet);
    EXPECT_EQ(Orders(Sensor().Requests()), ReadOrders(true));
    EXPECT_EQ(C().slidePower->value(), 999);
}

TEST_F(ParameterPath, DeadLinkLeavesThePanelsAsTheyWere) {
    sim::Fault silent;
    silent.kind = sim::FaultKind::NoReply;
    Sensor().AddFault(silent);
    C().slidePower->setValue(1);
    C().gridTeach->SetValue(0, 0, 4242);
    popups.Clear();
    Click(scope->Main().buttonGet);
    EXPECT_EQ(FailureReports(popups), 2);
    EXPECT_EQ(popups.Records()[0].title, QStringLiteral("TRIVEX-SIM V6.1"));
    EXPECT_EQ(scope->Main().dispStatus->text(), QStringLiteral("TIMEOUT"));
    EXPECT_EQ(C().slidePower->value(), 1);
    EXPECT_EQ(C().gridTeach->Value(0, 0), 4242);
    EXPECT_TRUE(scope->Main().buttonGet->isEnabled());

    popups.Clear();
    Click(scope->Main().selectEEPROM);
    Click(scope->Main().buttonGet);
    EXPECT_EQ(FailureReports(popups), 1);
}

TEST_F(ParameterPath, AWrongReplyForOneRowLeavesThePanelsAsTheyWere) {
    // The sensor holds other values than the panels show; the reply for row 5 is not the one
    // asked for, so none of the read may reach the panels (nor a later SEND).
    Sensor().WithModel([](sim::SensorModel& m) {
        m.state().ram[0] = 999;
        m.state().ram[16] = 1111;
        m.state().ram[16 + 6 * 7] = 1234;
    });
    for (const sim::FaultKind kind : {sim::FaultKind::WrongSync, sim::FaultKind::WrongOrder}) {
        Sensor().ClearFaults();
        sim::Fault wrong;
        wrong.kind = kind;
        wrong.order = 4;
        wrong.skip = 5;
        wrong.times = 1;
        Sensor().AddFault(wrong);
        C().slidePower->setValue(1);
        C().gridTeach->SetValue(0, 0, 4242);
        const int row7 = C().gridTeach->Value(7, 0);
        const ParameterSet before = scope->State().params;
        popups.Clear();
        Sensor().ClearRequests();
        Click(scope->Main().buttonGet);
        EXPECT_EQ(Orders(Sensor().Requests()), (std::vector<int>{3, 4, 4, 4, 4, 4, 4}));
        EXPECT_EQ(FailureReports(popups), 1);
        EXPECT_EQ(C().slidePower->value(), 1);
        EXPECT_EQ(C().gridTeach->Value(0, 0), 4242);
        EXPECT_EQ(C().gridTeach->Value(7, 0), row7);
        EXPECT_EQ(scope->State().params, before);
    }
    // A read whose replies are all the ones asked for takes the whole set.
    Sensor().ClearFaults();
    popups.Clear();
    Click(scope->Main().buttonGet);
    EXPECT_EQ(popups.Count(), 0);
    EXPECT_EQ(C().slidePower->value(), 999);
    EXPECT_EQ(C().gridTeach->Value(0, 0), 1111);
    EXPECT_EQ(C().gridTeach->Value(7, 0), 1234);
}

TEST_F(ParameterPath, FileSaveAndLoadThroughTheMemorySelector) {
    const QString path = programDir.filePath(QStringLiteral("set.dat"));
    Click(scope->Main().selectFILE);
    EXPECT_EQ(scope->State().exchange.target, DATFILE);
    C().slidePower->setValue(640);
    C().gridTeach->SetValue(5, 1, 65535);
    Sensor().ClearRequests();
    popups.QueueFileSelection(path);
    Click(scope->Main().buttonSend);
    EXPECT_EQ(Sensor().RequestCount(), 0u);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 107);  // 106 lines, each ended by a line feed
    EXPECT_EQ(lines[0], QByteArray("       640"));
    EXPECT_EQ(lines[16 + 6 * 5 + 1], QByteArray("     65535"));

    C().slidePower->setValue(2);
    C().gridTeach->SetValue(5, 1, 0);
    popups.QueueFileSelection(path);
    Click(scope->Main().buttonGet);
    EXPECT_EQ(C().slidePower->value(), 640);
    EXPECT_EQ(C().gridTeach->Value(5, 1), 65535);
    EXPECT_EQ(Sensor().RequestCount(), 0u);
}

TEST_F(ParameterPath, CalculationModeChangeWritesEverythingToRam) {
    Click(scope->Main().selectEEPROM);
    C().slidePower->setValue(123);
    Sensor().ClearRequests();
    C().editCalcmode->setCurrentIndex(1);
    emit C().editCalcmode->activated(1);
    ASSERT_TRUE(Sensor().WaitForRequests(16, 5000));
    EXPECT_EQ(Sensor().RequestCount(), 16u);
    EXPECT_EQ(scope->State().exchange.target, RAM);
    EXPECT_TRUE(scope->Main().selectRAM->isChecked());
    EXPECT_EQ(Sensor().State().ram[10], 1);
    EXPECT_EQ(Sensor().State().ram[0], 123);
    EXPECT_EQ(C().gridTeach->horizontalHeaderItem(0)->text(), QStringLiteral("s"));
}

}  // namespace
}  // namespace tvx
