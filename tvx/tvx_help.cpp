#include "tvx_help.h"

namespace tvx::cli {

QString TvxHelp(Command command) {
    const QString sensors = QStringLiteral(
        "Sensors (one or more):\n"
        "  --sensor [NAME=]URL   URL is tcp://HOST:PORT or serial:DEVICE (a port number, 1 =\n"
        "                        first port, or a device path); NAME defaults to the URL\n"
        "  --tcp HOST:PORT       one sensor over TCP\n"
        "  --serial DEVICE       one sensor on a serial port (19200 8N1)\n");
    switch (command) {
        case Command::Info:
            return QStringLiteral(
                       "Usage: tvx info SENSORS...\n"
                       "Runs the handshake with each sensor and prints one line per sensor:\n"
                       "NAME<TAB>the version text, or NAME<TAB>error: the reason.\n") +
                   sensors;
        case Command::Get:
            return QStringLiteral(
                       "Usage: tvx get [--eeprom] -o PATH SENSORS...\n"
                       "Reads each sensor's parameter set (from RAM, or from EEPROM with "
                       "--eeprom)\n"
                       "and writes it as a parameter file the scope loads. With one sensor PATH "
                       "is\n"
                       "the file; with several it is a folder and each file is NAME.dat. Reading\n"
                       "the EEPROM leaves the sensor working with the set it had.\n") +
                   sensors;
        case Command::Send:
            return QStringLiteral(
                       "Usage: tvx send [--eeprom] [--no-verify] [--strict] PATH SENSORS...\n"
                       "Sends a parameter file to each sensor (to RAM, or also stored in EEPROM\n"
                       "with --eeprom), then reads it back and compares. A malformed file is\n"
                       "refused before anything is sent. With several sensors PATH is a folder of\n"
                       "NAME.dat files. What the scope would change in a set or warn about is\n"
                       "said in one line each (\"warning: ...\"); the set is sent as it is.\n"
                       "  --no-verify   skip the read-back\n"
                       "  --strict      refuse such a set: nothing is sent to any sensor\n") +
                   sensors;
        case Command::Watch:
            return QStringLiteral(
                       "Usage: tvx watch [--count N] [--format csv|jsonl] SENSOR\n"
                       "Runs the live loop on one sensor and prints one line per frame: the time\n"
                       "(ISO 8601, local time with offset) and R, G, B, X, Y, INT (s, i, M in\n"
                       "calculation mode 1), C-No, GROUP, TEMP, and the recognition margin:\n"
                       "MARGIN (1 at the centre of the row's circle, 0 on its edge), MARGIN-ROW\n"
                       "(the row reported, or the nearest for C-No 255), SECOND (the best other\n"
                       "row; 0 or more: the point lies in two rows). CSV starts with a header.\n"
                       "Ends after N frames, on SIGINT or SIGTERM, or when the sensor fails.\n") +
                   sensors;
        case Command::Record:
            return QStringLiteral(
                       "Usage: tvx record [--interval SECONDS] [--duration SECONDS | --count N]\n"
                       "                  [--csv FOLDER | --mqtt HOST[:PORT] [--topic PREFIX]\n"
                       "                   [--spool FOLDER] [--spool-max MB] [--mqtt-cafile FILE]\n"
                       "                   [--mqtt-user NAME [--mqtt-password-file FILE]]\n"
                       "                   [--mqtt-client-id ID]\n"
                       "                   [--sparkplug GROUP/EDGE [--sparkplug-host HOST_ID]]]\n"
                       "                  [--metrics [HOST:]PORT]\n"
                       "                  [--margin-warn RATIO] [--margin-delay SECONDS]\n"
                       "                  [--margin-deadband RATIO]\n"
                       "                  SENSORS...\n"
                       "       tvx record --config FILE\n"
                       "Records all sensors at once, each at the live rate or one frame per\n"
                       "interval, until the duration is over, each sensor has N frames, or SIGINT\n"
                       "or SIGTERM. A sensor that fails is reconnected (1 s, doubling to 30 s).\n"
                       "  --config FILE       every setting from an INI file, [record] KEY = "
                       "VALUE\n"
                       "                      for --KEY VALUE and [sensors] NAME = URL; SIGHUP\n"
                       "                      reads it again (sensors added start, removed stop)\n"
                       "  --csv FOLDER        one CSV file per sensor, FOLDER/NAME.csv (default:\n"
                       "                      tvx-record-DATE in the current folder)\n"
                       "  --mqtt HOST[:PORT]  publish each frame as JSON to PREFIX/NAME/frame and\n"
                       "                      the link state (retained) to PREFIX/NAME/status;\n"
                       "                      '/', '+' and '#' in NAME become '_'. A broker\n"
                       "                      that is away, at the start or later, is waited\n"
                       "                      for while frames go to the spool\n"
                       "  --topic PREFIX      topic prefix, default tvx\n"
                       "  Each frame is kept in a spool file until the broker has acknowledged it\n"
                       "  (quality 1) and carries \"seq\", its number per sensor from 1.\n"
                       "  --spool FOLDER      where the spool file is (default\n"
                       "                      $XDG_STATE_HOME/tvx or ~/.local/state/tvx)\n"
                       "  --spool-max MB      bound of the spool, default 1024; beyond it the\n"
                       "                      oldest frames are dropped and counted\n"
                       "  --mqtt-cafile FILE  TLS: the broker's certificate must be signed by\n"
                       "                      this CA and name the broker's host\n"
                       "  --mqtt-user NAME    user name for the broker\n"
                       "  --mqtt-password-file FILE  its first line is the password\n"
                       "  --mqtt-client-id ID the client id of the recorder's one broker\n"
                       "                      connection (default tvx-HOST-HASH, from the host\n"
                       "                      and the spool); PREFIX/_recorder/ID/status says\n"
                       "                      whether the recorder runs (its last will)\n"
                       "  --sparkplug GROUP/EDGE  also one Sparkplug B edge node on the broker,\n"
                       "                      a device per sensor (spBv1.0/GROUP/.../EDGE/NAME),\n"
                       "                      with a connection and a spool of its own\n"
                       "  --sparkplug-host HOST_ID  births wait for the primary host's STATE\n"
                       "                      online; its offline sends the frames to the spool\n"
                       "  --metrics [HOST:]PORT\n"
                       "                      serve the recorder's figures to Prometheus at\n"
                       "                      http://HOST:PORT/metrics; HOST is 127.0.0.1 unless "
                       "given\n"
                       "  --margin-warn RATIO a sensor whose recognition margin (1 at the centre\n"
                       "                      of its colour, 0 on the edge) stays below RATIO\n"
                       "                      (default 0.2; no colour or two colours count as\n"
                       "                      below) for --margin-delay SECONDS (default 10) is\n"
                       "                      in alarm until it stays above RATIO +\n"
                       "                      --margin-deadband RATIO (default 0.05) as long;\n"
                       "                      each change is one line here and, with --mqtt,\n"
                       "                      retained on PREFIX/NAME/alarm\n") +
                   sensors;
        case Command::Show:
            return QStringLiteral(
                       "Usage: tvx show [--format text|json] FILE\n"
                       "       tvx show [--format text|json] [--eeprom] SENSOR\n"
                       "Prints a parameter set (a parameter file, or a sensor's RAM or EEPROM)\n"
                       "named as the scope names it: the mode words, then the teach table with\n"
                       "the columns of its calculation mode, its groups and '*' on the active\n"
                       "rows, then what the scope would change or warn about. Reading the EEPROM\n"
                       "leaves the sensor working with the set it had.\n") +
                   sensors;
        case Command::Diff:
            return QStringLiteral(
                       "Usage: tvx diff [--format text|json] A B\n"
                       "A and B are each a parameter FILE or --sensor NAME=URL [--eeprom] (its\n"
                       "RAM, or its EEPROM). Prints what differs, one line each, by name:\n"
                       "\"MAXCOL-No. 4 → 5\", \"row 2 CTO 100 → 40\", \"row 7 group 3 → 5\".\n"
                       "  --format json  one JSON document: both sources and each difference\n"
                       "                 with its parameter, its two values and its line\n"
                       "Exit status: 0 equal, 1 different, 2 usage error or a set that could\n"
                       "not be read.\n") +
                   sensors;
        case Command::Check:
            return QStringLiteral(
                       "Usage: tvx check --golden FOLDER [--restore] [--quiet]\n"
                       "                 [--format text|json] SENSORS...\n"
                       "Compares each sensor's RAM and EEPROM with its golden copy\n"
                       "FOLDER/NAME.dat, and its RAM with its EEPROM (what a power cycle would\n"
                       "lose); prints the differences per sensor and a summary line, \"checked N\n"
                       "sensors: ... in order, ... drifted, ... restored, ... not checked, ...\n"
                       "left wrong\". Reading the EEPROM makes it the working set, so the RAM's\n"
                       "set is written back; a sensor where that fails is said to be left with\n"
                       "its working set not restored.\n"
                       "  --restore     write the golden set to each memory that drifted (the\n"
                       "                EEPROM through RAM, as the scope does), read it back and\n"
                       "                compare\n"
                       "  --quiet       print only drift and failures: nothing for a sensor in\n"
                       "                order, and nothing at all when all are in order\n"
                       "  --format json one JSON document: per sensor its name, URL, verdict,\n"
                       "                differences, warnings and error, then the counts\n"
                       "The sensor serves one client at a time: checking a sensor that is being\n"
                       "recorded interrupts the recording for about a second.\n"
                       "Exit status: 0 no drift; 1 drift found, and with --restore every drifted\n"
                       "memory restored and read back equal; 2 usage error or a golden file\n"
                       "missing or malformed (then no sensor is touched); 3 something is left:\n"
                       "a sensor not checked, a restore that did not read back equal, or a\n"
                       "working set not restored.\n") +
                   sensors;
        case Command::Report:
            return QStringLiteral(
                "Usage: tvx report [--format text|json] [--html FILE] [--parameters FILE.dat]\n"
                "                  [--margin-warn R] [--margin-delay S] [--margin-deadband R]\n"
                "                  RECORDING.csv...\n"
                "How safely each sensor recognised its colours in recordings of tvx record\n"
                "--csv or tvx watch. The sensor is the file's name (NAME.csv): files of one\n"
                "name, from different folders, are merged in time order; each sensor gets a\n"
                "section, in name order. Per sensor and per row (MARGIN-ROW): frames, the\n"
                "margin's minimum, 5th percentile and median, frames without a match (C-No\n"
                "255) and ambiguous ones (SECOND 0 or more), the share of the recorded time\n"
                "in margin alarm and each alarm with its start and end, and Cpu = (CTO -\n"
                "mean d) / (3 s_d) of the distance d from the row's centre. Frames more than\n"
                "max(5 s, 10 x their median spacing) apart are a gap: listed, not counted as\n"
                "recorded time, and the alarm's delay starts again after it.\n"
                "  --format json       one JSON document instead of the text tables\n"
                "  --html FILE         also write one self-contained page: the margin over\n"
                "                      time with the warn band and the alarms, a histogram\n"
                "                      per row, a summary table\n"
                "  --parameters FILE.dat  the teach table the sensor had: needed for Cpu and\n"
                "                      for recordings without the margin columns\n"
                "  --margin-warn R     a frame below this margin is low (default 0.2)\n"
                "  --margin-delay S    the alarm rises after S seconds of low frames and\n"
                "                      clears after S seconds of high ones (default 10)\n"
                "  --margin-deadband R clearing needs a margin above warn + R (default 0.05)\n"
                "Exit status: 0 reported; 1 a recording or the parameter file cannot be\n"
                "read, or the page cannot be written; 2 usage error, or a recording without\n"
                "margins and no fitting --parameters.\n");
        case Command::None:
            break;
    }
    return QStringLiteral(
               "Usage: tvx COMMAND [OPTIONS] SENSORS...\n"
               "Works with TRIVEX sensors from scripts, one or many at once.\n"
               "Commands:\n"
               "  info     handshake with each sensor, print its version text\n"
               "  get      read the parameter sets into parameter files\n"
               "  send     send a parameter file, read it back and compare\n"
               "  watch    print live frames of one sensor\n"
               "  record   record live frames of many sensors to CSV files or MQTT\n"
               "  show     print a parameter set by name, from a file or a sensor\n"
               "  diff     the differences of two parameter sets, by name\n"
               "  check    compare sensors with their golden parameter files\n"
               "  report   the recognition margin of recordings: tables, JSON or a page\n"
               "  tvx COMMAND --help describes a command.\n"
               "Options:\n"
               "  --help      this text\n"
               "  --version   the program's version\n") +
           sensors +
           QStringLiteral(
               "Exit status: 0 success, 1 when a sensor, file or broker failed (the other\n"
               "sensors are still done), 2 for a usage error.\n");
}

}  // namespace tvx::cli
