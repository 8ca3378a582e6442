#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "ageing.h"
#include "fault_plan.h"
#include "measurement.h"
#include "scenario.h"

namespace tvx::sim {

// The command line of tvx-sensor-sim.
struct SimOptions {
    bool help = false;
    bool tcp = false;
    quint16 tcpPort = 0;
    // Sensors served over TCP, each on its own port (consecutive from tcpPort, or ephemeral).
    int tcpCount = 1;
    bool pty = false;
    QString ptyLink;
    int baud = 0;
    std::optional<Scenario> scenario;
    std::optional<Sample> sample;
    // A recording to play back; the program reads it after the options, so that a refused file
    // is told as such rather than as a usage error.
    QString replayPath;
    bool replayHold = false;
    std::vector<Fault> faults;
    QByteArray version;
    int noise = 0;
    std::uint32_t noiseSeed = 1;
    Ageing ageing;
};

// Parses the arguments (without the program name). On a bad argument returns nothing and
// sets *error. Without --tcp and --pty the simulator listens on an ephemeral TCP port.
std::optional<SimOptions> ParseSimOptions(const QStringList& args, QString* error);

QString SimUsage();

}  // namespace tvx::sim
