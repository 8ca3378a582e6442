#pragma once

// A program started as its entry starts it (Run: window, start-up sequence, event loop), looked
// at while its first connection attempt waits: a timer that fires inside that wait reads what the
// user sees (is the window on screen, what do the status displays say), then closes the main
// panel, which ends the program.

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <sys/stat.h>
#include <QLineEdit>
#include <QTimer>
#include <QWindow>
#include <memory>
#include <optional>

#include "command_line.h"
#include "quit_request.h"
#include "scripted_popups.h"
#include "sim_thread.h"

namespace tvx {

// What a user saw during the wait.
struct SeenDuringWait {
    bool probed = false;
    bool exposed = false;
    QString mainStatus;
    QString interfaceStatus;
};

// Runs the program with `options` until the main panel's status first reads `statusToWaitFor`;
// 100 ms later, if the program serves its timers while it waits, the probe looks and closes the
// main panel. The program's exit code must be 0.
template <typename Program>
SeenDuringWait ProbeStartUp(Popups& popups, StartOptions options, const QString& statusToWaitFor) {
    SeenDuringWait seen;
    Program program(popups, std::move(options));
    program.LoadPanels();
    QObject probe;
    auto look = [&] {
        if (seen.probed) return;
        seen.probed = true;
        QWindow* window = program.Main().windowHandle();
        seen.exposed = program.Main().isVisible() && window != nullptr && window->isExposed();
        seen.mainStatus = program.Main().dispStatus->text();
        seen.interfaceStatus = program.Interface().dispConnectStatus->text();
        program.Main().close();
    };
    QObject::connect(program.Main().dispStatus, &QLineEdit::textChanged, &probe,
                     [&](const QString& text) {
                         if (text == statusToWaitFor) QTimer::singleShot(100, &probe, look);
                     });
    EXPECT_EQ(program.Run(), 0);
    ForgetQuitRequest();
    return seen;
}

// The pseudo-terminal of a sensor that does not answer, a device that does not exist, a device
// the user may not open: what a start-up over the serial line can meet.
inline StartOptions SerialOptions(const QString& device) {
    StartOptions options;
    options.comprotocol = 0;
    options.serialDevice = device;
    return options;
}

inline StartOptions TcpStartOptions(quint16 port) {
    StartOptions options;
    options.comprotocol = 1;
    options.tcpHost = QStringLiteral("127.0.0.1");
    options.tcpPort = QString::number(port);
    return options;
}

// For as long as it lives, the calling thread opens files with its own permissions only: root's
// power to open anything is set aside (a user without that power meets a chmod 000 as it is).
class WithoutFileAccessOverride {
  public:
    WithoutFileAccessOverride() {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            reduced[cap / 32].effective &= ~(1u << (cap % 32));
        changed_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutFileAccessOverride() {
        if (changed_) ::syscall(SYS_capset, &header_, saved_);
    }
    WithoutFileAccessOverride(const WithoutFileAccessOverride&) = delete;
    WithoutFileAccessOverride& operator=(const WithoutFileAccessOverride&) = delete;

  private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

// On both links, whatever the first connection attempt meets, the window is on screen while the
// attempt waits and its status displays read what was written: "TRY", or the serial open error.
template <typename Program>
void ExpectTheStartUpPaintsWhileItWaits(const QString& programDirectory) {
    sim::Fault silent;
    silent.kind = sim::FaultKind::NoReply;
    silent.order = 7;
    sim::SimConfig config;
    config.pty = true;
    config.faults = {silent};
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
    struct Case {
        const char* what;
        StartOptions options;
        const char* status;
        bool denied;  // the device may not be opened by this user
    };
    const QString pty = sensor.PtyPath();
    const Case cases[] = {
        {"a silent sensor over TCP", TcpStartOptions(sensor.TcpPort()), "TRY", false},
        {"a silent sensor on the serial line", SerialOptions(pty), "TRY", false},
        {"a missing device", SerialOptions(QStringLiteral("/dev/tvx-no-such-port")),
         "No serial port found", false},
        {"a device without permission", SerialOptions(pty), "Cannot open port", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPopups popups;
        StartOptions options = c.options;
        options.programDirectory = programDirectory;
        std::optional<WithoutFileAccessOverride> asUser;
        if (c.denied) {
            ASSERT_EQ(::chmod(qPrintable(pty), 0), 0);
            asUser.emplace();
        }
        const SeenDuringWait seen =
            ProbeStartUp<Program>(popups, options, QString::fromLatin1(c.status));
        EXPECT_TRUE(seen.probed) << "the wait served no timer";
        EXPECT_TRUE(seen.exposed);
        EXPECT_EQ(seen.mainStatus, QString::fromLatin1(c.status));
        EXPECT_EQ(seen.interfaceStatus, QStringLiteral("TRY"));
        EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    }
}

}  // namespace tvx
