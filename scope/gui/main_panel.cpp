#include "main_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "live_frame_computations.h"
#include "panel_parts.h"

namespace tvx {

namespace {

QPushButton* MakeCommandButton(const QString& text, const QKeySequence& key, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setShortcut(key);
    button->setMinimumWidth(84);
    return button;
}

QPushButton* MakeToggle(const QString& text, QWidget* parent) {
    auto* toggle = new QPushButton(text, parent);
    toggle->setCheckable(true);
    toggle->setMinimumWidth(64);
    return toggle;
}

// A row of displays, each under its label.
QWidget* DisplayRow(QWidget* parent, const QList<QLabel*>& labels,
                    const QList<QLineEdit*>& displays) {
    auto* row = new QWidget(parent);
    auto* grid = new QGridLayout(row);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < labels.size(); ++i) {
        grid->addWidget(labels[i], 0, i, Qt::AlignHCenter);
        labels[i]->setBuddy(displays[i]);
        grid->addWidget(displays[i], 1, i);
    }
    return row;
}

}  // namespace

MainPanel::MainPanel(const QString& title) : Panel(title) {
    logo = new QLabel(this);
    logo->setPixmap(BrandLogo());
    logoText = new QLabel(this);

    buttonSend = MakeCommandButton(QStringLiteral("SEND"), QKeySequence(Qt::Key_F9), this);
    buttonGet = MakeCommandButton(QStringLiteral("GET"), QKeySequence(Qt::Key_F10), this);
    buttonGo = MakeCommandButton(QStringLiteral("GO"), QKeySequence(Qt::Key_F11), this);
    buttonStop = MakeCommandButton(QStringLiteral("STOP"), QKeySequence(Qt::Key_F12), this);
    buttonConnect = new QPushButton(QStringLiteral("CONNECT"), this);
    selectRAM = MakeToggle(QStringLiteral("RAM"), this);
    selectEEPROM = MakeToggle(QStringLiteral("EEPROM"), this);
    selectFILE = MakeToggle(QStringLiteral("FILE"), this);
    selectRAM->setChecked(true);

    dispStatus = MakeDisplay(this, 300);
    dispComPort = MakeDisplay(this, 60);
    dispIpAddress = MakeDisplay(this, 160);
    labelComPort = new QLabel(QStringLiteral("COM-PORT"), this);
    labelIpAddress = new QLabel(QStringLiteral("IP ADDRESS"), this);
    labelComPort->setBuddy(dispComPort);
    labelIpAddress->setBuddy(dispIpAddress);

    switchPara = new QCheckBox(QStringLiteral("PARAMETER"), this);
    parameterPage = new QGroupBox(QStringLiteral("PARAMETER"), this);
    parameterPage->setLayout(new QGridLayout);
    teachPage = new QGroupBox(QStringLiteral("COLOR TEACH TABLE"), this);
    teachPage->setLayout(new QGridLayout);

    // Live values.
    barRed = MakeColourBar(QColor(0xE0, 0x30, 0x30), 4095, 120, this);
    barGreen = MakeColourBar(QColor(0x30, 0xC0, 0x40), 4095, 120, this);
    barBlue = MakeColourBar(QColor(0x30, 0x60, 0xE0), 4095, 120, this);
    dispRed = MakeDisplay(this, 56);
    dispGreen = MakeDisplay(this, 56);
    dispBlue = MakeDisplay(this, 56);
    rgbDisplays =
        DisplayRow(this,
                   {new QLabel(QStringLiteral("R"), this), new QLabel(QStringLiteral("G"), this),
                    new QLabel(QStringLiteral("B"), this)},
                   {dispRed, dispGreen, dispBlue});
    dispX = MakeDisplay(this, 56);
    dispY = MakeDisplay(this, 56);
    dispINT = MakeDisplay(this, 56);
    labelX = new QLabel(QStringLiteral("X"), this);
    labelY = new QLabel(QStringLiteral("Y"), this);
    labelINT = new QLabel(QStringLiteral("INT"), this);
    planeDisplays = DisplayRow(this, {labelX, labelY, labelINT}, {dispX, dispY, dispINT});
    dispCOL = MakeDisplay(this, 40);
    colourNumber = DisplayRow(this, {new QLabel(QStringLiteral("C-No"), this)}, {dispCOL});
    dispMargin = MakeDisplay(this, 150);
    margin = DisplayRow(this, {new QLabel(QStringLiteral("MARGIN"), this)}, {dispMargin});
    colourBits = new QWidget(this);
    auto* bitsLayout = new QHBoxLayout(colourBits);
    bitsLayout->setContentsMargins(0, 0, 0, 0);
    const char* bitCaptions[4] = {"8", "4", "2", "1"};
    for (std::size_t i = 0; i < colourBit.size(); ++i) {
        colourBit[i] = new IndicatorLamp(QString::fromLatin1(bitCaptions[i]),
                                         QColor(0xFF, 0x40, 0x30), colourBits);
        bitsLayout->addWidget(colourBit[i]);
    }
    dispGroup = MakeDisplay(this, 40);
    group = DisplayRow(this, {new QLabel(QStringLiteral("GROUP"), this)}, {dispGroup});
    dispTemp = MakeDisplay(this, 48);
    auto* temperature = DisplayRow(this, {new QLabel(QStringLiteral("TEMP °C"), this)}, {dispTemp});
    colourPatch = new QFrame(this);
    colourPatch->setFrameShape(QFrame::Box);
    colourPatch->setFixedSize(64, 64);
    colourPatch->setAutoFillBackground(true);
    colourPatch->setStyleSheet(QStringLiteral("QFrame { background: #000000; }"));

    // Tolerance circles stay round: one scale for both axes. The colour plane keeps its origin in
    // the corner; the zoom keeps the measurement and the circles in the middle.
    graphData1 = new GraphControl(this);
    graphData1->SetEqualScale(EqualScale::KeepLowerEnds);
    graphData2 = new GraphControl(this);
    graphData2->SetEqualScale(EqualScale::KeepCentre);
    graphRGB = new StripChart(
        {QColor(0xFF, 0x40, 0x40), QColor(0x40, 0xE0, 0x40), QColor(0x50, 0x80, 0xFF)},
        kHistorySamples, this);
    graphINT = new StripChart(
        {QColor(0xF0, 0xF0, 0xF0), QColor(0xFF, 0xA0, 0x20), QColor(0xFF, 0xA0, 0x20)},
        kHistorySamples, this);
    selectSource = new QComboBox(this);
    selectSource->addItem(QStringLiteral("X/Y"), 0);
    selectSource->addItem(QStringLiteral("RGB"), 1);
    selectSource->addItem(QStringLiteral("INT"), 2);

    auto* graphs = new QGridLayout;
    for (QWidget* graph :
         std::initializer_list<QWidget*>{graphData1, graphData2, graphRGB, graphINT})
        graphs->addWidget(graph, 0, 0);
    graphData2->lower();

    auto* sourceRow = new QHBoxLayout;
    auto* sourceLabel = new QLabel(QStringLiteral("SOURCE"), this);
    sourceLabel->setBuddy(selectSource);
    sourceRow->addWidget(sourceLabel);
    sourceRow->addWidget(selectSource);
    sourceRow->addStretch(1);

    auto* bars = new QHBoxLayout;
    bars->addWidget(barRed);
    bars->addWidget(barGreen);
    bars->addWidget(barBlue);
    bars->addSpacing(8);
    auto* patchAndBits = new QVBoxLayout;
    patchAndBits->addWidget(colourPatch, 0, Qt::AlignHCenter);
    patchAndBits->addWidget(colourBits);
    patchAndBits->addStretch(1);
    bars->addLayout(patchAndBits);

    auto* numbers = new QHBoxLayout;
    numbers->addWidget(rgbDisplays);
    numbers->addWidget(planeDisplays);
    numbers->addStretch(1);
    numbers->addWidget(colourNumber);
    numbers->addWidget(margin);
    numbers->addWidget(group);
    numbers->addWidget(temperature);

    auto* live = new QVBoxLayout;
    live->addLayout(graphs, 1);
    live->addLayout(sourceRow);
    live->addLayout(numbers);
    live->addLayout(bars);

    auto* header = new QHBoxLayout;
    header->addWidget(logo);
    header->addWidget(logoText, 1);

    auto* pages = new QGridLayout;
    pages->addWidget(parameterPage, 0, 0);
    pages->addWidget(teachPage, 0, 0);

    auto* body = new QHBoxLayout;
    body->addLayout(pages, 3);
    body->addLayout(live, 2);

    auto* link = new QHBoxLayout;
    link->addWidget(buttonConnect);
    link->addWidget(labelComPort);
    link->addWidget(dispComPort);
    link->addWidget(labelIpAddress);
    link->addWidget(dispIpAddress);
    link->addStretch(1);

    auto* status = new QHBoxLayout;
    auto* statusLabel = new QLabel(QStringLiteral("STATUS"), this);
    statusLabel->setBuddy(dispStatus);
    status->addWidget(statusLabel);
    status->addWidget(dispStatus, 1);

    auto* commands = new QHBoxLayout;
    commands->addWidget(buttonSend);
    commands->addWidget(buttonGet);
    commands->addSpacing(12);
    commands->addWidget(selectRAM);
    commands->addWidget(selectEEPROM);
    commands->addWidget(selectFILE);
    commands->addStretch(1);
    commands->addWidget(switchPara);
    commands->addStretch(1);
    commands->addWidget(buttonGo);
    commands->addWidget(buttonStop);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addLayout(body, 1);
    layout->addLayout(commands);
    layout->addLayout(link);
    layout->addLayout(status);
    stateLine = new StateLine(this);
    layout->addWidget(stateLine);
    resize(1240, 720);
}

}  // namespace tvx
