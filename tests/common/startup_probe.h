#pragma once

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QLineEdit>
#include <QTimer>
#include <QWindow>
#include <optional>

#include "command_line.h"
#include "quit_request.h"
#include "scripted_popups.h"
#include "sim_thread.h"

namespace tvx {

// For as long as it lives, the calling thread opens files with its own permissions only: root's
// power to open anything is set aside (a user without that power meets a chmod 000 as it is).
class WithoutFileAccessOverride {
  public:
    WithoutFileAccessOverride() {
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
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

// A program run as its entry runs it: whatever its first connection attempt meets, the window is
// on screen while the attempt waits, its status displays reading "TRY" or the serial open error.
// A timer 100 ms after the main status reads it (served only if the wait serves timers) looks and
// closes the main panel, which ends the program with exit code 0.
template <typename Program>
void ExpectTheStartUpPaintsWhileItWaits(const QString& programDirectory) {
    sim::SimConfig config;
    config.pty = true;
    config.faults = {{.kind = sim::FaultKind::NoReply, .order = 7}};
    sim::SimThread sensor;
    ASSERT_TRUE(sensor.Start(config)) << sensor.Error().toStdString();
    const QString pty = sensor.PtyPath();
    const std::tuple<const char*, QString, const char*> cases[] = {
        {"a silent sensor over TCP", QString(), "TRY"},
        {"a silent sensor on the serial line", pty, "TRY"},
        {"a missing device", "/dev/tvx-no-such-port", "No serial port found"},
        {"a device without permission", pty, "Cannot open port"},
    };
    for (const auto& [what, device, expected] : cases) {
        SCOPED_TRACE(what);
        const QString status = QString::fromLatin1(expected);
        const StartOptions options{
            .address = device.isEmpty()  // TCP, else serial
                           ? SensorAddress::Tcp("127.0.0.1", sensor.TcpPort())
                           : SensorAddress::Serial({1, device}),
            .programDirectory = programDirectory};
        std::optional<WithoutFileAccessOverride> asUser;
        if (status == "Cannot open port") {
            ASSERT_EQ(::chmod(qPrintable(pty), 0), 0);
            asUser.emplace();
        }
        ScriptedPopups popups;
        Program program(popups, options);
        program.LoadPanels();
        bool probed = false, exposed = false;
        QString mainStatus, interfaceStatus;
        QObject probe;
        const auto look = [&] {
            if (std::exchange(probed, true)) return;
            QWindow* window = program.Main().windowHandle();
            exposed = program.Main().isVisible() && window != nullptr && window->isExposed();
            mainStatus = program.Main().dispStatus->text();
            interfaceStatus = program.Interface().dispConnectStatus->text();
            program.Main().close();
        };
        QObject::connect(program.Main().dispStatus, &QLineEdit::textChanged, &probe,
                         [&](const QString& text) {
                             if (text == status) QTimer::singleShot(100, &probe, look);
                         });
        EXPECT_EQ(program.Run(), 0);
        ForgetQuitRequest();
        EXPECT_TRUE(probed) << "the wait served no timer";
        EXPECT_TRUE(exposed);
        EXPECT_EQ(mainStatus, status);
        EXPECT_EQ(interfaceStatus, QStringLiteral("TRY"));
        EXPECT_EQ(popups.Count(), 0) << popups.Texts().join('|').toStdString();
    }
}

}  // namespace tvx
