#pragma once

#include <QFile>
#include <QString>
#include <memory>
#include <vector>

#include "frame_line.h"
#include "tvx_options.h"

namespace tvx::cli {

// One RFC 4180 file per sensor, FOLDER/NAME.csv: a header line, then one line per frame, each
// handed to the system at once so that a killed recorder loses no completed line.
class CsvSink {
  public:
    // Makes the folder when needed; false with a one-line reason when it cannot be written.
    bool Open(const QString& folder, const std::vector<SensorAddress>& sensors, QString& error);
    // False with a reason when the line could not be written.
    bool Write(std::size_t sensor, const StampedFrame& frame, QString& error);
    void Close();

  private:
    QString folder_;
    std::vector<SensorAddress> sensors_;
    std::vector<std::unique_ptr<QFile>> files_;
};

// tvx-record-YYYYMMDD-HHMMSS in the current folder.
QString DefaultRecordFolder();

}  // namespace tvx::cli
