#pragma once

#include <QString>

#include "parameter_file.h"

namespace tvx::cli {

// Where a shown parameter set came from.
struct SetOrigin {
    QString file;    // a parameter file, or empty for a sensor
    QString sensor;  // the sensor's name
    QString url;
    bool eeprom = false;

    // "backup/line1.dat", or "line1 (tcp://10.0.0.21:5000) RAM".
    QString Describe() const;
};

// The set as the scope names it: the mode words with the panel's labels and ring texts, the teach
// table with the column names of its calculation mode, each row's group and a '*' on the rows
// MAXCOL-No. makes active, then one "warning: ..." line for each thing the scope would change
// or warn about. Lines end with '\n'.
QString ParameterSetText(const ParameterImage& image, const SetOrigin& origin);

// The same as JSON, keys in a fixed order, one teach row a line, for scripts and for version
// control (the keys are listed in the README).
QString ParameterSetJson(const ParameterImage& image, const SetOrigin& origin);

// The pieces the JSON reports of show, diff and check share: a string literal escaped as JSON
// wants it, and where a set came from, {"file": ...} or {"sensor": ..., "url": ..., "memory": ...}.
QString JsonString(const QString& text);
QString SourceJson(const SetOrigin& origin);

}  // namespace tvx::cli
