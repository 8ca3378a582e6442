#pragma once

#include <QColor>
#include <QTableWidget>
#include <cstdint>

#include "popups.h"

namespace tvx {

// A table of unsigned 16-bit cells, as the teach table and the group table are: rows labelled
// firstRowLabel, firstRowLabel + 1, ...; the first valueColumns columns hold numbers that the
// user edits in a 0 ... 65535 field; further plain columns carry no value (the teach table's
// row-colour cell).
//
// Rows and columns are counted from 0 here. The teach rows are labelled from 0 as well, as "No.",
// C-No and the help texts count them; captured frames are labelled from 1. The program writes
// cells with SetValue, which raises no itemChanged, so a connection to itemChanged sees the
// user's edits only.
class WordTable : public QTableWidget {
    Q_OBJECT
  public:
    WordTable(int rows, int valueColumns, int plainColumns, int firstRowLabel,
              QWidget* parent = nullptr);

    std::uint16_t Value(int row, int column) const;
    void SetValue(int row, int column, std::uint16_t value);

    // Rows 0 ... activeRows - 1 get the label colour of active rows, the others that of inactive
    // ones (RowLabelColour).
    void MarkActiveRows(std::uint32_t activeRows);
    QColor RowLabelColour(int row) const;

    // Paints the row's first plain cell (the teach table's row-colour cell) / its colour, invalid
    // while unpainted.
    void SetRowColour(int row, const QColor& colour);
    QColor RowColour(int row) const;

    // Marks a value cell whose value differs from what the sensor holds (see unsent_mark.h), or
    // takes the mark away.
    void MarkUnsent(int row, int column, bool unsent);
    bool MarkedUnsent(int row, int column) const;

    // Lets the user edit the cells of a value column, or makes them read-only.
    void SetColumnEditable(int column, bool editable);

    // A cell still being edited takes the value its editor shows, as a commit would, before the
    // table is read; false (the user told by popups) when the editor's text is no value.
    bool TakeOpenEditor(Popups& popups);

  protected:
    // Tab and Shift+Tab go from cell to cell and, past the last or before the first cell, on to
    // the panel's next or previous control; Ctrl+Tab and Ctrl+Shift+Tab leave from any cell. An
    // open editor commits first.
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

  private:
    // True when a Tab in this direction would wrap around the table (or find no cell to go to).
    bool AtEdge(bool forward);
    void LeaveTable(bool forward);

    int valueColumns_;
};

}  // namespace tvx
