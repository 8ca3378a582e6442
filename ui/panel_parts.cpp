#include "panel_parts.h"

#include <QFont>
#include <QGridLayout>
#include <QPainter>
#include <algorithm>
#include <vector>

#include "readable_colour.h"

namespace tvx {

QLineEdit* MakeDisplay(QWidget* parent, int minimumWidth) {
    auto* display = new QLineEdit(parent);
    display->setReadOnly(true);
    display->setFocusPolicy(Qt::NoFocus);
    display->setMinimumWidth(minimumWidth);
    return display;
}

QLabel* LabelFor(QWidget* control, const QString& text) {
    auto* label = new QLabel(text, control->parentWidget());
    label->setBuddy(control);
    return label;
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

QString ButtonColourSheet(QRgb background, bool running) {
    if (running) return QStringLiteral("QPushButton { %1 }").arg(ColourRules(background));
    // Colours only: a border of its own would draw the dimmed button by the style sheet's box
    // rather than the style's, a smaller one, and the panel would shrink while a sequence runs.
    return QStringLiteral(
               "QPushButton { %1 } QPushButton:disabled { color: #8c8c8c; background: #d4d4d4; }")
        .arg(ColourRules(background));
}

namespace {

void CollectTabStops(QLayout* layout, QList<QWidget*>& stops);

void CollectTabStops(QLayoutItem* item, QList<QWidget*>& stops) {
    if (QWidget* widget = item->widget()) {
        if (widget->focusPolicy() & Qt::TabFocus)
            stops << widget;
        else if (widget->layout())
            CollectTabStops(widget->layout(), stops);
    } else if (QLayout* layout = item->layout()) {
        CollectTabStops(layout, stops);
    }
}

void CollectTabStops(QLayout* layout, QList<QWidget*>& stops) {
    auto* grid = qobject_cast<QGridLayout*>(layout);
    if (!grid) {
        for (int i = 0; i < layout->count(); ++i) CollectTabStops(layout->itemAt(i), stops);
        return;
    }
    // Row by row, left to right; items stacked in one cell (the two pages) in the order added.
    struct Cell {
        int row, column;
        QLayoutItem* item;
    };
    std::vector<Cell> cells;
    for (int i = 0; i < grid->count(); ++i) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        cells.push_back({row, column, grid->itemAt(i)});
    }
    std::stable_sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    for (const Cell& cell : cells) CollectTabStops(cell.item, stops);
}

}  // namespace

void OrderTabsByLayout(QWidget* panel) {
    if (!panel->layout()) return;
    QList<QWidget*> stops;
    CollectTabStops(panel->layout(), stops);
    for (int i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1], stops[i]);
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
