#pragma once

#include <QFile>
#include <QString>
#include <map>
#include <memory>

#include "record_sink.h"

namespace tvx::cli {

// One RFC 4180 file per sensor, FOLDER/NAME.csv: a header line, then one line per frame, each
// handed to the system at once so that a killed recorder loses no completed line.
class CsvSink : public RecordSink {
  public:
    // Makes the folder when needed; false with a one-line reason when it cannot be written.
    bool Open(const QString& folder, QString& error);
    bool AddSensor(const NamedSensor& sensor, QString& error) override;
    void RemoveSensor(const QString& name) override;
    bool Frame(const QString& name, const StampedFrame& frame, QString& error) override;
    void Status(const QString&, bool, const QString&) override {}
    void Close() override;

  private:
    QString folder_;
    // Opened with the sensor's first frame, when the value names (X/Y or s/i) are known.
    std::map<QString, std::unique_ptr<QFile>> files_;
};

// tvx-record-YYYYMMDD-HHMMSS in the current folder.
QString DefaultRecordFolder();

}  // namespace tvx::cli
