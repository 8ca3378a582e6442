#include "calib_panel.h"

#include <QColor>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "dimming.h"
#include "panel_parts.h"

namespace tvx::calib {

namespace {

// Start values of the boxes.
constexpr int kStartPower = 500;
constexpr int kStartSetValue = 3000;
constexpr int kStartMaxDelta = 1000;
// Raw and calibrated values are 12-bit.
constexpr int kBarTop = 4095;

const char* const kChannelNames[3] = {"RED", "GREEN", "BLUE"};
const QColor kChannelColours[3] = {QColor(0xE0, 0x30, 0x30), QColor(0x30, 0xC0, 0x40),
                                   QColor(0x30, 0x60, 0xE0)};

QSpinBox* MakeBox(int low, int high, int start, QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(low, high);
    box->setValue(start);
    box->setMinimumWidth(80);
    return box;
}

// Displays and bars of one kind (raw or calibrated), a column per channel, with the spread below.
// Both groups label their columns alike; a screen reader, which reads a control without its
// group, hears which kind it is from the name ("RED raw", "DELTA calibrated").
QGroupBox* ValueGroup(const QString& title, const QString& kind,
                      std::array<QLineEdit*, 3>& displays, std::array<QProgressBar*, 3>& bars,
                      QLineEdit*& spread, QWidget* parent) {
    auto* group = new QGroupBox(title, parent);
    auto* grid = new QGridLayout(group);
    for (int c = 0; c < 3; ++c) {
        const QString channel = QString::fromLatin1(kChannelNames[c]);
        bars[c] = MakeColourBar(kChannelColours[c], kBarTop, 140, group);
        bars[c]->setAccessibleName(QStringLiteral("%1 %2 bar").arg(channel, kind));
        displays[c] = MakeDisplay(group, 56);
        displays[c]->setAccessibleName(QStringLiteral("%1 %2").arg(channel, kind));
        grid->addWidget(bars[c], 0, c, Qt::AlignHCenter);
        grid->addWidget(displays[c], 1, c);
        grid->addWidget(LabelFor(displays[c], channel), 2, c, Qt::AlignHCenter);
    }
    spread = MakeDisplay(group, 56);
    spread->setAccessibleName(QStringLiteral("DELTA ") + kind);
    grid->addWidget(LabelFor(spread, QStringLiteral("DELTA")), 3, 0, 1, 2, Qt::AlignRight);
    grid->addWidget(spread, 3, 2);
    return group;
}

}  // namespace

CalibPanel::CalibPanel(const QString& title) : Panel(title) {
    logo = new QLabel(this);
    logo->setPixmap(BrandLogo());
    logoText = new QLabel(this);

    buttonSendPower = new QPushButton(QStringLiteral("SEND POWER"), this);
    buttonSendCF = new QPushButton(QStringLiteral("SEND CF"), this);
    buttonGetCF = new QPushButton(QStringLiteral("GET CF"), this);
    buttonGo = new QPushButton(QStringLiteral("GO"), this);
    buttonStop = new QPushButton(QStringLiteral("STOP"), this);
    buttonCalcCF = new QPushButton(QStringLiteral("CALCULATE CALIBRATION FACTORS"), this);
    buttonFinishCalib = new QPushButton(QStringLiteral("FINISH CALIBRATION"), this);
    buttonConnect = new QPushButton(QStringLiteral("CONNECT"), this);
    SetButtonColour(buttonCalcCF, kColourLightGrey);
    SetButtonColour(buttonFinishCalib, kColourLightGrey);

    editPower = MakeBox(0, 1000, kStartPower, this);
    editCFR = MakeBox(0, 65535, static_cast<int>(kCfScale), this);
    editCFG = MakeBox(0, 65535, static_cast<int>(kCfScale), this);
    editCFB = MakeBox(0, 65535, static_cast<int>(kCfScale), this);
    editSetValue = MakeBox(0, kBarTop, kStartSetValue, this);
    editMaxDelta = MakeBox(0, kBarTop, kStartMaxDelta, this);

    dispStatus = MakeDisplay(this, 300);
    dispComPort = MakeDisplay(this, 60);
    dispIpAddress = MakeDisplay(this, 160);
    labelComPort = new QLabel(QStringLiteral("COM-PORT"), this);
    labelIpAddress = new QLabel(QStringLiteral("IP ADDRESS"), this);
    labelComPort->setBuddy(dispComPort);
    labelIpAddress->setBuddy(dispIpAddress);

    // Layout: logo and link on top, the boxes and buttons on the left, values on the right.
    auto* top = new QHBoxLayout;
    top->addWidget(logo);
    top->addWidget(logoText, 1);
    top->addWidget(labelComPort);
    top->addWidget(dispComPort);
    top->addWidget(labelIpAddress);
    top->addWidget(dispIpAddress);
    top->addWidget(buttonConnect);

    auto* settings = new QGroupBox(QStringLiteral("CALIBRATION"), this);
    auto* form = new QGridLayout(settings);
    int row = 0;
    form->addWidget(LabelFor(editPower, QStringLiteral("POWER")), row, 0);
    form->addWidget(editPower, row, 1);
    form->addWidget(buttonSendPower, row++, 2);
    form->addWidget(LabelFor(editCFR, QStringLiteral("CF RED")), row, 0);
    form->addWidget(editCFR, row++, 1);
    form->addWidget(LabelFor(editCFG, QStringLiteral("CF GREEN")), row, 0);
    form->addWidget(editCFG, row, 1);
    form->addWidget(buttonSendCF, row++, 2);
    form->addWidget(LabelFor(editCFB, QStringLiteral("CF BLUE")), row, 0);
    form->addWidget(editCFB, row, 1);
    form->addWidget(buttonGetCF, row++, 2);
    form->addWidget(LabelFor(editSetValue, QStringLiteral("SET VALUE")), row, 0);
    form->addWidget(editSetValue, row++, 1);
    form->addWidget(LabelFor(editMaxDelta, QStringLiteral("MAXIMUM DELTA OF RAW DATAS")), row, 0);
    form->addWidget(editMaxDelta, row++, 1);
    form->addWidget(buttonCalcCF, row++, 0, 1, 3);
    form->addWidget(buttonFinishCalib, row++, 0, 1, 3);

    auto* goStop = new QHBoxLayout;
    goStop->addWidget(buttonGo);
    goStop->addWidget(buttonStop);
    auto* left = new QVBoxLayout;
    left->addWidget(settings);
    left->addLayout(goStop);
    left->addStretch(1);

    auto* values = new QHBoxLayout;
    values->addWidget(ValueGroup(QStringLiteral("RAW DATAS"), QStringLiteral("raw"), dispRaw,
                                 barRaw, dispDeltaRaw, this));
    values->addWidget(ValueGroup(QStringLiteral("CALIBRATED DATAS"), QStringLiteral("calibrated"),
                                 dispCalib, barCalib, dispDeltaCalib, this));

    auto* middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addLayout(values, 1);

    auto* status = new QHBoxLayout;
    status->addWidget(LabelFor(dispStatus, QStringLiteral("STATUS")));
    status->addWidget(dispStatus, 1);

    auto* page = new QVBoxLayout(this);
    page->addLayout(top);
    page->addLayout(middle, 1);
    page->addLayout(status);
    stateLine = new StateLine(this);
    page->addWidget(stateLine);
}

void CalibPanel::ShowStale(bool stale) {
    for (int c = 0; c < 3; ++c)
        for (QWidget* display :
             std::initializer_list<QWidget*>{dispRaw[c], barRaw[c], dispCalib[c], barCalib[c]})
            tvx::ShowStale(display, stale);
    tvx::ShowStale(dispDeltaRaw, stale);
    tvx::ShowStale(dispDeltaCalib, stale);
}

void CalibPanel::SetButtonsDimmed(int dimmed) {
    SetControlsDimmed(
        {buttonSendPower, buttonSendCF, buttonGetCF, buttonGo, buttonCalcCF, buttonFinishCalib},
        dimmed != 0);
}

CalibrationFactors CalibPanel::Factors() const {
    return {static_cast<std::uint16_t>(editCFR->value()),
            static_cast<std::uint16_t>(editCFG->value()),
            static_cast<std::uint16_t>(editCFB->value())};
}

void CalibPanel::ShowFactors(const CalibrationFactors& factors) {
    editCFR->setValue(factors.cfrot);
    editCFG->setValue(factors.cfgruen);
    editCFB->setValue(factors.cfblau);
}

void CalibPanel::ShowFrame(const CalibLiveValues& live, std::uint16_t deltaraw,
                           std::uint16_t deltacalib) {
    const std::uint16_t raw[3] = {live.dataRawR, live.dataRawG, live.dataRawB};
    const std::uint16_t calibrated[3] = {live.dataR, live.dataG, live.dataB};
    for (int c = 0; c < 3; ++c) {
        dispRaw[c]->setText(QString::number(raw[c]));
        barRaw[c]->setValue(std::min<int>(raw[c], kBarTop));
        dispCalib[c]->setText(QString::number(calibrated[c]));
        barCalib[c]->setValue(std::min<int>(calibrated[c], kBarTop));
    }
    dispDeltaRaw->setText(QString::number(deltaraw));
    dispDeltaCalib->setText(QString::number(deltacalib));
}

void CalibPanel::SetButtonColour(QPushButton* button, std::uint32_t rgb) {
    const QColor colour = QColor::fromRgb(static_cast<QRgb>(rgb));
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    button->setPalette(palette);
    button->setStyleSheet(ButtonColourSheet(colour.rgb(), rgb == kColourRed));
}

std::uint32_t CalibPanel::ButtonColour(const QPushButton* button) {
    return button->palette().color(QPalette::Button).rgb() & 0xFFFFFFu;
}

}  // namespace tvx::calib
