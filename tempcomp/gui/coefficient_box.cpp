#include "coefficient_box.h"

#include <QFocusEvent>
#include <QValidator>
#include <cmath>

#include "equation_file.h"

namespace tvx::tempcomp {

namespace {

// Takes what the equation file takes; the characters of a number on its way are let through.
class CoefficientValidator : public QValidator {
  public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        double value = 0.0;
        if (ParseCoefficient(input.toStdString(), value)) return Acceptable;
        for (QChar c : input)
            if (!c.isDigit() && !QStringLiteral("+-.eE \t").contains(c)) return Invalid;
        return Intermediate;
    }
};

}  // namespace

CoefficientBox::CoefficientBox(QWidget* parent) : QLineEdit(parent) {
    setValidator(new CoefficientValidator(this));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Room for the longest value: 17 significant digits, sign and three-digit exponent.
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("-1.2345678901234567e-308")) +
                    12);
    connect(this, &QLineEdit::editingFinished, this, &CoefficientBox::TakeTypedText);
    ShowValue();
}

double CoefficientBox::value() const {
    double shown = 0.0;
    return ParseCoefficient(text().toStdString(), shown) ? shown : value_;
}

void CoefficientBox::setValue(double value) {
    if (!std::isfinite(value)) return;
    value_ = value;
    ShowValue();
}

void CoefficientBox::TakeTypedText() {
    double value = 0.0;
    if (ParseCoefficient(text().toStdString(), value)) value_ = value;
    ShowValue();
}

void CoefficientBox::ShowValue() {
    setText(QString::fromStdString(FormatCoefficient(value_)));
}

void CoefficientBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A half-typed number is dropped: the box shows what it holds.
    if (!hasAcceptableInput()) ShowValue();
}

}  // namespace tvx::tempcomp
