#include "mqtt_sink.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTimer>
#include <map>
#include <memory>
#include <unordered_map>

#include "event_wait.h"
#include "fleet_metrics.h"
#include "frame_spool.h"
#include "mqtt_client.h"

namespace tvx::cli {

namespace {

// How long the start waits for the broker's first answer before it records to the spool alone.
constexpr double kFirstAnswerSeconds = 6.0;
// Frames the broker may hold unacknowledged: enough to keep the connection busy at a thousand
// sensors' rate, few enough that a lost connection costs little to send again.
constexpr int kWindow = 100;
// New frames and acknowledgements are written to the spool together, at most this long after.
constexpr int kCommitMilliseconds = 50;
// A spool that could not be written is tried again after this.
constexpr int kRetryCommitMilliseconds = 1000;
// At the end the broker gets this long for what is left; the rest waits for the next start.
constexpr double kCloseSeconds = 5.0;
// Frames the broker refused are offered again after this, from the oldest.
constexpr int kRefusedRetryMilliseconds = 5000;

QByteArray Payload(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A name is one topic level: separators and wildcards in it ("tcp://host:port") become '_'.
QString TopicLevel(QString name) {
    for (QChar& c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#'))
            c = QLatin1Char('_');
    }
    return name;
}

}  // namespace

QString DefaultSpoolFolder() {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    return QDir(state.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/state") : state)
        .filePath(QStringLiteral("tvx"));
}

QString SpoolPath(const MqttSettings& settings) {
    const QString folder =
        settings.spoolFolder.isEmpty() ? DefaultSpoolFolder() : settings.spoolFolder;
    const QString file = SafeFileName(
        QStringLiteral("%1_%2_%3").arg(settings.host).arg(settings.port).arg(settings.prefix));
    return QDir(folder).filePath(file + QStringLiteral(".spool"));
}

QString DerivedClientId(const QString& spoolPath) {
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(spoolPath).toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("tvx-%1-%2")
        .arg(TopicLevel(QSysInfo::machineHostName()), QString::fromLatin1(hash.left(4).toHex()));
}

MqttSettings MqttSettingsFrom(const TvxOptions& options) {
    MqttSettings settings;
    settings.host = options.mqttHost;
    settings.port = options.mqttPort;
    settings.prefix = options.topic;
    settings.spoolFolder = options.spoolFolder;
    settings.spoolMaxBytes = options.spoolMaxMegabytes * 1024 * 1024;
    settings.caFile = options.mqttCaFile;
    settings.user = options.mqttUser;
    settings.passwordFile = options.mqttPasswordFile;
    settings.clientId = options.mqttClientId;
    return settings;
}

// The spool and the broker connection, in the sink's thread.
class MqttSink::Delivery : public QObject {
  public:
    struct FirstAnswer {
        bool connected = false;
        bool final = false;  // a refusal that waiting cannot mend
        QString why;
    };

    // The timers are children, so that they move to the sink's thread with it.
    Delivery(Reporter reporter, MqttSink* sink)
        : reporter_(std::move(reporter)),
          sink_(sink),
          commitTimer_(this),
          dropReport_(this),
          refusedRetry_(this) {}

    bool Open(const MqttSettings& settings, const std::vector<QString>& names, SinkFigures* figures,
              QString& error);
    // Ends the start: what the broker said so far. An outage is said from here on.
    FirstAnswer EndStart();
    void Take(std::vector<Handed>& handed);
    void Shut(bool deliver);

  private:
    struct Sensor {
        QJsonObject status;
        QJsonObject margin;           // the trend, said in the status as "margin"
        long long statusDropped = 0;  // the "dropped" its last status said
    };
    struct InFlight {
        long long id;
        QString sensor;
        long long bytes;
    };

    const QString& FrameTopic(const QString& name);
    QString Topic(const QString& name, const char* leaf) const;
    QString RecorderTopic() const;
    void Add(const QString& name);
    void Remove(const QString& name);
    void Frame(const QString& name, const StampedFrame& frame);
    void Status(const QString& name, bool online, const QString& text);
    void PublishStatus(const QString& name, Sensor& sensor);
    void PublishRecorderStatus(const QString& offlineBecause = {});
    void OnConnection(bool up);
    void OnClientState();
    void Send();
    void Acknowledged(int mid);
    void Refused(int mid, const QString& why);
    void OfferAgain();
    void ScheduleCommit();
    void Commit();
    void ReportDropping();
    void UpdateFigures();
    bool Delivered();

    Reporter reporter_;
    MqttSink* sink_;
    MqttSettings settings_;
    QString broker_;    // HOST:PORT
    QString clientId_;  // of the one connection
    FrameSpool spool_;
    std::unique_ptr<MqttClient> client_;
    SinkFigures* figures_ = nullptr;
    QTimer commitTimer_;
    bool spoolFailing_ = false;
    QTimer dropReport_;
    QTimer refusedRetry_;
    QString refusedWhy_;  // while the broker refuses frames: why, as said
    QElapsedTimer sinceRefusal_;
    QStringList dropping_;  // sensors that lost frames to the bound in this run
    bool dropReported_ = false;
    std::map<QString, Sensor> sensors_;
    std::unordered_map<QString, QString> frameTopics_;  // also of sensors no longer recorded
    std::unordered_map<int, InFlight> inFlight_;
    long long sentUpTo_ = 0;  // the last spool row handed to this connection
    bool starting_ = true;
    bool answered_ = false;
    bool connectedBefore_ = false;
    QString saidWhy_;  // the broker's trouble as last said, so that a retry does not say it again
};

bool MqttSink::Delivery::Open(const MqttSettings& settings, const std::vector<QString>& names,
                              SinkFigures* figures, QString& error) {
    settings_ = settings;
    figures_ = figures;
    broker_ = QStringLiteral("%1:%2").arg(settings.host).arg(settings.port);
    MqttCredentials credentials{settings.caFile, settings.user, QString()};
    if (!settings.caFile.isEmpty() && !QFile(settings.caFile).open(QIODevice::ReadOnly)) {
        error = QStringLiteral("CA file \"%1\" cannot be read").arg(settings.caFile);
        return false;
    }
    if (!settings.passwordFile.isEmpty()) {
        QFile file(settings.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("password file \"%1\" cannot be read: %2")
                        .arg(settings.passwordFile, file.errorString());
            return false;
        }
        credentials.password = QString::fromUtf8(file.readLine()).remove(QLatin1Char('\n'));
        credentials.password.remove(QLatin1Char('\r'));
    }
    const QString path = SpoolPath(settings);
    QString notice;
    const bool opened = spool_.Open(path, settings.spoolMaxBytes, error, notice);
    if (!notice.isEmpty()) reporter_.Say(notice);
    if (!opened) return false;
    clientId_ = settings.clientId.isEmpty() ? DerivedClientId(path) : settings.clientId;
    commitTimer_.setSingleShot(true);
    connect(&commitTimer_, &QTimer::timeout, this, [this] { Commit(); });
    dropReport_.setSingleShot(true);
    connect(&dropReport_, &QTimer::timeout, this, [this] { ReportDropping(); });
    for (const QString& name : names) sensors_[name];

    client_ = std::make_unique<MqttClient>(
        clientId_, settings.host, settings.port, RecorderTopic(),
        Payload({{"state", "offline"}, {"error", "the recorder ended unexpectedly"}}), credentials);
    connect(client_.get(), &MqttClient::connectedChanged, this,
            [this](bool up) { OnConnection(up); });
    connect(client_.get(), &MqttClient::acknowledged, this, [this](int mid) { Acknowledged(mid); });
    connect(client_.get(), &MqttClient::refused, this,
            [this](int mid, const QString& why) { Refused(mid, why); });
    refusedRetry_.setSingleShot(true);
    connect(&refusedRetry_, &QTimer::timeout, this, [this] { OfferAgain(); });
    connect(client_.get(), &MqttClient::stateChanged, this, [this] { OnClientState(); });
    client_->Start();
    UpdateFigures();
    return true;
}

MqttSink::Delivery::FirstAnswer MqttSink::Delivery::EndStart() {
    starting_ = false;
    FirstAnswer answer{client_->Connected(), client_->Settled() && client_->RetryCannotMend(),
                       client_->LastError()};
    if (answer.connected || answer.final) return answer;
    if (answer.why.isEmpty())
        answer.why =
            QStringLiteral("no answer within %1 s").arg(static_cast<int>(kFirstAnswerSeconds));
    saidWhy_ = client_->LastError();
    reporter_.Say(QStringLiteral("broker %1: %2; recording to the spool until the broker answers")
                      .arg(broker_, answer.why));
    return answer;
}

QString MqttSink::Delivery::Topic(const QString& name, const char* leaf) const {
    return QStringLiteral("%1/%2/%3").arg(settings_.prefix, TopicLevel(name), QLatin1String(leaf));
}

// Beside the sensors' topics, at a level no sensor's topic has.
QString MqttSink::Delivery::RecorderTopic() const {
    return QStringLiteral("%1/_recorder/%2/status").arg(settings_.prefix, TopicLevel(clientId_));
}

const QString& MqttSink::Delivery::FrameTopic(const QString& name) {
    auto it = frameTopics_.find(name);
    if (it == frameTopics_.end()) it = frameTopics_.emplace(name, Topic(name, "frame")).first;
    return it->second;
}

void MqttSink::Delivery::Take(std::vector<Handed>& handed) {
    for (Handed& item : handed) {
        switch (item.kind) {
            case Handed::Add:
                Add(item.name);
                break;
            case Handed::Remove:
                Remove(item.name);
                break;
            case Handed::Frame:
                Frame(item.name, item.frame);
                break;
            case Handed::Status:
                Status(item.name, item.online, item.text);
                break;
            case Handed::Alarm:
                if (sensors_.count(item.name) != 0)
                    client_->Publish(Topic(item.name, "alarm"), Payload(item.json), 1, true);
                break;
            case Handed::Trend:
                if (const auto it = sensors_.find(item.name); it != sensors_.end()) {
                    it->second.margin = item.json;
                    PublishStatus(item.name, it->second);
                }
                break;
        }
    }
}

void MqttSink::Delivery::Add(const QString& name) {
    sensors_[name];
    PublishRecorderStatus();
}

void MqttSink::Delivery::Remove(const QString& name) {
    const auto it = sensors_.find(name);
    if (it == sensors_.end()) return;
    Status(name, false, QStringLiteral("removed from the recording"));
    sensors_.erase(it);
    PublishRecorderStatus();
}

void MqttSink::Delivery::Frame(const QString& name, const StampedFrame& frame) {
    if (sensors_.count(name) == 0) return;
    const long long seq = spool_.NextSeq(name);
    spool_.Append(name, JsonLine(frame, seq).toUtf8());
    ScheduleCommit();
}

void MqttSink::Delivery::Status(const QString& name, bool online, const QString& text) {
    const auto it = sensors_.find(name);
    if (it == sensors_.end()) return;
    it->second.status = online ? QJsonObject{{"state", "online"}, {"version", text}}
                               : QJsonObject{{"state", "offline"}, {"error", text}};
    it->second.status.insert(QStringLiteral("recorder"), clientId_);
    PublishStatus(name, it->second);
}

void MqttSink::Delivery::PublishStatus(const QString& name, Sensor& sensor) {
    if (sensor.status.isEmpty()) return;
    QJsonObject status = sensor.status;
    sensor.statusDropped = spool_.Dropped(name);
    if (sensor.statusDropped > 0) status.insert(QStringLiteral("dropped"), sensor.statusDropped);
    if (!sensor.margin.isEmpty()) status.insert(QStringLiteral("margin"), sensor.margin);
    client_->Publish(Topic(name, "status"), Payload(status), 1, true);
}

void MqttSink::Delivery::PublishRecorderStatus(const QString& offlineBecause) {
    QJsonObject status;
    if (offlineBecause.isEmpty()) {
        QJsonArray names;
        for (const auto& entry : sensors_) names.append(entry.first);
        status = {{"state", "online"}, {"sensors", names}};
    } else {
        status = {{"state", "offline"}, {"error", offlineBecause}};
    }
    client_->Publish(RecorderTopic(), Payload(status), 1, true);
}

void MqttSink::Delivery::OnClientState() {
    if (!answered_ && client_->Settled()) {
        answered_ = true;
        QMetaObject::invokeMethod(sink_, &MqttSink::answered, Qt::QueuedConnection);
    }
    // A loss is said when it happens, and the broker that then stays away not again; a refusal
    // that waiting cannot mend (a changed password, a new certificate) is said, once per reason.
    if (starting_ || client_->Connected() || !client_->RetryCannotMend()) return;
    const QString why = client_->LastError();
    if (why.isEmpty() || why == saidWhy_) return;
    saidWhy_ = why;
    reporter_.Say(QStringLiteral("broker %1: %2; frames are kept in the spool until it answers")
                      .arg(broker_, why));
}

void MqttSink::Delivery::OnConnection(bool up) {
    // What the lost connection had not acknowledged is sent again, from the oldest.
    inFlight_.clear();
    sentUpTo_ = 0;
    refusedRetry_.stop();
    UpdateFigures();
    QMetaObject::invokeMethod(
        sink_,
        [sink = sink_, up] {
            sink->brokerConnected_ = up;
            emit sink->brokerChanged(up);
        },
        Qt::QueuedConnection);
    if (!up) {
        saidWhy_ = client_->LastError();
        reporter_.Say(QStringLiteral("broker %1 lost (%2): frames are kept in the spool")
                          .arg(broker_, saidWhy_));
        return;
    }
    const long long waiting = spool_.Frames();
    if (connectedBefore_ || !saidWhy_.isEmpty())
        reporter_.Say(QStringLiteral("broker %1 back: sending %2 spooled frames")
                          .arg(broker_, QString::number(waiting)));
    else if (waiting > 0)
        reporter_.Say(QStringLiteral("sending %1 frames an earlier run left in the spool")
                          .arg(QString::number(waiting)));
    connectedBefore_ = true;
    saidWhy_.clear();
    PublishRecorderStatus();
    for (auto& [name, sensor] : sensors_) PublishStatus(name, sensor);
    Send();
}

void MqttSink::Delivery::Send() {
    if (!client_->Connected() || refusedRetry_.isActive()) return;
    const int room = kWindow - static_cast<int>(inFlight_.size());
    for (FrameSpool::Row& row : spool_.After(sentUpTo_, room)) {
        const int mid = client_->Publish(FrameTopic(row.sensor), row.payload, 1, false, false);
        if (mid < 0) break;
        inFlight_[mid] = {row.id, std::move(row.sensor), row.payload.size()};
        sentUpTo_ = row.id;
    }
    client_->Flush();
}

void MqttSink::Delivery::Acknowledged(int mid) {
    const auto frame = inFlight_.find(mid);
    if (frame == inFlight_.end()) return;  // a status
    spool_.Acknowledge(frame->second.sensor, frame->second.id, frame->second.bytes);
    inFlight_.erase(frame);
    // Said once the broker has taken frames for two rounds without refusing one: a broker that
    // refuses one sensor's topic and takes the others' is not said to take them again each time.
    if (!refusedWhy_.isEmpty() && sinceRefusal_.hasExpired(2 * kRefusedRetryMilliseconds)) {
        reporter_.Say(QStringLiteral("broker %1 takes the frames again").arg(broker_));
        refusedWhy_.clear();
    }
    ScheduleCommit();
    // Refilled by half a window at a time: one spool read per thousand frames.
    if (std::ssize(inFlight_) <= kWindow / 2) Send();
}

// A frame the broker refused stays in the spool; sending pauses, and the frames not taken are
// offered again from the oldest, so that none is lost and none overtakes another.
void MqttSink::Delivery::Refused(int mid, const QString& why) {
    const auto frame = inFlight_.find(mid);
    if (frame == inFlight_.end()) return;  // a status
    if (refusedWhy_ != why)
        reporter_.Say(QStringLiteral("broker %1 refuses frames on %2: %3; they wait in the spool "
                                     "and are offered again every %4 s")
                          .arg(broker_, FrameTopic(frame->second.sensor), why)
                          .arg(kRefusedRetryMilliseconds / 1000));
    refusedWhy_ = why;
    sinceRefusal_.start();
    inFlight_.erase(frame);
    if (!refusedRetry_.isActive()) refusedRetry_.start(kRefusedRetryMilliseconds);
}

void MqttSink::Delivery::OfferAgain() {
    // What is still in flight is answered first: taken, or refused again.
    if (!inFlight_.empty()) return refusedRetry_.start(kRefusedRetryMilliseconds / 10);
    sentUpTo_ = 0;
    Send();
}

void MqttSink::Delivery::ScheduleCommit() {
    if (!commitTimer_.isActive()) commitTimer_.start(kCommitMilliseconds);
}

void MqttSink::Delivery::Commit() {
    QString error;
    if (!spool_.Commit(error)) {
        if (!spoolFailing_)
            reporter_.Say(QStringLiteral("%1; frames are held in memory (at most %2) and "
                                         "written when it can be")
                              .arg(error, QString::number(FrameSpool::kHeldInMemory)));
        spoolFailing_ = true;
        commitTimer_.start(kRetryCommitMilliseconds);
    } else if (spoolFailing_) {
        reporter_.Say(QStringLiteral("spool \"%1\" is written again").arg(spool_.Path()));
        spoolFailing_ = false;
    }
    for (const QString& name : spool_.TakeNewlyDropping()) dropping_ << name;
    // Said once a run: the sensors that begin to drop within a second of the first are named
    // together; the counts go on in the status and the figures.
    if (!dropping_.isEmpty() && !dropReported_ && !dropReport_.isActive()) dropReport_.start(1000);
    for (auto& [name, sensor] : sensors_)
        if (sensor.statusDropped != spool_.Dropped(name)) PublishStatus(name, sensor);
    Send();
    UpdateFigures();
}

void MqttSink::Delivery::ReportDropping() {
    if (dropping_.isEmpty() || dropReported_) return;
    reporter_.Say(
        QStringLiteral("spool \"%1\" is at its bound of %2 MB: the oldest frames are dropped (%3)")
            .arg(spool_.Path(), QString::number(settings_.spoolMaxBytes / (1024 * 1024)),
                 dropping_.join(QStringLiteral(", "))));
    dropReported_ = true;
}

void MqttSink::Delivery::UpdateFigures() {
    if (figures_ == nullptr) return;
    figures_->connected = client_ != nullptr && client_->Connected();
    figures_->spoolFrames = spool_.Frames();
    figures_->spoolBytes = spool_.DiskBytes();
    figures_->droppedFrames = spool_.Dropped();
}

bool MqttSink::Delivery::Delivered() {
    if (!client_->Connected()) return true;  // nothing more to be done now
    return client_->Unacknowledged() == 0 && spool_.After(sentUpTo_, 1).empty();
}

void MqttSink::Delivery::Shut(bool deliver) {
    if (deliver) {
        for (auto& entry : sensors_) Status(entry.first, false, QStringLiteral("recording ended"));
        PublishRecorderStatus(QStringLiteral("recording ended"));
        Commit();
        WaitUntil([this] { return Delivered(); }, kCloseSeconds, WaitMode::ServeUserInput,
                  {WakeSource(client_.get(), &MqttClient::stateChanged)});
    }
    if (client_ != nullptr) client_->Disconnect();
    commitTimer_.stop();
    dropReport_.stop();
    refusedRetry_.stop();
    if (deliver) ReportDropping();
    QString error;
    if (!spool_.Commit(error) && spool_.Gathered() > 0)
        reporter_.Say(QStringLiteral("%1: %2 frames held in memory are lost")
                          .arg(error, QString::number(spool_.Gathered())));
    if (deliver && spool_.Frames() > spool_.Gathered())
        reporter_.Say(
            QStringLiteral("%1 frames are kept in spool \"%2\" for the next start")
                .arg(QString::number(spool_.Frames() - spool_.Gathered()), spool_.Path()));
    UpdateFigures();
    client_.reset();
    spool_.Close();
}

MqttSink::MqttSink(Reporter reporter) : reporter_(std::move(reporter)) {
    thread_.setObjectName(QStringLiteral("mqtt"));
}

MqttSink::~MqttSink() {
    if (delivery_ != nullptr && !closed_) Shut(false);
}

void MqttSink::SetMetrics(FleetMetrics* metrics) {
    metrics_ = metrics;
}

bool MqttSink::Open(const MqttSettings& settings, const std::vector<NamedSensor>& sensors,
                    QString& error) {
    for (const NamedSensor& sensor : sensors) names_.push_back(sensor.name);
    SinkFigures* figures = nullptr;
    if (metrics_ != nullptr) {
        figures =
            &metrics_->Sink(QStringLiteral("mqtt://%1:%2").arg(settings.host).arg(settings.port));
        figures->mqtt = true;
    }
    delivery_ = new Delivery(reporter_, this);
    delivery_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, delivery_, &QObject::deleteLater);
    thread_.start();
    bool opened = false;
    QMetaObject::invokeMethod(
        delivery_, [&] { opened = delivery_->Open(settings, names_, figures, error); },
        Qt::BlockingQueuedConnection);
    bool answered = false;
    if (opened) {
        const QMetaObject::Connection heard =
            connect(this, &MqttSink::answered, this, [&answered] { answered = true; });
        WaitUntil([&answered] { return answered; }, kFirstAnswerSeconds, WaitMode::ServeUserInput,
                  {WakeSource(this, &MqttSink::answered)});
        disconnect(heard);
        Delivery::FirstAnswer answer;
        QMetaObject::invokeMethod(
            delivery_, [&] { answer = delivery_->EndStart(); }, Qt::BlockingQueuedConnection);
        brokerConnected_ = answer.connected;
        if (answer.final) {
            error = QStringLiteral("broker %1:%2: %3")
                        .arg(settings.host)
                        .arg(settings.port)
                        .arg(answer.why);
            opened = false;
        }
    }
    if (!opened) Shut(false);
    return opened;
}

void MqttSink::Hand(Handed handed) {
    if (delivery_ == nullptr || closed_) return;
    handOff_.Hand(delivery_, std::move(handed),
                  [this](std::vector<Handed>& taken) { delivery_->Take(taken); });
}

bool MqttSink::AddSensor(const NamedSensor& sensor, QString& error) {
    if (std::find(names_.begin(), names_.end(), sensor.name) != names_.end()) {
        error = QStringLiteral("%1: recorded already").arg(sensor.name);
        return false;
    }
    names_.push_back(sensor.name);
    Hand({Handed::Add, sensor.name, {}, false, {}, {}});
    return true;
}

void MqttSink::RemoveSensor(const QString& name) {
    const auto it = std::find(names_.begin(), names_.end(), name);
    if (it == names_.end()) return;
    names_.erase(it);
    Hand({Handed::Remove, name, {}, false, {}, {}});
}

bool MqttSink::Frame(const QString& name, const StampedFrame& frame, QString&) {
    Hand({Handed::Frame, name, frame, false, {}, {}});
    return true;
}

void MqttSink::Status(const QString& name, bool online, const QString& text) {
    Hand({Handed::Status, name, {}, online, text, {}});
}

void MqttSink::MarginAlarm(const QString& name, const QJsonObject& state) {
    Hand({Handed::Alarm, name, {}, false, {}, state});
}

void MqttSink::MarginTrend(const QString& name, const QJsonObject& trend) {
    Hand({Handed::Trend, name, {}, false, {}, trend});
}

void MqttSink::Shut(bool deliver) {
    if (delivery_ == nullptr || closed_) return;
    closed_ = true;
    // Whatever was handed over is taken first: the invocation queued behind it runs after it.
    QMetaObject::invokeMethod(
        delivery_, [this, deliver] { delivery_->Shut(deliver); }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delivery_ = nullptr;
}

void MqttSink::Close() {
    Shut(true);
}

}  // namespace tvx::cli
