#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "frames.h"
#include "link_state.h"
#include "live_frame_computations.h"
#include "loop_flags.h"
#include "parameter_set.h"
#include "recognition_margin.h"
#include "record_time.h"
#include "row_colours.h"
#include "scope_commands.h"
#include "signal_graph.h"

namespace tvx {

// Everything the scope holds while it runs, owned by its main module.
struct ScopeState {
    LinkState link;
    FrameBuffers buffers;
    ParameterSet params;
    LiveValues live;
    // The teach table the sensor works with (the set last read, loaded, sent or saved whole),
    // for each frame's recognition margin.
    MarginTable margins;
    LoopFlags flags;
    ExchangeState exchange;

    ProgramFiles files;  // proj_dir and the last selected file
    QString ipComboBoxFileName;
    QString colorArrayStartupFileName;

    // The line X + Y = 4095, the border of the X/Y colour plane.
    Ramp xramp{};
    Ramp yramp{};

    // The live view: the SOURCE selection, the colour patch's colour and the strip-chart
    // histories of raw R, G, B and of the intensity with its band (fed by the live loops' frame
    // steps, whatever SOURCE shows).
    std::uint16_t source = 0;
    std::uint32_t rgbcolor = 0;
    StripChartHistory rawbuf{};
    StripChartHistory intbuf{};

    // The teach rows' display colours: circle outlines and the table's colour cells.
    RowColours rowcolors = DefaultRowColours();

    // The data recorder and the samples of the signal graph it feeds.
    RecorderState recorder;
    SignalGraphData graph;
};

}  // namespace tvx
