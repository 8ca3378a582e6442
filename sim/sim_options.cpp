#include "sim_options.h"

#include <cmath>

namespace tvx::sim {

namespace {
// Each sensor takes a listening socket and a client's: 5000 stay within the usual hard limit of
// open files.
constexpr int kMaxTcpCount = 5000;
}  // namespace

QString SimUsage() {
    return QStringLiteral(
        "Usage: tvx-sensor-sim [options]\n"
        "A simulated TRIVEX colour sensor on a TCP port and/or a pseudo-terminal.\n"
        "\n"
        "  --tcp PORT         listen on 127.0.0.1:PORT (0 = any free port)\n"
        "  --tcp-count N      serve N sensors (1 ... 5000), each on its own TCP port:\n"
        "                     PORT, PORT+1, ... or N free ports; the pseudo-terminal\n"
        "                     belongs to the first\n"
        "  --pty LINK         open a pseudo-terminal and link its device at LINK\n"
        "                     (\"-\" for no link)\n"
        "  --baud N           pace replies as on an N baud 8N1 line (e.g. 19200; 0 = off)\n"
        "  --scenario FILE    measured targets over time (see sim/README.md)\n"
        "  --sample \"R G B [TEMP]\"  one constant target instead (default 2000 1200 800 25)\n"
        "  --replay FILE      play back the frames of a CSV written by tvx watch or\n"
        "                     tvx record --csv at their recorded pace, from the first\n"
        "                     data frame asked for, then again from the start (no\n"
        "                     noise); the calculation mode becomes the recording's:\n"
        "                     1 when it names s, i, M, else 0\n"
        "  --replay-hold      stay on the last recorded frame instead of looping\n"
        "  --noise A[:SEED]   add seeded noise of +-A (0 ... 4095) to the raw signals\n"
        "  --drift \"DX DY PER_MINUTE\"  the target's point X = 4095 R / (R + G + B),\n"
        "                     Y = 4095 G / (R + G + B) moves toward the direction DX, DY\n"
        "                     by PER_MINUTE units a minute and stops on the plane's edge;\n"
        "                     R, G, B follow it at the same sum (INT stays), so with\n"
        "                     calibration factors of 1 the frames' X and Y move by it\n"
        "                     (in calculation mode 1 s and i move, not along DX, DY)\n"
        "  --decay PERCENT    R, G and B fall by PERCENT (0 ... 100) a minute, compounded\n"
        "  --temp-ramp DEG    the temperature rises by DEG degrees C a minute (< 0: falls)\n"
        "  --time-scale F     minutes of --drift, --decay and --temp-ramp pass F times as\n"
        "                     fast as real ones (600: ten minutes a second); counted from\n"
        "                     the start, whatever the target; not with --replay\n"
        "  --version TEXT     the version text (36 bytes at most; default TRIVEX-SIM V6.1)\n"
        "  --fault FAULT      misbehave (repeatable); FAULT is\n"
        "                     KIND[:A[:B]][,order=N|all][,times=N|once|always][,skip=N]\n"
        "                     KIND  A / B (defaults)\n"
        "                     noreply             the request is not answered\n"
        "                     short:N             only N bytes of the reply (35)\n"
        "                     long:N              N extra bytes 0xEE after the reply (1)\n"
        "                     split:N:MS          reply in parts of N bytes, MS apart (18, 100)\n"
        "                     delay:MS            reply MS late (1000)\n"
        "                     badsync:V           reply word 0 is V (0x56)\n"
        "                     badorder:V          reply word 1 is V (the order + 1)\n"
        "                     badrow:N            a read of teach row r (order 4) is\n"
        "                                         answered for row (r + N) mod 15 (1)\n"
        "                     disconnect:N        close the line after the N-th matching\n"
        "                                         request's reply (0: at once, no reply)\n"
        "                     unsolicited:N:MS    N bytes 0xCC sent MS after the reply (36, 100)\n"
        "                     forget              the request is answered as usual but changes\n"
        "                                         nothing: RAM and EEPROM keep what they held\n"
        "                                         (forget,order=1: mode words written to RAM do\n"
        "                                         not stick)\n"
        "                     order: which order code (default all); times: how often\n"
        "                     (default always); skip: matching requests let pass first.\n"
        "                     Reply faults count only requests that have a reply.\n"
        "  --help             this text\n"
        "\n"
        "Without --tcp and --pty it listens on a free TCP port. It prints one line per\n"
        "endpoint, \"tcp 127.0.0.1:PORT\" and \"pty DEVICE\", then \"ready\", and runs until\n"
        "SIGTERM or SIGINT. Exit code 2 on bad arguments and on a refused replay file\n"
        "(one line \"FILE:LINE: reason\"), 1 when an endpoint fails.\n");
}

std::optional<SimOptions> ParseSimOptions(const QStringList& args, QString* error) {
    SimOptions options;
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return std::nullopt;
    };
    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i];
        QString value;
        bool hasValue = false;
        const int eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
            continue;
        }
        if (name == QLatin1String("--replay-hold")) {
            if (hasValue) return fail(QStringLiteral("--replay-hold takes no value"));
            options.replayHold = true;
            continue;
        }
        static const QStringList kWithValue = {
            QStringLiteral("--tcp"),       QStringLiteral("--pty"),
            QStringLiteral("--baud"),      QStringLiteral("--scenario"),
            QStringLiteral("--sample"),    QStringLiteral("--noise"),
            QStringLiteral("--version"),   QStringLiteral("--fault"),
            QStringLiteral("--tcp-count"), QStringLiteral("--replay"),
            QStringLiteral("--drift"),     QStringLiteral("--decay"),
            QStringLiteral("--temp-ramp"), QStringLiteral("--time-scale")};
        if (!kWithValue.contains(name))
            return fail(QStringLiteral("unknown option \"%1\"").arg(args[i]));
        if (!hasValue) {
            if (i + 1 >= args.size()) return fail(QStringLiteral("%1 needs a value").arg(name));
            value = args[++i];
        }
        bool ok = false;
        if (name == QLatin1String("--tcp")) {
            const uint port = value.toUInt(&ok);
            if (!ok || port > 65535) return fail(QStringLiteral("bad TCP port \"%1\"").arg(value));
            options.tcp = true;
            options.tcpPort = static_cast<quint16>(port);
        } else if (name == QLatin1String("--tcp-count")) {
            options.tcpCount = value.toInt(&ok);
            if (!ok || options.tcpCount < 1 || options.tcpCount > kMaxTcpCount) {
                return fail(QStringLiteral("bad sensor count \"%1\": expected 1 to %2")
                                .arg(value)
                                .arg(kMaxTcpCount));
            }
        } else if (name == QLatin1String("--pty")) {
            if (value.isEmpty()) return fail(QStringLiteral("--pty needs a LINK path or \"-\""));
            options.pty = true;
            options.ptyLink = value == QLatin1String("-") ? QString() : value;
        } else if (name == QLatin1String("--baud")) {
            options.baud = value.toInt(&ok);
            if (!ok || options.baud < 0 || options.baud > 4000000)
                return fail(QStringLiteral("bad baud rate \"%1\"").arg(value));
        } else if (name == QLatin1String("--scenario")) {
            QString why;
            options.scenario = Scenario::Load(value, &why);
            if (!options.scenario) return fail(QStringLiteral("scenario %1").arg(why));
        } else if (name == QLatin1String("--replay")) {
            if (value.isEmpty()) return fail(QStringLiteral("--replay needs a FILE"));
            options.replayPath = value;
        } else if (name == QLatin1String("--sample")) {
            QString why;
            auto parsed = Scenario::Parse(QStringLiteral("0 ") + value, &why);
            if (!parsed || parsed->entries().size() != 1) {
                return fail(
                    QStringLiteral("bad sample \"%1\": expected \"R G B [TEMP]\"").arg(value));
            }
            options.sample = parsed->entries().front().sample;
        } else if (name == QLatin1String("--noise")) {
            const QStringList parts = value.split(QLatin1Char(':'));
            options.noise = parts[0].toInt(&ok);
            if (!ok || options.noise < 0 || options.noise > 4095 || parts.size() > 2) {
                return fail(QStringLiteral("bad noise \"%1\": expected A[:SEED]").arg(value));
            }
            if (parts.size() == 2) {
                options.noiseSeed = parts[1].toUInt(&ok);
                if (!ok) return fail(QStringLiteral("bad noise seed \"%1\"").arg(parts[1]));
            }
        } else if (name == QLatin1String("--drift")) {
            QString why;
            if (!options.ageing.ParseDrift(value, &why)) return fail(why);
        } else if (name == QLatin1String("--decay")) {
            const double percent = value.toDouble(&ok);
            if (!ok || !(percent >= 0 && percent <= 100))
                return fail(QStringLiteral("bad decay \"%1\": expected 0 ... 100 percent a minute")
                                .arg(value));
            options.ageing.decayPercentPerMinute = percent;
        } else if (name == QLatin1String("--temp-ramp")) {
            const double degrees = value.toDouble(&ok);
            if (!ok || !(std::abs(degrees) <= 1e6))
                return fail(QStringLiteral("bad temperature ramp \"%1\"").arg(value));
            options.ageing.tempPerMinute = degrees;
        } else if (name == QLatin1String("--time-scale")) {
            const double factor = value.toDouble(&ok);
            if (!ok || !(factor > 0 && factor <= 1e9))
                return fail(
                    QStringLiteral("bad time scale \"%1\": expected a factor > 0").arg(value));
            options.ageing.timeScale = factor;
        } else if (name == QLatin1String("--version")) {
            options.version = value.toLatin1();
            if (options.version.isEmpty() || options.version.size() > 36) {
                return fail(QStringLiteral("the version text must have 1 to 36 characters"));
            }
        } else if (name == QLatin1String("--fault")) {
            QString why;
            auto fault = Fault::Parse(value, &why);
            if (!fault) return fail(why);
            options.faults.push_back(*fault);
        }
    }
    if (options.scenario && options.sample) {
        return fail(QStringLiteral("--scenario and --sample exclude each other"));
    }
    if (options.replayHold && options.replayPath.isEmpty()) {
        return fail(QStringLiteral("--replay-hold needs --replay FILE"));
    }
    if (!options.replayPath.isEmpty() && (options.scenario || options.sample)) {
        return fail(QStringLiteral("--replay excludes --scenario and --sample"));
    }
    if (!options.replayPath.isEmpty() && options.ageing != Ageing{}) {
        return fail(
            QStringLiteral("--replay excludes --drift, --decay, --temp-ramp and --time-scale"));
    }
    if (!options.tcp && !options.pty) options.tcp = true;
    if (options.tcpCount > 1) {
        options.tcp = true;
        const int last = options.tcpPort + options.tcpCount - 1;
        if (options.tcpPort != 0 && last > 65535) {
            return fail(QStringLiteral("%1 sensors from port %2 run past port 65535")
                            .arg(options.tcpCount)
                            .arg(options.tcpPort));
        }
    }
    return options;
}

}  // namespace tvx::sim
