#pragma once

#include <QCheckBox>
#include <QPushButton>
#include <cstdint>

#include "panel.h"
#include "word_table.h"

namespace tvx {

inline constexpr const char* kGroupPanelTitle = "COLOR GROUPS";

// The colour-groups panel: one group number per teach row, the switch that activates colour
// groups, RESET GROUP TABLE and CLOSE. Its behaviour (the group checks, the switch's rule) belongs
// to ParameterControls, which owns the parameter set's copy points.
class GroupPanel : public Panel {
    Q_OBJECT
  public:
    // A table cell, counted from 0 (row 0 is the row labelled "1").
    struct Cell {
        int column = 0;
        int row = 0;
    };

    explicit GroupPanel(QWidget* parent = nullptr);

    WordTable* gridGroups;         // 15 rows x 1 column; row r holds the group of teach row r
    QCheckBox* switchColorGroups;  // checked = colour groups on (1)
    QPushButton* buttonResetGroupTable;
    QPushButton* buttonGroupPanelClose;

    std::uint16_t Group(int row) const { return gridGroups->Value(row, 0); }
    void SetGroup(int row, std::uint16_t group) { gridGroups->SetValue(row, 0, group); }
    // The cell that was current at the last event other than a value change.
    Cell activCell() const { return activCell_; }
    // Every group cell to 0; the switch keeps its state.
    void ResetGroupTable();

  private:
    Cell activCell_;
};

}  // namespace tvx
