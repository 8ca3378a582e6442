#pragma once

#include <QCheckBox>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QSpinBox>
#include <optional>

#include "main_panel.h"
#include "panel.h"
#include "parameter_controls.h"
#include "popups.h"
#include "row_colours.h"
#include "scope_commands.h"

namespace tvx {

inline constexpr const char* kRowColourPanelTitle = "ROW COLORS";

// The row-colour panel: a teach row, a colour, SET ROW COLOR, the switch that takes row colours
// from the measurement, and SAVE, GET and SET STARTUP for colour-array files.
class RowColourPanel : public Panel {
    Q_OBJECT
  public:
    explicit RowColourPanel(QWidget* parent = nullptr);

    QSpinBox* editRow;      // teach row 0 ... 14
    QLineEdit* editColour;  // the colour as six hexadecimal digits RRGGBB
    QPushButton* buttonPickColour;
    QPushButton* buttonSetRowColor;
    QCheckBox* switchSetColor;  // on: teaching takes the measured colour
    QPushButton* buttonSaveArray;
    QPushButton* buttonGetArray;
    QPushButton* buttonSetStartupArray;

    // The colour in the field as 0x00RRGGBB, or nothing when the field holds no colour.
    std::optional<std::int32_t> Colour() const;
    void SetColour(std::int32_t colour);
};

// What the row colours do: set by hand or from the measurement, saved to and loaded from
// colour-array files, and loaded from the start-up file when the scope starts. The colours paint
// the teach table's colour cells and outline the circles at the next redraw.
class RowColourOperations : public QObject {
    Q_OBJECT
  public:
    // The state the row colours work on: the colours, the file selection and the start-up file
    // that names the colour file to load.
    struct State {
        RowColours& rowcolors;
        ProgramFiles& files;
        const QString& colorArrayStartupFileName;
    };

    RowColourOperations(MainPanel& panel, RowColourPanel& srcpanel, ParameterControls& controls,
                        State state, Popups& popups);

    QPushButton* buttonColor;  // on the teach page: opens the row-colour panel

    void SetRowColor();
    void InitSrcPanel();
    void SaveColorArray();
    void GetColorArray();
    void SetStartupArray();
    // The start-up load: the colour-array file the start-up file names, when both exist.
    void LoadStartupColours();
    // Paints the colour cells of the 15 teach rows from the row colours.
    void PaintColourCells();
    bool TakesColourFromMeasurement() const { return srcpanel_.switchSetColor->isChecked(); }

  public slots:
    void CBF_ButtonColor();
    void CBF_EditSetColor();
    void CBF_ButtonSetRowColor();
    void CBF_ButtonSaveArray();
    void CBF_ButtonGetArray();
    void CBF_ButtonSetStartupArray();

  private:
    std::optional<QString> SelectColourArrayFile(bool forSaving);

    MainPanel& panel_;
    RowColourPanel& srcpanel_;
    ParameterControls& controls_;
    State state_;
    Popups& popups_;
};

}  // namespace tvx
