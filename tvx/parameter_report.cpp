#include "parameter_report.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>

#include "frames.h"
#include "parameter_names.h"

namespace tvx::cli {

namespace {

std::uint16_t NamesOf(const ParameterImage& image) {
    return image[10] == 1 ? 1 : 0;  // a calculation mode other than 1 is named as mode 0
}

std::uint32_t ActiveRows(const ParameterImage& image) {
    return ParameterSetOf(image).maxcolno;
}

}  // namespace

QString JsonString(const QString& text) {
    const QByteArray json =
        QJsonDocument(QJsonArray{QJsonValue(text)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString SourceJson(const SetOrigin& origin) {
    if (!origin.file.isEmpty())
        return QStringLiteral("{\"file\": %1}").arg(JsonString(origin.file));
    return QStringLiteral("{\"sensor\": %1, \"url\": %2, \"memory\": \"%3\"}")
        .arg(JsonString(origin.sensor), JsonString(origin.url), origin.eeprom ? "EEPROM" : "RAM");
}

QString SetOrigin::Describe() const {
    if (!file.isEmpty()) return file;
    const QString memory = QString::fromLatin1(eeprom ? "EEPROM" : "RAM");
    if (sensor == url) return url + QLatin1Char(' ') + memory;
    return QStringLiteral("%1 (%2) %3").arg(sensor, url, memory);
}

QString ParameterSetText(const ParameterImage& image, const SetOrigin& origin) {
    QString text = QStringLiteral("parameter set: %1\n").arg(origin.Describe());
    const auto& names = ModeWordNames();
    for (int word = 0; word < anzdata; ++word) {
        text += QStringLiteral("%1 %2\n")
                    .arg(QString::fromLatin1(names[static_cast<std::size_t>(word)].label), -13)
                    .arg(ModeWordValueText(word, image[static_cast<std::size_t>(word)]));
    }
    const std::uint32_t active = ActiveRows(image);
    const QString activeRows =
        active == 0 ? QStringLiteral("none") : QStringLiteral("rows 0 ... %1").arg(active - 1);
    text += QStringLiteral("\nCOLOR TEACH TABLE (* active: %1, MAXCOL-No. %2)\n")
                .arg(activeRows)
                .arg(active);
    text += QStringLiteral("row  ");
    for (const char* column : TeachColumnNames(NamesOf(image)))
        text += QStringLiteral("%1").arg(QString::fromLatin1(column), 7);
    text += QStringLiteral("  group\n");
    for (int row = 0; row < kTeachRows; ++row) {
        text += QStringLiteral("%1 %2 ").arg(row, 3).arg(
            static_cast<std::uint32_t>(row) < active ? '*' : ' ');
        for (int column = 0; column <= kTeachColumns; ++column)
            text += QStringLiteral("%1").arg(
                image[static_cast<std::size_t>(TeachRowWord(row, column))], 7);
        text += QLatin1Char('\n');
    }
    const std::vector<QString> findings = FindPanelAdjustments(image).Lines();
    if (!findings.empty()) text += QLatin1Char('\n');
    for (const QString& line : findings) text += QStringLiteral("warning: %1\n").arg(line);
    return text;
}

QString ParameterSetJson(const ParameterImage& image, const SetOrigin& origin) {
    QString json = QStringLiteral("{\n  \"source\": %1,\n").arg(SourceJson(origin));
    json += QStringLiteral("  \"modes\": {\n");
    const auto& names = ModeWordNames();
    for (int word = 0; word < anzdata; ++word) {
        const ModeWordName& name = names[static_cast<std::size_t>(word)];
        const std::uint16_t value = image[static_cast<std::size_t>(word)];
        json += QStringLiteral("    \"%1\": {\"label\": %2, \"value\": %3")
                    .arg(QLatin1String(name.key), JsonString(QString::fromLatin1(name.label)))
                    .arg(value);
        if (!name.items.empty())
            json +=
                QStringLiteral(", \"text\": %1").arg(JsonString(ModeWordValueText(word, value)));
        json += word + 1 < anzdata ? QStringLiteral("},\n") : QStringLiteral("}\n");
    }
    const std::uint32_t active = ActiveRows(image);
    QStringList columns;
    for (const char* column : TeachColumnNames(NamesOf(image)))
        columns << JsonString(QString::fromLatin1(column));
    json += QStringLiteral("  },\n  \"teach\": {\n    \"columns\": [%1],\n")
                .arg(columns.join(QStringLiteral(", ")));
    json += QStringLiteral("    \"active_rows\": %1,\n    \"rows\": [\n").arg(active);
    for (int row = 0; row < kTeachRows; ++row) {
        QStringList values;
        for (int column = 0; column < kTeachColumns; ++column)
            values << QString::number(image[static_cast<std::size_t>(TeachRowWord(row, column))]);
        json += QStringLiteral(
                    "      {\"row\": %1, \"active\": %2, \"values\": [%3], \"group\": %4}%5\n")
                    .arg(row)
                    .arg(static_cast<std::uint32_t>(row) < active ? "true" : "false")
                    .arg(values.join(QStringLiteral(", ")))
                    .arg(image[static_cast<std::size_t>(TeachRowWord(row, kTeachColumns))])
                    .arg(row + 1 < kTeachRows ? "," : "");
    }
    const PanelFindings findings = FindPanelAdjustments(image);
    QStringList adjustments, warnings;
    for (const QString& line : findings.adjustments) adjustments << JsonString(line);
    for (ModeWarning warning : findings.warnings)
        warnings << QStringLiteral("{\"id\": \"%1\", \"text\": %2}")
                        .arg(QLatin1String(ModeWarningId(warning)),
                             JsonString(ModeWarningLine(warning)));
    json += QStringLiteral("    ]\n  },\n  \"adjustments\": [%1],\n  \"warnings\": [%2]\n}\n")
                .arg(adjustments.join(QStringLiteral(", ")), warnings.join(QStringLiteral(", ")));
    return json;
}

}  // namespace tvx::cli
