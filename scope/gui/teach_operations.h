#pragma once

#include <QLabel>
#include <QObject>
#include <QPushButton>
#include <functional>
#include <utility>

#include "live_display.h"
#include "live_frame_computations.h"
#include "loop_flags.h"
#include "main_panel.h"
#include "parameter_controls.h"
#include "parameter_set.h"
#include "popups.h"
#include "row_colours.h"
#include "scope_commands.h"
#include "teach_table.h"

namespace tvx {

// The teach page's operations on the colour teach table and the two colour-plane graphs:
// TEACH DATA TO, RESET TABLE, APPLY FROM ALL (all circles in the colour plane), AUTO ADJUST (the
// circles grown as far as the other rows allow) and ZOOM, the zoom graph that follows the live
// measurement around the taught circles until the user clicks it.
class TeachOperations : public QObject {
    Q_OBJECT
  public:
    // The state teaching and the zoom work on; the zoom's loop feeds the strip-chart histories
    // as the live loop does.
    struct State {
        LoopFlags& flags;
        LiveValues& live;
        ParameterSet& params;
        const std::uint32_t& rgbcolor;  // the colour patch's, for a row coloured by measurement
        RowColours& rowcolors;
        StripChartHistory& rawbuf;
        StripChartHistory& intbuf;
    };

    TeachOperations(MainPanel& panel, ParameterControls& controls, LiveDisplay& live,
                    ScopeCommands& commands, State state, Popups& popups);

    QPushButton* buttonResetTable;
    QPushButton* buttonApplyFromAll;
    QPushButton* buttonAutoAdjust;
    QPushButton* buttonZoom;
    // Under the teach table: the rows AUTO ADJUST left crowded by a neighbour. A line to read
    // while the zoom runs, not a box to close; hidden until the first AUTO ADJUST.
    QLabel* dispCrowdedRows;

    // Whether a taught row takes the measured colour as its row colour (the row-colour panel's
    // switch). Unset: never.
    std::function<bool()> rowColourFromMeasurement;

    void TeachDataTo();
    void ResetTable();
    void ApplyFromAll();
    void AutoAdjust();
    // The zoom loop: draws the circles on the zoom graph, then fetches frames and keeps the
    // measurement and the circles in view until poll is cleared.
    void ShowGraphData2();
    // Whether ZOOM asked to start after the live loop; the request is taken.
    bool TakeZoomAfterLive() { return std::exchange(zoomAfterLive_, false); }

  public slots:
    void CBF_ButtonTeachDataTo();
    void CBF_ButtonResetTable();
    void CBF_ButtonApplyFromAll();
    void CBF_AutoAdjust();
    // Pressed while the live loop runs, ZOOM ends that loop and asks to start once it is over:
    // started inside it, the zoom's exchanges would wait within the live loop's.
    void CBF_ButtonZoom();
    // The zoom graph: the user moved its cursor / clicked it with the left / the right button.
    void CBF_GraphData2CursorMoved(QPointF position);
    void CBF_GraphData2LeftClick();
    void CBF_GraphData2RightClick();

  private:
    void BuildButtons();
    void ShowCrowdedRows();
    void DrawCircles(GraphControl* graph);
    TeachTable& Table() { return state_.params.ctt; }

    MainPanel& panel_;
    ParameterControls& controls_;
    LiveDisplay& live_;
    ScopeCommands& commands_;
    State state_;
    Popups& popups_;
    bool zoomAfterLive_ = false;
};

}  // namespace tvx
