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

// One part of the state line. Its text stays whole for the program, for assistive technology
// (the part's value) and in its tool tip; where the room is short it is drawn cut in the middle,
// so that both the start and the end (a port number, the time of a transfer) stay in sight.
class StatePart : public QLabel {
    Q_OBJECT
  public:
    explicit StatePart(QWidget* parent = nullptr);

    // The text as drawn in the room the part has now.
    QString ShownText() const;
    // The part takes the width of its text, up to about `characters` average characters (a
    // longer text is cut), instead of a share of the line.
    void FitText(int characters);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int fitCharacters_ = 0;
};

// The line at the foot of a main window that says at a glance where the link goes, whether it is
// up (or why not), what the program is doing and how the last transfer ended. It only shows
// texts; the program's state line model decides them. Assistive technology finds it as the
// window's status bar.
class StateLine : public QFrame {
    Q_OBJECT
  public:
    explicit StateLine(QWidget* parent = nullptr);

    void SetTexts(const StateLineTexts& texts);

    StatePart* endpoint;
    StatePart* link;
    StatePart* activity;
    StatePart* lastTransfer;
    StatePart* unsent;
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
