#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <array>

#include "loop_flags.h"
#include "main_panel.h"
#include "panel.h"
#include "parameter_controls.h"
#include "parameter_set.h"
#include "popups.h"
#include "signal_graph.h"
#include "trace_plot.h"

namespace tvx {

inline constexpr const char* kSignalGraphPanelTitle = "SIGNAL GRAPH";

// The signal graph panel: one graph per recorded signal, lying on top of each other, the SIGNAL
// ring that chooses the visible one, and the latest value of every signal.
class SignalGraphPanel : public Panel {
    Q_OBJECT
  public:
    explicit SignalGraphPanel(QWidget* parent = nullptr);

    QComboBox* editSignal;  // 0 R, 1 G, 2 B, 3 X (s), 4 Y (i), 5 INT (M), 6 TEMP
    std::array<TracePlot*, kSignalCount> graphs;
    std::array<QLineEdit*, kSignalCount> displays;  // the latest R, G, B, X, Y, INT, TEMP
    QLabel* labelX;
    QLabel* labelY;
    QLabel* labelINT;

    // The graph that is shown now; nothing when all are hidden.
    TracePlot* VisibleGraph() const;
};

// What the signal graph does: the samples the recorder hands over become one more line piece in
// each of the seven graphs, until the next clear.
class SignalGraphOperations : public QObject {
    Q_OBJECT
  public:
    // The state the signal graph works on: the samples it keeps of the live values.
    struct State {
        LoopFlags& flags;
        const LiveValues& live;
        SignalGraphData& graph;
    };

    SignalGraphOperations(MainPanel& panel, SignalGraphPanel& graphpanel,
                          ParameterControls& controls, State state, Popups& popups);

    QPushButton* buttonShowGraph;  // on the main panel

    // graphcnt = 0 and every graph emptied.
    void InitPanelGraph();
    // Adds the current frame values as one sample to all seven graphs and displays.
    void SetPanelGraphData();
    // Shows the graph of the SIGNAL value and hides the others.
    void SetGraphVisible();

  public slots:
    void CBF_ButtonShowGraph();
    void CBF_EditSignal();

  private:
    void AddDispNamesRows();
    // Each signal's value axis to the values it can take in the calculation mode.
    void SetValueAxes(int calcmode);
    void AttachHelpTexts();

    MainPanel& panel_;
    SignalGraphPanel& graphpanel_;
    ParameterControls& controls_;
    State state_;
    Popups& popups_;
};

}  // namespace tvx
