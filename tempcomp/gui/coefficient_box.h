#pragma once

#include <QLineEdit>

namespace tvx::tempcomp {

// A box for one polynomial coefficient. It holds the exact double the user typed or the program
// set, with no rounding to a number of decimals, and shows it as the shortest text that reads
// back to that double, in exponent notation where that is shorter ("1e-13", "1.234567e-09").
// A typed number is taken when it is committed (Enter, or leaving the box); text that is no
// number is never taken, and leaving the box shows the value it holds again.
class CoefficientBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit CoefficientBox(QWidget* parent = nullptr);

    double value() const { return value_; }
    void setValue(double value);

  protected:
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void TakeTypedText();
    void ShowValue();

    double value_ = 0.0;
};

}  // namespace tvx::tempcomp
