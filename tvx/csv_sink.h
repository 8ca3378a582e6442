#pragma once

#include <QFile>
#include <QString>
#include <map>
#include <memory>

#include "record_sink.h"
#include "reporter.h"

namespace tvx::cli {

// One RFC 4180 file per sensor, FOLDER/NAME.csv: a header line, then one line per frame, each
// handed to the system at once so that a killed recorder loses no completed line. A file is only
// ever continued under its own header: where NAME.csv holds other columns (the other calculation
// mode, or a recording from before the margin was recorded), or the sensor's calculation mode
// changes while it is recorded, the lines go on in NAME-2.csv (NAME-3.csv ...), said in one line.
class CsvSink : public RecordSink {
  public:
    explicit CsvSink(Reporter reporter = Reporter()) : reporter_(std::move(reporter)) {}

    // Makes the folder when needed; false with a one-line reason when it cannot be written.
    bool Open(const QString& folder, QString& error);
    bool AddSensor(const NamedSensor& sensor, QString& error) override;
    void RemoveSensor(const QString& name) override;
    bool Frame(const QString& name, const StampedFrame& frame, QString& error) override;
    void Status(const QString&, bool, const QString&) override {}
    void Close() override;

  private:
    struct File {
        std::unique_ptr<QFile> file;
        bool siMode = false;  // the columns its header names
    };
    // The first of NAME.csv, NAME-2.csv ... that is new, empty or begun with this header.
    bool OpenFor(const QString& name, bool siMode, File& open, QString& error);

    Reporter reporter_;
    QString folder_;
    // Opened with the sensor's first frame, when the value names (X/Y or s/i) are known.
    std::map<QString, File> files_;
};

// tvx-record-YYYYMMDD-HHMMSS in the current folder.
QString DefaultRecordFolder();

}  // namespace tvx::cli
