# Precompiled headers. Nearly every source of the window programs includes the same Qt and
# standard headers; they are compiled once per build into tvx_pch_widgets and every window target
# reuses that; the test programs reuse tvx_pch_tests (the same headers plus GoogleTest).
# GCC takes a precompiled header only where every macro defined when it was made is defined the
# same way, so the two carry no more than the usage requirements every user shares; QtTest,
# which looks at each program's own test-case folder, stays out. TRIVEX_PCH=OFF builds without
# them, e.g. to check that every file includes what it uses.
option(TRIVEX_PCH "Compile the common Qt, standard and GoogleTest headers once" ON)

set(TVX_PCH_STANDARD <algorithm> <array> <cmath> <cstdint> <functional> <memory> <optional>
  <string> <vector>)
set(TVX_PCH_QT <QObject> <QString> <QStringList> <QByteArray> <QFile> <QDir> <QTimer>
  <QApplication> <QWidget> <QLabel> <QLineEdit> <QPushButton> <QSpinBox> <QComboBox>
  <QHBoxLayout> <QVBoxLayout> <QGridLayout> <QColor> <qcustomplot.h>)

if(TRIVEX_PCH)
  file(WRITE ${CMAKE_BINARY_DIR}/generated/pch_anchor.cpp "// compiles the precompiled header\n")
  add_library(tvx_pch_widgets STATIC ${CMAKE_BINARY_DIR}/generated/pch_anchor.cpp)
  target_link_libraries(tvx_pch_widgets PRIVATE Qt6::Widgets QCustomPlotQt6::QCustomPlotQt6)
  target_precompile_headers(tvx_pch_widgets PRIVATE ${TVX_PCH_STANDARD} ${TVX_PCH_QT})
  set_target_properties(tvx_pch_widgets PROPERTIES AUTOMOC OFF AUTOUIC OFF)
endif()
if(TRIVEX_PCH AND TARGET GTest::gtest)
  add_library(tvx_pch_tests STATIC ${CMAKE_BINARY_DIR}/generated/pch_anchor.cpp)
  target_link_libraries(tvx_pch_tests PRIVATE Qt6::Widgets Qt6::Network Qt6::SerialPort
    QCustomPlotQt6::QCustomPlotQt6 GTest::gtest)
  target_include_directories(tvx_pch_tests SYSTEM PRIVATE
    $<TARGET_PROPERTY:Qt6::Test,INTERFACE_INCLUDE_DIRECTORIES>)
  target_precompile_headers(tvx_pch_tests PRIVATE ${TVX_PCH_STANDARD} ${TVX_PCH_QT}
    <gtest/gtest.h> <QTemporaryDir> <QProcess>)
  set_target_properties(tvx_pch_tests PROPERTIES AUTOMOC OFF AUTOUIC OFF)
endif()

# Lets each target named (each links Qt Widgets and QCustomPlot) reuse the precompiled header of
# the window programs (KIND widgets) or of the tests (KIND tests).
function(tvx_use_pch kind)
  if(TRIVEX_PCH)
    foreach(target IN LISTS ARGN)
      target_precompile_headers(${target} REUSE_FROM tvx_pch_${kind})
    endforeach()
  endif()
endfunction()
