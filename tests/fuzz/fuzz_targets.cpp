#include "fuzz_targets.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "address_history.h"
#include "colour_array_file.h"
#include "compensation.h"
#include "equation_file.h"
#include "frame_collector.h"
#include "frames.h"
#include "metrics_server.h"
#include "mqtt_client.h"
#include "parameter_file.h"
#include "parameter_names.h"
#include "parameter_report.h"
#include "replay.h"
#include "scenario.h"
#include "sensor_model.h"
#include "sim_options.h"

namespace tvx::fuzz {
namespace {

void Require(bool holds, const char* rule) {
    if (holds) return;
    std::fprintf(stderr, "fuzz rule broken: %s\n", rule);
    std::abort();
}

// The readers take paths: each input becomes the content of a scratch file of this process.
// A memory file system where there is one: the writers sync their files to disk.
QString ScratchDir() {
    static const QString dir =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return dir;
}

QString ScratchPrefix() {
    return QStringLiteral("tvx-fuzz-%1-").arg(QCoreApplication::applicationPid());
}
void RemoveScratchFiles() {
    QDir dir(ScratchDir());
    for (const QString& name : dir.entryList({ScratchPrefix() + QLatin1Char('*')}, QDir::Files))
        dir.remove(name);
}

QString ScratchPath(const char* suffix) {
    static const bool cleanUpAtExit = [] { return std::atexit(RemoveScratchFiles) == 0; }();
    (void)cleanUpAtExit;
    return ScratchDir() + QLatin1Char('/') + ScratchPrefix() + QLatin1String(suffix);
}

QString PutScratch(const char* suffix, const std::uint8_t* data, std::size_t size) {
    const QString path = ScratchPath(suffix);
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
    Require(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                static_cast<qint64>(size),
            "scratch file takes the input");
    return path;
}

QByteArray Bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A parameter file the reader accepts writes back to a file that reads to the same image, and
// shows by name.
void ParameterFile(const std::uint8_t* data, std::size_t size) {
    const ParameterFileRead read = ReadParameterFile(PutScratch("in.dat", data, size));
    Require(read.ok() || !read.message.isEmpty(), "a refusal says why");
    if (!read.ok()) return;
    const QString copy = ScratchPath("copy.dat");
    Require(WriteParameterFile(copy, *read.image).ok, "an accepted image can be written");
    const ParameterFileRead again = ReadParameterFile(copy);
    Require(again.ok() && *again.image == *read.image, "a written image reads back the same");
    // Whatever the words, the set can be shown by name, and differs from itself in nothing.
    const cli::SetOrigin origin{copy, {}, {}, false};
    Require(cli::ParameterSetText(*read.image, origin).count('\n') >= anzdata + kTeachRows,
            "every word is shown");
    Require(QJsonDocument::fromJson(cli::ParameterSetJson(*read.image, origin).toUtf8()).isObject(),
            "the JSON is one object");
    Require(ParameterDifferences(*read.image, *read.image).empty(), "a set equals itself");
}

// Colour-array and start-up pointer files: whatever the content, the entries not read keep
// their values, and a whole file reads back the same once written.
void ColourArrayFile(const std::uint8_t* data, std::size_t size) {
    const QString path = PutScratch("in.car", data, size);
    RowColours colours = DefaultRowColours();
    const ColourArrayRead read = ReadColourArrayFile(path, colours);
    Require(read.entriesRead >= 0 && read.entriesRead <= kRowColourEntries, "entry count");
    for (auto i = static_cast<std::size_t>(read.entriesRead); i < colours.size(); ++i)
        Require(colours[i] == DefaultRowColours()[i], "entries not read keep their values");
    if (read.ok()) {
        const QString copy = ScratchPath("copy.car");
        Require(WriteColourArrayFile(copy, colours).ok, "read colours can be written");
        RowColours again{};
        Require(ReadColourArrayFile(copy, again).ok() && again == colours,
                "written colours read back the same");
    }
    if (const auto named = ReadStartupPointerFile(path)) {
        Require(size == static_cast<std::size_t>(kPointerFileBytes), "pointer file size");
        Require(named->size() < kPointerFileBytes, "named path fits the record");
    }
}

// The address history: at most what the file holds, no empty texts, each text within its
// record, and the list saved reads back the same.
void AddressHistory(const std::uint8_t* data, std::size_t size) {
    const std::vector<QString> entries = LoadAddressHistory(PutScratch("in.ipa", data, size));
    Require(entries.size() <= size / kHistoryRecordBytes + 1, "no more entries than records");
    for (const QString& entry : entries)
        Require(!entry.isEmpty() && entry.size() <= kHistoryTextBytes, "entry within its record");
    const QString copy = ScratchPath("copy.ipa");
    Require(SaveAddressHistory(copy, entries).ok, "a loaded history can be saved");
    std::vector<QString> expected = entries;
    if (expected.size() > static_cast<std::size_t>(kHistoryMaxEntries))
        expected.resize(kHistoryMaxEntries);
    Require(LoadAddressHistory(copy) == expected, "a saved history reads back the same");
}

// Equation files: an accepted file's coefficients survive their own text exactly.
void EquationFile(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const tempcomp::EquationFileResult read = tempcomp::ParseEquationText(text);
    Require(read.ok == read.error.empty(), "a refusal says why, an acceptance does not");
    if (!read.ok) return;
    const tempcomp::EquationFileResult again =
        tempcomp::ParseEquationText(tempcomp::FormatEquationText(read.coefficients));
    Require(again.ok && again.coefficients == read.coefficients, "coefficients read back exactly");
}

// Replies as the programs unpack them: any bytes unpack without touching memory beyond the
// buffers.
void Replies(const std::uint8_t* data, std::size_t size) {
    FrameBuffers buffers;
    std::copy_n(data, std::min(size, buffers.szReadBuf.size()), buffers.szReadBuf.begin());
    GetRxBufPara(buffers);
    ParameterSet vars;
    CopyPPtoVars(buffers, vars);
    GetRxBufData(buffers);
    LiveValues live;
    CopyDatatoVars(buffers, live);

    std::array<std::uint16_t, tempcomp::kPpWords> pp{};
    tempcomp::CompensationTables tables{};
    tempcomp::GetRxBufPara(buffers, pp);
    tempcomp::CopyPPtoVarsR(pp, tables);
    tempcomp::CopyPPtoVarsG(pp, tables);
    tempcomp::CopyPPtoVarsB(pp, tables);
    tempcomp::GetRxBuf3rdRoot(buffers, pp);
    tempcomp::CopyPPto3rdRoot(pp, 0, tables);
    tempcomp::CopyPPto3rdRoot(pp, 128, tables);
}

// The simulator's receiving side: any byte stream is cut into frames, each answered with at most
// one reply of a sensible size.
void SimRequests(const std::uint8_t* data, std::size_t size) {
    sim::FrameCollector collector;
    sim::SensorModel model;
    std::int64_t nowMs = 0;
    // Fed in uneven pieces, as a line delivers them.
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t piece = std::min<std::size_t>(size - pos, 1 + data[pos] % 50);
        for (const QByteArray& frame : collector.Feed(Bytes(data + pos, piece))) {
            Require(frame.size() == kFrameBytes, "collected frames have 36 bytes");
            const QByteArray reply = model.HandleRequest(frame, nowMs += 50);
            Require(reply.size() <= kBufferBytes, "a reply fits the client's buffer");
        }
        pos += piece;
    }
}

// Scenario text: accepted scenarios have ascending times and give a sample at any time.
void SimScenario(const std::uint8_t* data, std::size_t size) {
    QString error;
    const auto scenario = sim::Scenario::Parse(QString::fromUtf8(Bytes(data, size)), &error);
    Require(scenario.has_value() == error.isEmpty(), "a refusal says why");
    if (!scenario) return;
    for (std::int64_t t : {std::int64_t{0}, std::int64_t{1}, std::int64_t{999999999}})
        (void)scenario->SampleAt(t, t);
}

// Command-line options of the simulator, one per line; files are not named (a scenario file
// would read from the file system).
// A recording to replay: refused with its reason, or a frame at every time, looping or held.
void SimReplay(const std::uint8_t* data, std::size_t size) {
    QString error;
    auto replay = sim::Replay::Parse(QString::fromUtf8(Bytes(data, size)), "rec.csv", &error);
    Require(replay.has_value() == error.isEmpty(), "a refusal says why");
    Require(error.isEmpty() || error.startsWith("rec.csv:"), "a refusal names the file");
    if (!replay) return;
    for (const bool hold : {false, true}) {
        replay->SetHold(hold);
        for (std::int64_t t : {std::int64_t{-1}, std::int64_t{0}, std::int64_t{999999999}})
            (void)replay->FrameAt(t);
    }
}

void SimOptions(const std::uint8_t* data, std::size_t size) {
    const QStringList args = QString::fromUtf8(Bytes(data, size)).split(QLatin1Char('\n'));
    for (const QString& arg : args)
        if (arg.contains(QLatin1String("scenario"))) return;
    QString error;
    const auto options = sim::ParseSimOptions(args, &error);
    Require(options.has_value() == error.isEmpty(), "a refusal says why");
    if (!options) return;
    // What the faults ask for stays bounded, whatever the numbers.
    sim::FaultPlan plan;
    for (const sim::Fault& fault : options->faults) plan.Add(fault);
    for (std::uint16_t order : {1, 3, 5, 7})
        for (const sim::ReplyStep& step : plan.Apply(order, QByteArray(kFrameBytes, '\0')))
            Require(step.bytes.size() <= 2 * 65536 + kFrameBytes, "bounded reply");
    for (std::int64_t ms : {std::int64_t{0}, std::int64_t{60000}, std::int64_t{999999999}}) {
        const sim::Sample aged = options->ageing.Apply(sim::Sample{}, ms);
        Require(std::isfinite(aged.r + aged.g + aged.b + aged.temp), "an aged sample is a number");
    }
}

// A request to the metrics server, judged whole and by its first half: a verdict on the half
// stands for the whole, and a complete request names a method and an absolute path.
void HttpRequests(const std::uint8_t* data, std::size_t size) {
    const QByteArray whole = Bytes(data, size);
    const cli::RequestVerdict verdict = cli::JudgeRequest(whole);
    const cli::RequestVerdict half = cli::JudgeRequest(whole.left(whole.size() / 2));
    Require(verdict.kind != cli::RequestVerdict::Complete ||
                (!verdict.method.isEmpty() && verdict.target.startsWith(QLatin1Char('/'))),
            "a complete request has a method and a path");
    Require(half.kind == cli::RequestVerdict::Incomplete ||
                (half.kind == verdict.kind && half.method == verdict.method &&
                 half.target == verdict.target),
            "a verdict stands whatever follows");
    Require(whole.size() <= cli::kRequestLimit || verdict.kind != cli::RequestVerdict::Incomplete,
            "a request beyond the limit is not waited for");
}

// What a broker sends, split into packets, each read as MQTT 5 and as 3.1.1: a packet lies within
// what came, what is read of it within the packet, and a message names its topic and its id.
void BrokerPackets(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = Bytes(data, size);
    QByteArrayView rest(bytes);
    for (qsizetype length; (length = cli::MqttPacketLength(rest)) > 0; rest = rest.sliced(length)) {
        Require(length <= rest.size(), "a packet within what came");
        const QByteArrayView packet = rest.first(length);
        const auto within = [&](QByteArrayView part) {
            return part.isEmpty() || (part.data() >= packet.data() &&
                                      part.data() + part.size() <= packet.data() + length);
        };
        for (const int protocol : {5, 4}) {
            cli::MqttInbound in;
            if (!cli::ReadMqttPacket(packet, protocol, in)) continue;
            Require(within(in.topic) && within(in.payload), "what is read lies within the packet");
            Require(in.type != 3 || (!in.topic.isEmpty() && (in.qos == 0 || in.id != 0)),
                    "a message names its topic and its id");
            Require(in.receiveMaximum > 0, "a broker takes at least one message");
        }
    }
}

constexpr FuzzTarget kTargets[] = {
    {"parameter_file", ParameterFile},
    {"colour_array_file", ColourArrayFile},
    {"address_history", AddressHistory},
    {"equation_file", EquationFile},
    {"replies", Replies},
    {"sim_requests", SimRequests},
    {"sim_scenario", SimScenario},
    {"sim_replay", SimReplay},
    {"sim_options", SimOptions},
    {"http_requests", HttpRequests},
    {"broker_packets", BrokerPackets},
};

}  // namespace

std::span<const FuzzTarget> AllTargets() {
    return kTargets;
}

const FuzzTarget* FindTarget(std::string_view name) {
    for (const FuzzTarget& target : kTargets)
        if (target.name == name) return &target;
    return nullptr;
}

}  // namespace tvx::fuzz
