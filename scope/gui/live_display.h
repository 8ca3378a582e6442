#pragma once

#include <QObject>

#include "live_frame_computations.h"
#include "main_panel.h"
#include "parameter_controls.h"
#include "parameter_set.h"
#include "popups.h"
#include "recognition_margin.h"

namespace tvx {

// A margin as the displays show it, in whole percent rounded down so that a shown "20 %" is never
// below the warn level: "62 %", "-35 %".
QString MarginPercent(double margin);
// Colours a margin display by its level (yellow for Warn, red for Alarm, its own colours while
// Clear or without a level) and says the level to assistive technology.
void ShowMarginLevel(QLineEdit* display, std::optional<MarginLevel> level);

// The main panel's live view: shows each data frame in the displays, bars, colour patch and
// colour-number indicators, moves the colour-plane cursor or redraws a strip chart from its
// history (fed by the live loops), and shows the displays and graph that belong to the SOURCE
// selection.
// It joins the parameter controls' rules: the evaluation mode shows C-No or the indicators, the
// calculation mode relabels the displays and rescales the graphs, and every parameter read
// re-applies the SOURCE visibility.
class LiveDisplay : public QObject {
    Q_OBJECT
  public:
    // The state the live view works on.
    struct State {
        const LiveValues& live;
        ParameterSet& params;  // the calculation mode is taken from its control for the plane
        std::uint16_t& source;
        std::uint32_t& rgbcolor;
        const StripChartHistory& rawbuf;
        const StripChartHistory& intbuf;
        const Ramp& xramp;
        const Ramp& yramp;
        const MarginTable& margins;  // the teach table in force
    };

    LiveDisplay(MainPanel& panel, ParameterControls& controls, State state, Popups& popups);

    // Shows the frame in `state.live` (the per-frame display update).
    void SetPanelData();
    // The band the intensity chart shows with a frame: that of the teach row in No. while SOURCE
    // shows the intensity, none otherwise.
    IntensityBand IntensityBandInView() const;
    // The per-frame graph update after SetPanelData: the colour-plane cursor or a strip chart.
    void ShowGraph();
    // Reads SOURCE and shows its displays and graph.
    void DispVis();
    // Before the live loop: clears the colour plane, draws the X/Y border line when the
    // calculation mode is X/Y, and brings the colour-plane graph in front of the zoom graph.
    void PrepareColourPlane();
    // Puts the zoom graph behind the colour-plane graph / in front of it.
    void HideZoomGraph();
    void ShowZoomGraph();
    bool ZoomGraphInFront() const;
    // Greys out the live values (older than the last failure of the link) or shows them live.
    void ShowStale(bool stale);
    // Marks X and Y as showing a cursor position the user chose, not a measurement.
    void ShowCursorReadout(bool readout);
    // The recognition margin of a frame in the MARGIN display; none: empty and grey.
    void ShowMargin(const std::optional<RecognitionMargin>& margin);

  public slots:
    void CBF_SelectSource();

  private:
    void AddDispNamesRows();
    void AttachHelpTexts();

    MainPanel& panel_;
    ParameterControls& controls_;
    State state_;
    Popups& popups_;
    std::uint32_t shownPatchColour_ = 0;  // the patch starts black
};

}  // namespace tvx
