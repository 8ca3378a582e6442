#include "sparkplug_sink.h"

#include <QDateTime>
#include <QFile>
#include <QTimer>
#include <deque>
#include <map>
#include <memory>
#include <unordered_set>

#include "event_wait.h"
#include "frame_spool.h"
#include "mqtt_client.h"

namespace tvx::cli {

namespace {

using sparkplug::DataType;
using sparkplug::Metric;

// Frames written to the broker and not yet fenced: enough for a thousand sensors' rate between
// two answers, few enough that a lost connection costs little to send again.
constexpr int kWindow = 1000;
constexpr int kCommitMilliseconds = 50;
// At the end the broker gets this long for what is left, and for the death certificate.
constexpr double kCloseSeconds = 5.0;
// Aliases: the node's own metrics below the first device's; each device a block of its own.
constexpr std::uint64_t kDeviceAliasBlock = 1000;

std::int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace

SparkplugSettings SparkplugSettingsFrom(const TvxOptions& options) {
    SparkplugSettings settings;
    settings.mqtt = MqttSettingsFrom(options);
    settings.node = {options.sparkplugGroup, options.sparkplugEdge};
    settings.primaryHost = options.sparkplugHost;
    return settings;
}

class SparkplugSink::Delivery : public QObject {
  public:
    Delivery(Reporter reporter) : reporter_(std::move(reporter)), commitTimer_(this) {}

    bool Open(const SparkplugSettings& settings, const std::vector<QString>& names, QString& error);
    void Take(std::vector<Handed>& handed);
    void Shut(bool deliver);

  private:
    struct Device {
        std::uint64_t aliasBase = 0;
        QString id;  // in the topics
        std::optional<ParameterSet> params;
        std::optional<sparkplug::SpooledFrame> latest;
        QString version;
        bool online = false;
        bool born = false;
        long long bornAt = 0;  // spool rows before this one are history to this birth
        sparkplug::DeviceMetrics metrics;
    };
    struct InFlight {
        long long id;
        QString sensor;
        long long bytes;
    };

    void Add(const QString& name);
    void Remove(const QString& name);
    void Frame(const QString& name, const StampedFrame& frame);
    void Status(const QString& name, bool online, const QString& text);
    void OnConnecting();
    void OnConnection(bool up);
    void OnMessage(const QString& topic, const QByteArray& payload);
    void OnFenced();
    // The node's births; data follows them.
    void Births();
    void DeviceBirth(Device& device);
    void DeviceDeath(Device& device);
    void PublishNodeData();
    std::vector<Metric> NodeMetrics() const;
    bool Live() const { return born_ && client_->Connected(); }
    // Data stops until the next births; `lost`: the connection went, with what it had not fenced.
    void Unborn(bool lost);
    void Send();
    int NextSeq();
    void Commit();

    Reporter reporter_;
    SparkplugSettings settings_;
    FrameSpool spool_;
    std::unique_ptr<MqttClient> client_;
    QTimer commitTimer_;
    std::map<QString, Device> devices_;
    std::uint64_t nextAliasBase_ = kDeviceAliasBlock;
    std::uint64_t bdSeq_ = 0;
    int seq_ = 0;
    bool born_ = false;
    bool hostOnline_ = false;
    std::int64_t hostTimestamp_ = 0;
    std::deque<InFlight> inFlight_;  // oldest first
    std::unordered_set<long long> inFlightIds_;
    std::deque<std::size_t> fences_;  // frames each outstanding fence stands for, oldest first
    long long sentUpTo_ = 0;
    std::unordered_set<QString> saidDropped_;
};

bool SparkplugSink::Delivery::Open(const SparkplugSettings& settings,
                                   const std::vector<QString>& names, QString& error) {
    settings_ = settings;
    MqttSettings spoolPlace = settings.mqtt;
    spoolPlace.prefix =
        QStringLiteral("spBv1.0_%1_%2").arg(settings.node.group, settings.node.edge);
    const QString path = SpoolPath(spoolPlace);
    MqttCredentials credentials{settings.mqtt.caFile, settings.mqtt.user, QString()};
    if (!settings.mqtt.passwordFile.isEmpty()) {
        QFile file(settings.mqtt.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("password file \"%1\" cannot be read: %2")
                        .arg(settings.mqtt.passwordFile, file.errorString());
            return false;
        }
        credentials.password = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n'));
        credentials.password.remove(QLatin1Char('\r'));
    }
    QString notice;
    const bool opened = spool_.Open(path, settings.mqtt.spoolMaxBytes, error, notice);
    if (!notice.isEmpty()) reporter_.Say(notice);
    if (!opened) return false;
    for (const QString& name : names) Add(name);
    hostOnline_ = settings.primaryHost.isEmpty();
    commitTimer_.setSingleShot(true);
    connect(&commitTimer_, &QTimer::timeout, this, [this] { Commit(); });
    const QString clientId = settings.mqtt.clientId.isEmpty()
                                 ? DerivedClientId(path)
                                 : settings.mqtt.clientId + QStringLiteral("-sparkplug");
    client_ = std::make_unique<MqttClient>(clientId, settings.mqtt.host, settings.mqtt.port,
                                           QString(), QByteArray(), credentials);
    connect(client_.get(), &MqttClient::connecting, this, [this] { OnConnecting(); });
    connect(client_.get(), &MqttClient::connectedChanged, this,
            [this](bool up) { OnConnection(up); });
    connect(client_.get(), &MqttClient::message, this,
            [this](const QString& topic, const QByteArray& payload) { OnMessage(topic, payload); });
    connect(client_.get(), &MqttClient::fenced, this, [this] { OnFenced(); });
    client_->Start();
    return true;
}

// Every connection has a bdSeq of its own, kept before the CONNECT goes: a recorder killed at any
// moment never gives the next connection the number of the last.
void SparkplugSink::Delivery::OnConnecting() {
    bdSeq_ = static_cast<std::uint64_t>(spool_.NextSeq(QString()) - 1) % 256;
    Commit();
    client_->SetWill(settings_.node.Topic("NDEATH"), sparkplug::DeathPayload(bdSeq_), false);
}

void SparkplugSink::Delivery::OnConnection(bool up) {
    Unborn(true);
    if (!up) return;
    const sparkplug::NodeName& node = settings_.node;
    client_->Subscribe(node.Topic("NCMD"), 1);
    client_->Subscribe(node.Topic("DCMD") + QStringLiteral("/+"), 1);
    if (!settings_.primaryHost.isEmpty()) {
        // The host's retained state comes with the subscription and says when births may go.
        hostOnline_ = false;
        client_->Subscribe(QStringLiteral("spBv1.0/STATE/") + settings_.primaryHost, 1);
        return;
    }
    Births();
}

// After the next births the spool is gone through again from the oldest frame: what a lost
// connection had not fenced goes again, the frames in flight on one kept are passed over.
void SparkplugSink::Delivery::Unborn(bool lost) {
    born_ = false;
    for (auto& [name, device] : devices_) device.born = false;
    sentUpTo_ = 0;
    if (!lost) return;
    inFlight_.clear();
    inFlightIds_.clear();
    fences_.clear();
}

int SparkplugSink::Delivery::NextSeq() {
    const int seq = seq_;
    seq_ = (seq_ + 1) % 256;
    return seq;
}

std::vector<Metric> SparkplugSink::Delivery::NodeMetrics() const {
    long long online = 0;
    for (const auto& entry : devices_) online += entry.second.online ? 1 : 0;
    return {sparkplug::Unsigned("Sensors/Configured", 1, DataType::UInt32, devices_.size()),
            sparkplug::Unsigned("Sensors/Online", 2, DataType::UInt32,
                                static_cast<std::uint64_t>(online))};
}

void SparkplugSink::Delivery::Births() {
    if (!client_->Connected() || !hostOnline_) return;
    Unborn(false);
    seq_ = 0;
    std::vector<Metric> metrics{
        sparkplug::Unsigned("bdSeq", 0, DataType::Int64, bdSeq_),
        sparkplug::Unsigned("Node Control/Rebirth", 0, DataType::Boolean, 0)};
    for (Metric& metric : NodeMetrics()) metrics.push_back(std::move(metric));
    client_->Publish(settings_.node.Topic("NBIRTH"),
                     sparkplug::BirthPayload(NowMs(), NextSeq(), metrics), 0, false, false);
    born_ = true;
    for (auto& [name, device] : devices_)
        if (device.online) DeviceBirth(device);
    client_->Flush();
    Send();
}

void SparkplugSink::Delivery::DeviceBirth(Device& device) {
    if (!born_ || !device.params) return;
    std::vector<std::string> collisions;
    device.metrics =
        sparkplug::DeviceMetrics(*device.params, device.version, device.aliasBase, collisions);
    for (const std::string& name : collisions)
        reporter_.Say(QStringLiteral("sparkplug: device %1 has two metrics named \"%2\"; the "
                                     "second is left out")
                          .arg(device.id, QString::fromStdString(name)));
    if (device.latest) device.metrics.Latest(*device.latest);
    const QByteArray birth = sparkplug::BirthPayload(NowMs(), seq_, device.metrics.All());
    const qint64 most = client_->MaximumPacketSize();
    if (most > 0 && birth.size() + 256 > most) {
        // Without its birth the device stays unborn: its frames wait, none goes unexplained.
        reporter_.Say(QStringLiteral("sparkplug: the DBIRTH of %1 has %2 bytes, the broker takes "
                                     "%3 at most; its frames wait in the spool")
                          .arg(device.id)
                          .arg(birth.size())
                          .arg(most));
        return;
    }
    NextSeq();
    client_->Publish(settings_.node.Topic("DBIRTH", device.id), birth, 0, false, false);
    device.born = true;
    device.bornAt = spool_.LastId() + 1;
    // Frames of this device passed over while it was not born are looked at again.
    sentUpTo_ = 0;
}

void SparkplugSink::Delivery::DeviceDeath(Device& device) {
    if (!device.born) return;
    // Its frames written before go first.
    Send();
    device.born = false;
    if (!Live()) return;
    client_->Publish(settings_.node.Topic("DDEATH", device.id),
                     sparkplug::BirthPayload(NowMs(), NextSeq(), {}), 0, false, false);
}

void SparkplugSink::Delivery::PublishNodeData() {
    if (!Live()) return;
    client_->Publish(settings_.node.Topic("NDATA"),
                     sparkplug::DataPayload(NowMs(), NextSeq(), NodeMetrics(), NowMs(), false), 0,
                     false, false);
}

void SparkplugSink::Delivery::Take(std::vector<Handed>& handed) {
    for (Handed& item : handed) {
        switch (item.kind) {
            case Handed::Add:
                Add(item.name);
                PublishNodeData();
                break;
            case Handed::Remove:
                Remove(item.name);
                break;
            case Handed::Parameters:
                if (const auto it = devices_.find(item.name); it != devices_.end())
                    it->second.params = item.params;
                break;
            case Handed::Frame:
                Frame(item.name, item.frame);
                break;
            case Handed::Status:
                Status(item.name, item.online, item.text);
                break;
        }
    }
    Send();
}

void SparkplugSink::Delivery::Add(const QString& name) {
    if (devices_.count(name) > 0) return;
    Device device;
    device.id = sparkplug::DeviceId(name);
    for (const auto& [other, known] : devices_) {
        if (known.id == device.id) {
            reporter_.Say(QStringLiteral("sparkplug: sensors \"%1\" and \"%2\" would be the same "
                                         "device %3; \"%2\" is not published on Sparkplug")
                              .arg(other, name, device.id));
            return;
        }
    }
    device.aliasBase = nextAliasBase_;
    nextAliasBase_ += kDeviceAliasBlock;
    devices_.emplace(name, std::move(device));
}

void SparkplugSink::Delivery::Remove(const QString& name) {
    const auto it = devices_.find(name);
    if (it == devices_.end()) return;
    DeviceDeath(it->second);
    devices_.erase(it);
    PublishNodeData();
}

void SparkplugSink::Delivery::Frame(const QString& name, const StampedFrame& frame) {
    const auto it = devices_.find(name);
    if (it == devices_.end()) return;
    const sparkplug::SpooledFrame spooled = sparkplug::SpooledFrameOf(frame);
    it->second.latest = spooled;
    spool_.NextSeq(name);
    spool_.Append(name, sparkplug::EncodeSpooled(spooled));
    if (!commitTimer_.isActive()) commitTimer_.start(kCommitMilliseconds);
}

void SparkplugSink::Delivery::Status(const QString& name, bool online, const QString& text) {
    const auto it = devices_.find(name);
    if (it == devices_.end()) return;
    Device& device = it->second;
    const bool was = device.online;
    device.online = online;
    if (online) {
        device.version = text;
        // A parameter set read again (a reconnection) is a birth of its own.
        DeviceBirth(device);
    } else {
        DeviceDeath(device);
    }
    if (was != online) PublishNodeData();
    client_->Flush();
}

void SparkplugSink::Delivery::OnMessage(const QString& topic, const QByteArray& payload) {
    const sparkplug::NodeName& node = settings_.node;
    if (topic == node.Topic("NCMD")) {
        const sparkplug::NodeCommand command = sparkplug::ReadNodeCommand(payload);
        if (!command.refused.isEmpty())
            reporter_.Say(QStringLiteral("sparkplug: NCMD refused: %1").arg(command.refused));
        if (command.rebirth) Births();
        return;
    }
    if (topic.startsWith(node.Topic("DCMD") + QLatin1Char('/'))) {
        reporter_.Say(QStringLiteral("sparkplug: DCMD for %1 refused: the recorder does not "
                                     "write to sensors")
                          .arg(topic.section(QLatin1Char('/'), 4)));
        return;
    }
    if (settings_.primaryHost.isEmpty() ||
        topic != QStringLiteral("spBv1.0/STATE/") + settings_.primaryHost)
        return;
    const std::optional<sparkplug::HostState> state = sparkplug::ReadHostState(payload);
    if (!state) {
        reporter_.Say(
            QStringLiteral("sparkplug: STATE of %1 is not {\"online\":BOOL,\"timestamp\":MS}; "
                           "ignored")
                .arg(settings_.primaryHost));
        return;
    }
    if (state->timestamp < hostTimestamp_) return;  // older than what the host said last
    hostTimestamp_ = state->timestamp;
    if (state->online == hostOnline_) return;
    hostOnline_ = state->online;
    reporter_.Say(state->online
                      ? QStringLiteral("sparkplug: primary host %1 online: births and data go")
                      : QStringLiteral("sparkplug: primary host %1 offline: frames wait in the "
                                       "spool")
                            .arg(settings_.primaryHost));
    if (hostOnline_)
        Births();
    else
        Unborn(false);
}

void SparkplugSink::Delivery::Send() {
    if (!Live()) return;
    std::size_t written = 0;
    while (std::ssize(inFlight_) < kWindow) {
        std::vector<FrameSpool::Row> rows =
            spool_.After(sentUpTo_, kWindow - static_cast<int>(inFlight_.size()));
        if (rows.empty()) break;
        for (FrameSpool::Row& row : rows) {
            sentUpTo_ = row.id;
            if (inFlightIds_.count(row.id) > 0) continue;
            const auto it = devices_.find(row.sensor);
            const std::optional<sparkplug::SpooledFrame> frame =
                sparkplug::DecodeSpooled(row.payload);
            if (it == devices_.end() || !frame) {
                // No birth can come for it: a sensor no longer recorded, a row not readable.
                if (saidDropped_.insert(row.sensor).second)
                    reporter_.Say(QStringLiteral("sparkplug: frames of %1 in the spool cannot "
                                                 "go without its birth; they are dropped")
                                      .arg(row.sensor));
                spool_.Acknowledge(row.sensor, row.id, row.payload.size());
                continue;
            }
            Device& device = it->second;
            if (!device.born) continue;  // goes after its next birth
            const bool historical = row.id < device.bornAt;
            const std::vector<Metric> metrics = device.metrics.FrameMetrics(*frame, historical);
            client_->Publish(settings_.node.Topic("DDATA", device.id),
                             sparkplug::DataPayload(NowMs(), NextSeq(), metrics,
                                                    frame->msSinceEpoch, historical),
                             0, false, false);
            inFlight_.push_back({row.id, row.sensor, row.payload.size()});
            inFlightIds_.insert(row.id);
            ++written;
        }
    }
    if (written == 0) return;
    fences_.push_back(written);
    client_->Fence();
}

void SparkplugSink::Delivery::OnFenced() {
    if (fences_.empty()) return;
    for (std::size_t i = fences_.front(); i > 0 && !inFlight_.empty(); --i) {
        const InFlight& taken = inFlight_.front();
        spool_.Acknowledge(taken.sensor, taken.id, taken.bytes);
        inFlightIds_.erase(taken.id);
        inFlight_.pop_front();
    }
    fences_.pop_front();
    if (!commitTimer_.isActive()) commitTimer_.start(kCommitMilliseconds);
    Send();
}

void SparkplugSink::Delivery::Commit() {
    QString error;
    if (!spool_.Commit(error)) reporter_.Say(QStringLiteral("sparkplug: %1").arg(error));
    Send();
}

void SparkplugSink::Delivery::Shut(bool deliver) {
    commitTimer_.stop();
    if (deliver && client_ != nullptr) {
        Commit();
        WaitUntil(
            [this] { return !Live() || (inFlight_.empty() && spool_.After(sentUpTo_, 1).empty()); },
            kCloseSeconds, WaitMode::ServeUserInput,
            {WakeSource(client_.get(), &MqttClient::stateChanged),
             WakeSource(client_.get(), &MqttClient::fenced)});
        if (client_->Connected()) {
            client_->Publish(settings_.node.Topic("NDEATH"), sparkplug::DeathPayload(bdSeq_), 1,
                             false);
            WaitUntil([this] { return client_->Unacknowledged() == 0; }, kCloseSeconds,
                      WaitMode::ServeUserInput,
                      {WakeSource(client_.get(), &MqttClient::stateChanged)});
        }
    }
    if (client_ != nullptr) client_->Disconnect();
    QString error;
    if (!spool_.Commit(error)) reporter_.Say(QStringLiteral("sparkplug: %1").arg(error));
    if (deliver && spool_.Frames() > 0)
        reporter_.Say(QStringLiteral("sparkplug: %1 frames are kept in spool \"%2\" for the next "
                                     "start")
                          .arg(QString::number(spool_.Frames()), spool_.Path()));
    client_.reset();
    spool_.Close();
}

SparkplugSink::SparkplugSink(Reporter reporter) : reporter_(std::move(reporter)) {
    thread_.setObjectName(QStringLiteral("sparkplug"));
}

SparkplugSink::~SparkplugSink() {
    if (delivery_ != nullptr && !closed_) Shut(false);
}

bool SparkplugSink::Open(const SparkplugSettings& settings, const std::vector<NamedSensor>& sensors,
                         QString& error) {
    std::vector<QString> names;
    for (const NamedSensor& sensor : sensors) names.push_back(sensor.name);
    delivery_ = new Delivery(reporter_);
    delivery_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, delivery_, &QObject::deleteLater);
    thread_.start();
    bool opened = false;
    QMetaObject::invokeMethod(
        delivery_, [&] { opened = delivery_->Open(settings, names, error); },
        Qt::BlockingQueuedConnection);
    if (!opened) Shut(false);
    return opened;
}

void SparkplugSink::Hand(Handed handed) {
    if (delivery_ == nullptr || closed_) return;
    handOff_.Hand(delivery_, std::move(handed),
                  [this](std::vector<Handed>& taken) { delivery_->Take(taken); });
}

bool SparkplugSink::AddSensor(const NamedSensor& sensor, QString&) {
    Hand({Handed::Add, sensor.name, {}, {}, false, {}});
    return true;
}

void SparkplugSink::RemoveSensor(const QString& name) {
    Hand({Handed::Remove, name, {}, {}, false, {}});
}

void SparkplugSink::Parameters(const QString& name, const ParameterSet& params) {
    Hand({Handed::Parameters, name, {}, params, false, {}});
}

bool SparkplugSink::Frame(const QString& name, const StampedFrame& frame, QString&) {
    Hand({Handed::Frame, name, frame, {}, false, {}});
    return true;
}

void SparkplugSink::Status(const QString& name, bool online, const QString& text) {
    Hand({Handed::Status, name, {}, {}, online, text});
}

void SparkplugSink::Shut(bool deliver) {
    if (delivery_ == nullptr || closed_) return;
    closed_ = true;
    QMetaObject::invokeMethod(
        delivery_, [this, deliver] { delivery_->Shut(deliver); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delivery_ = nullptr;
}

void SparkplugSink::Close() {
    Shut(true);
}

}  // namespace tvx::cli
