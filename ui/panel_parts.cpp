#include "panel_parts.h"

#include <QFont>
#include <QPainter>

#include "readable_colour.h"

namespace tvx {

QLineEdit* MakeDisplay(QWidget* parent, int minimumWidth) {
    auto* display = new QLineEdit(parent);
    display->setReadOnly(true);
    display->setFocusPolicy(Qt::NoFocus);
    display->setMinimumWidth(minimumWidth);
    return display;
}

QProgressBar* MakeColourBar(const QColor& colour, int top, int minimumHeight, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setOrientation(Qt::Vertical);
    bar->setRange(0, top);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedWidth(22);
    bar->setMinimumHeight(minimumHeight);
    bar->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid #404040; background: "
                                      "#101010; } QProgressBar::chunk { background: %1; }")
                           .arg(colour.name()));
    return bar;
}

QString ColourRules(QRgb background) {
    const QRgb rgb = background & 0xFFFFFFu;
    return QStringLiteral("color: %1; background: %2;")
        .arg(QColor(ReadableTextColour(rgb)).name(), QColor(rgb).name());
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

}  // namespace tvx
