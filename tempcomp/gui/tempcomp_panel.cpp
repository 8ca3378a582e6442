#include "tempcomp_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "panel_parts.h"

namespace tvx::tempcomp {

namespace {

const char* const kChannelNames[3] = {"RED", "GREEN", "BLUE"};
const QColor kChannelColours[3] = {QColor(0xE0, 0x30, 0x30), QColor(0x30, 0xC0, 0x40),
                                   QColor(0x30, 0x60, 0xE0)};
const char* const kPowerNames[5] = {"T^4", "T^3", "T^2", "T", "CONST"};
// Start values: flat curves at the set value, so that every factor starts at 1024.
constexpr double kStartConstant = 1000.0;
constexpr int kStartSetValue = 1000;
// A chart shows 101 points per screen.
constexpr int kPointsPerScreen = 101;

QPushButton* Button(const char* text, QWidget* parent) {
    return new QPushButton(QString::fromLatin1(text), parent);
}

}  // namespace

TempCompPanel::TempCompPanel(const QString& title) : Panel(title) {
    logo = new QLabel(this);
    logo->setPixmap(BrandLogo());
    logoText = new QLabel(this);

    buttonSendCF = Button("SEND", this);
    buttonGet = Button("GET", this);
    buttonSaveEquation = Button("SAVE EQUATION", this);
    buttonGetEquation = Button("GET EQUATION", this);
    buttonCalcCurves = Button("CALCULATE CURVES", this);
    buttonShowRed = Button("RED", this);
    buttonShowGreen = Button("GREEN", this);
    buttonShowBlue = Button("BLUE", this);
    buttonCalcCalib = Button("CALCULATE FACTORS", this);
    buttonShowCfRed = Button("RED", this);
    buttonShowCfGreen = Button("GREEN", this);
    buttonShowCfBlue = Button("BLUE", this);
    buttonConnect = Button("CONNECT", this);
    SetButtonColour(buttonSendCF, kColourLightGrey);

    editTemp = new QSpinBox(this);
    editTemp->setRange(0, kSteps - 1);
    for (auto*& d : dispCurve) d = MakeDisplay(this, 90);
    dispSaveResult = MakeDisplay(this, 120);
    dispStatus = MakeDisplay(this, 300);

    auto* coefficients = new QGroupBox(QStringLiteral("COEFFICIENTS"), this);
    auto* grid = new QGridLayout(coefficients);
    for (int p = 0; p < 5; ++p)
        grid->addWidget(new QLabel(QString::fromLatin1(kPowerNames[p]), coefficients), 0, p + 1);
    grid->addWidget(new QLabel(QStringLiteral("SET VALUE"), coefficients), 0, 7);
    for (int c = 0; c < 3; ++c) {
        grid->addWidget(new QLabel(QString::fromLatin1(kChannelNames[c]), coefficients), c + 1, 0);
        for (int p = 0; p < 5; ++p) {
            auto* box = new CoefficientBox(coefficients);
            box->setValue(p == 4 ? kStartConstant : 0.0);
            // A box sits under its power and beside its channel: "RED T^4".
            box->setAccessibleName(QStringLiteral("%1 %2").arg(
                QString::fromLatin1(kChannelNames[c]), QString::fromLatin1(kPowerNames[p])));
            editCoefficient[static_cast<std::size_t>(5 * c + p)] = box;
            grid->addWidget(box, c + 1, p + 1);
        }
        auto* set = new QSpinBox(coefficients);
        set->setRange(0, 65535);
        set->setValue(kStartSetValue);
        set->setAccessibleName(
            QStringLiteral("%1 SET VALUE").arg(QString::fromLatin1(kChannelNames[c])));
        editSetValue[static_cast<std::size_t>(c)] = set;
        grid->addWidget(set, c + 1, 7);
    }

    auto makeCharts = [this](std::array<StripChart*, 4>& charts) {
        for (int c = 0; c < 3; ++c)
            charts[static_cast<std::size_t>(c)] =
                new StripChart({kChannelColours[c]}, kPointsPerScreen, this);
        charts[3] = new StripChart({kChannelColours[0], kChannelColours[1], kChannelColours[2]},
                                   kPointsPerScreen, this);
        for (StripChart* chart : charts) chart->setMinimumSize(360, 220);
    };
    makeCharts(chartCurve);
    makeCharts(chartCf);

    auto chartColumn = [this](const QString& title, std::array<StripChart*, 4>& charts,
                              QPushButton* calc, QPushButton* r, QPushButton* g, QPushButton* b) {
        auto* group = new QGroupBox(title, this);
        auto* column = new QVBoxLayout(group);
        for (StripChart* chart : charts) column->addWidget(chart);
        auto* buttons = new QHBoxLayout;
        for (QPushButton* button : {calc, r, g, b}) buttons->addWidget(button);
        column->addLayout(buttons);
        return group;
    };
    auto* charts = new QHBoxLayout;
    charts->addWidget(chartColumn(QStringLiteral("CURVES"), chartCurve, buttonCalcCurves,
                                  buttonShowRed, buttonShowGreen, buttonShowBlue));
    charts->addWidget(chartColumn(QStringLiteral("CORRECTION FACTORS"), chartCf, buttonCalcCalib,
                                  buttonShowCfRed, buttonShowCfGreen, buttonShowCfBlue));
    ShowOnly(chartCurve, 3);
    ShowOnly(chartCf, 3);

    auto* step = new QHBoxLayout;
    step->addWidget(LabelFor(editTemp, QStringLiteral("TEMPERATURE STEP")));
    step->addWidget(editTemp);
    for (int c = 0; c < 3; ++c) {
        step->addWidget(LabelFor(dispCurve[static_cast<std::size_t>(c)],
                                 QString::fromLatin1(kChannelNames[c])));
        step->addWidget(dispCurve[static_cast<std::size_t>(c)]);
    }
    step->addStretch();

    auto* transfer = new QHBoxLayout;
    for (QPushButton* button :
         {buttonSendCF, buttonGet, buttonSaveEquation, buttonGetEquation, buttonConnect})
        transfer->addWidget(button);
    transfer->addWidget(LabelFor(dispSaveResult, QStringLiteral("SAVE")));
    transfer->addWidget(dispSaveResult);
    transfer->addWidget(LabelFor(dispStatus, QStringLiteral("STATUS")));
    transfer->addWidget(dispStatus, 1);

    auto* head = new QHBoxLayout;
    head->addWidget(logo);
    head->addWidget(logoText, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(coefficients);
    layout->addLayout(charts, 1);
    layout->addLayout(step);
    layout->addLayout(transfer);
    stateLine = new StateLine(this);
    layout->addWidget(stateLine);
}

Coefficients TempCompPanel::CoefficientBoxes() const {
    Coefficients values{};
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = editCoefficient[i]->value();
    return values;
}

QList<QWidget*> TempCompPanel::CoefficientBoxList() const {
    return {editCoefficient.begin(), editCoefficient.end()};
}

QList<QWidget*> TempCompPanel::SetValueBoxList() const {
    return {editSetValue.begin(), editSetValue.end()};
}

void TempCompPanel::SetCoefficientBoxes(const Coefficients& values) {
    for (std::size_t i = 0; i < values.size(); ++i) editCoefficient[i]->setValue(values[i]);
}

SetValues TempCompPanel::SetValueBoxes() const {
    return {static_cast<std::uint16_t>(editSetValue[0]->value()),
            static_cast<std::uint16_t>(editSetValue[1]->value()),
            static_cast<std::uint16_t>(editSetValue[2]->value())};
}

void TempCompPanel::ShowOnly(std::array<StripChart*, 4>& charts, int shown) {
    // Hidden first: two charts shown at once, even for a moment, would grow the window by one.
    for (int i = 0; i < 4; ++i)
        if (i != shown) charts[static_cast<std::size_t>(i)]->hide();
    charts[static_cast<std::size_t>(shown)]->show();
}

void TempCompPanel::SetButtonColour(QPushButton* button, std::uint32_t rgb) {
    button->setStyleSheet(ButtonColourSheet(rgb, rgb == kColourRed));
    button->setProperty("tvxColour", rgb);
}

std::uint32_t TempCompPanel::ButtonColour(const QPushButton* button) {
    return button->property("tvxColour").toUInt();
}

}  // namespace tvx::tempcomp
