#include "main_panel.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QVBoxLayout>

namespace tvx {

namespace {

QLineEdit* MakeDisplay(QWidget* parent, int minimumWidth) {
    auto* display = new QLineEdit(parent);
    display->setReadOnly(true);
    display->setFocusPolicy(Qt::NoFocus);
    display->setMinimumWidth(minimumWidth);
    return display;
}

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

QPixmap BrandLogo() {
    QPixmap pixmap(132, 44);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor colours[3] = {QColor(0xD0, 0x20, 0x20), QColor(0x20, 0xA0, 0x30),
                               QColor(0x20, 0x40, 0xD0)};
    for (int i = 0; i < 3; ++i) {
        painter.setBrush(colours[i]);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(16 + 11 * i, 22), 12, 12);
    }
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(20);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x20, 0x20));
    painter.drawText(QRect(52, 0, 80, 44), Qt::AlignVCenter | Qt::AlignLeft,
                     QStringLiteral("TRIVEX"));
    return pixmap;
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

    switchPara = new QCheckBox(QStringLiteral("PARAMETER"), this);
    parameterPage = new QGroupBox(QStringLiteral("PARAMETER"), this);
    parameterPage->setLayout(new QGridLayout);
    teachPage = new QGroupBox(QStringLiteral("COLOR TEACH TABLE"), this);
    teachPage->setLayout(new QGridLayout);

    auto* header = new QHBoxLayout;
    header->addWidget(logo);
    header->addWidget(logoText, 1);

    auto* pages = new QGridLayout;
    pages->addWidget(parameterPage, 0, 0);
    pages->addWidget(teachPage, 0, 0);

    auto* link = new QHBoxLayout;
    link->addWidget(buttonConnect);
    link->addWidget(labelComPort);
    link->addWidget(dispComPort);
    link->addWidget(labelIpAddress);
    link->addWidget(dispIpAddress);
    link->addStretch(1);

    auto* status = new QHBoxLayout;
    status->addWidget(new QLabel(QStringLiteral("STATUS"), this));
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
    layout->addLayout(pages, 1);
    layout->addLayout(commands);
    layout->addLayout(link);
    layout->addLayout(status);
    resize(900, 600);
}

}  // namespace tvx
