#include "group_panel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "parameter_set.h"

namespace tvx {

GroupPanel::GroupPanel(QWidget* parent) : Panel(QString::fromLatin1(kGroupPanelTitle), parent) {
    gridGroups = new WordTable(kTeachRows, 1, 0, 0, this);
    gridGroups->setHorizontalHeaderLabels({QStringLiteral("GROUP")});
    gridGroups->setAccessibleName(QStringLiteral("GROUP TABLE"));
    CloseOnEscape();
    gridGroups->horizontalHeader()->setStretchLastSection(true);
    gridGroups->setMinimumHeight(gridGroups->verticalHeader()->length() +
                                 gridGroups->horizontalHeader()->height() + 4);
    switchColorGroups = new QCheckBox(QStringLiteral("COLOR GROUPS ON"), this);
    buttonResetGroupTable = new QPushButton(QStringLiteral("RESET GROUP TABLE"), this);
    buttonGroupPanelClose = new QPushButton(QStringLiteral("CLOSE"), this);

    // The value-changed check reads the cell that was active before the edit, as the other
    // events of the table left it.
    connect(gridGroups, &QTableWidget::currentCellChanged, this, [this](int row, int column) {
        if (row >= 0 && column >= 0) activCell_ = Cell{column, row};
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(buttonResetGroupTable);
    buttons->addStretch(1);
    buttons->addWidget(buttonGroupPanelClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(switchColorGroups);
    layout->addWidget(gridGroups, 1);
    layout->addLayout(buttons);
    resize(280, 440);
}

void GroupPanel::ResetGroupTable() {
    for (int row = 0; row < gridGroups->rowCount(); ++row) SetGroup(row, 0);
}

}  // namespace tvx
