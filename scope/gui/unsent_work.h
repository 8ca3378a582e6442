#pragma once

#include <QObject>
#include <QWidget>
#include <array>

#include "group_panel.h"
#include "parameter_controls.h"
#include "parameter_set.h"
#include "popups.h"

namespace tvx {

// The unsent work of the scope: every parameter control, teach-table cell and group cell whose
// value differs from the last set sent to or read from the sensor, or saved to or loaded from a
// file (the baseline), is marked, and their number is kept. Before a read replaces such values
// the user is asked. The baseline is the program's start values until the first transfer.
class UnsentWork : public QObject {
    Q_OBJECT
  public:
    UnsentWork(ParameterControls& controls, GroupPanel& grouppanel, Popups& popups);

    // The set the panels show is now the one the sensor or the file holds.
    void TakeBaseline();
    // The number of values on the panels that differ from the baseline.
    int UnsentCount() const { return count_; }
    // Before a read replaces the panels' set: with unsent values, asks whether to replace them.
    // True when the read may go on.
    bool MayReplace();
    // Before the program ends: with unsent values, asks whether to end and lose them. True when
    // it may end.
    bool MayClose();
    // The control that shows mode word `word`; none for the spare words 14 and 15.
    QWidget* ControlOfModeWord(int word) const;

  signals:
    void unsentCountChanged(int count);

  public slots:
    // Compares the panels with the baseline and marks what differs.
    void Refresh();

  private:
    void WatchControls();
    void Mark(int word, bool unsent);
    // With unsent values (a number typed and not committed counting), asks `question`; the
    // default answer keeps the work.
    bool MayLoseWork(QString (*question)(int count));

    ParameterControls& controls_;
    GroupPanel& grouppanel_;
    Popups& popups_;
    std::array<QWidget*, 16> modeControls_{};
    ParameterSet baseline_;
    int count_ = 0;
    bool refreshing_ = false;
    bool asking_ = false;
};

}  // namespace tvx
