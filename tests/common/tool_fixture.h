#pragma once

// A tool program running in the test against the simulated sensor: over TCP, over a
// pseudo-terminal at 19200 baud, or with nothing listening. Its pop-ups are scripted.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "closed_port.h"
#include "command_line.h"
#include "scripted_popups.h"
#include "sim_thread.h"

namespace tvx {

template <typename Tool>
class ToolWithSensor : public ::testing::Test {
  protected:
    void TearDown() override {
        if (tool) tool->Link().CloseCom();
        if (tool && tool->State().link.tcpcon) tool->Link().DisconnectTCP();
    }

    // The sensor, and the tool connected to it; the start-up's requests are forgotten.
    void StartOverTcp(sim::SimConfig config = {}) {
        ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
        StartOverTcpAt(sensor.TcpPort());
    }
    void StartOverPty() {
        sim::SimConfig config;
        config.tcp = false;
        config.pty = true;
        config.baud = 19200;
        ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
        StartOptions options;
        options.address = SensorAddress::Serial({1, sensor.PtyPath()});
        StartTool(options);
    }
    // No sensor: a loopback port where nothing listens, so no real serial port is touched.
    void StartUnconnected() {
        const quint16 port = ClosedLocalPort();
        ASSERT_NE(port, 0);
        StartOverTcpAt(port);
    }
    void StartTool(StartOptions options) {
        options.programDirectory = programDir.path();
        tool = std::make_unique<Tool>(popups, std::move(options));
        tool->LoadPanels();
        tool->Main().show();
        tool->InitVars();
        if (sensor.Running()) Sensor().ClearRequests();
    }

    sim::SimServer& Sensor() { return sensor.Server(); }

    QTemporaryDir programDir;
    sim::SimThread sensor;
    ScriptedPopups popups;
    std::unique_ptr<Tool> tool;

  private:
    void StartOverTcpAt(quint16 port) {
        StartOptions options;
        options.address = SensorAddress::Tcp(QStringLiteral("127.0.0.1"), port);
        StartTool(options);
    }
};

}  // namespace tvx
