#pragma once

#include <QFrame>
#include <QLabel>
#include <QString>

namespace tvx {

struct StateLineTexts {
    QString endpoint;
    QString link;
    QString activity;
    QString lastTransfer;
    QString unsent;  // empty: nothing unsent, the part is hidden
};

// The line at the foot of a main window that says at a glance where the link goes, whether it is
// up (or why not), what the program is doing and how the last transfer ended. It only shows
// texts; the program's state line model decides them.
class StateLine : public QFrame {
    Q_OBJECT
  public:
    explicit StateLine(QWidget* parent = nullptr);

    void SetTexts(const StateLineTexts& texts);

    QLabel* endpoint;
    QLabel* link;
    QLabel* activity;
    QLabel* lastTransfer;
    QLabel* unsent;
};

// A live display whose value is older than the last failure of the link is greyed out, and says
// so to assistive technology; it is shown live again with the next frame.
void ShowStale(QWidget* display, bool stale);
bool ShownStale(const QWidget* display);

// An X or Y display showing where the user put a graph's cursor rather than a measurement is
// written in italics and says so; the next measurement takes that back.
void ShowCursorReadout(QWidget* display, bool readout);
bool ShownAsCursorReadout(const QWidget* display);

}  // namespace tvx
