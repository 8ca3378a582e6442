#pragma once

#include <QLineEdit>

namespace tvx::tempcomp {

// A box for one polynomial coefficient. It holds the exact double the user typed or the program
// set, with no rounding to a number of decimals, and shows it as the shortest text that reads
// back to that double, in exponent notation where that is shorter ("1e-13", "1.234567e-09").
// The value is the number the box shows, also before a commit (Enter, or leaving the box): text
// set by assistive technology or typed before a keyboard shortcut counts as typed. Text that is
// no number is never taken (actions check hasAcceptableInput first), and leaving the box shows
// the value it holds again.
class CoefficientBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit CoefficientBox(QWidget* parent = nullptr);

    double value() const;
    void setValue(double value);

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void TakeTypedText();
    void ShowValue();

    double value_ = 0.0;
};

}  // namespace tvx::tempcomp
