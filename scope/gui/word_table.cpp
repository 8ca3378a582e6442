#include "word_table.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <limits>
#include <optional>

#include "mode_rules.h"
#include "shown_values.h"
#include "unsent_mark.h"

namespace tvx {

namespace {

constexpr int kWordMax = std::numeric_limits<std::uint16_t>::max();
constexpr int kUnsentRole = Qt::UserRole + 1;

// Tab, Shift+Tab (Backtab) and their Ctrl forms: forward or backward, else nothing.
std::optional<bool> TabDirection(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Backtab) return false;
    if (key.key() == Qt::Key_Tab) return !(key.modifiers() & Qt::ShiftModifier);
    return std::nullopt;
}

// Cell editor limited to what a cell can hold, so a typed value is never cut to 16 bits.
class WordDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        auto* editor = new QSpinBox(parent);
        // Named after its column and row: "X 3".
        const QAbstractItemModel* model = index.model();
        editor->setAccessibleName(QStringLiteral("%1 %2").arg(
            model->headerData(index.column(), Qt::Horizontal).toString(),
            model->headerData(index.row(), Qt::Vertical).toString()));
        editor->setRange(0, kWordMax);
        editor->setButtonSymbols(QAbstractSpinBox::NoButtons);
        editor->setFrame(false);
        return editor;
    }

    // Ctrl+Tab in an open editor commits it and leaves the table, as from a cell.
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* editor = qobject_cast<QWidget*>(object);
        if (editor != nullptr && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (TabDirection(*key) && (key->modifiers() & Qt::ControlModifier)) {
                emit commitData(editor);
                emit closeEditor(editor, NoHint);
                QKeyEvent leave(QEvent::KeyPress, key->key(), key->modifiers());
                QCoreApplication::sendEvent(parent(), &leave);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QSpinBox*>(editor)->setValue(index.data(Qt::EditRole).toInt());
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* spin = static_cast<QSpinBox*>(editor);
        spin->interpretText();
        model->setData(index, spin->value(), Qt::EditRole);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.data(kUnsentRole).toBool()) DrawUnsentFrame(*painter, option.rect);
    }
};

}  // namespace

WordTable::WordTable(int rows, int valueColumns, int plainColumns, int firstRowLabel,
                     QWidget* parent)
    : QTableWidget(rows, valueColumns + plainColumns, parent), valueColumns_(valueColumns) {
    setItemDelegate(new WordDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < rows; ++row) {
        setVerticalHeaderItem(row, new QTableWidgetItem(QString::number(firstRowLabel + row)));
        for (int column = 0; column < columnCount(); ++column) {
            auto* item = new QTableWidgetItem;
            if (column < valueColumns) {
                item->setData(Qt::EditRole, 0);
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            } else {
                item->setFlags(Qt::ItemIsEnabled);
            }
            setItem(row, column, item);
        }
    }
    verticalHeader()->setDefaultSectionSize(20);
}

std::uint16_t WordTable::Value(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    if (!cell) return 0;
    return static_cast<std::uint16_t>(cell->data(Qt::EditRole).toUInt());
}

void WordTable::SetValue(int row, int column, std::uint16_t value) {
    QTableWidgetItem* cell = item(row, column);
    if (!cell || column >= valueColumns_) return;
    const QSignalBlocker blocker(this);
    cell->setData(Qt::EditRole, static_cast<int>(value));
}

void WordTable::MarkActiveRows(std::uint32_t activeRows) {
    for (int row = 0; row < rowCount(); ++row) {
        QTableWidgetItem* label = verticalHeaderItem(row);
        if (!label) continue;
        label->setForeground(QColor(tvx::RowLabelColour(row, activeRows)));
    }
}

QColor WordTable::RowLabelColour(int row) const {
    const QTableWidgetItem* label = verticalHeaderItem(row);
    return label ? label->foreground().color() : QColor();
}

void WordTable::MarkUnsent(int row, int column, bool unsent) {
    QTableWidgetItem* cell = item(row, column);
    if (!cell || column >= valueColumns_ || MarkedUnsent(row, column) == unsent) return;
    const QSignalBlocker blocker(this);
    cell->setData(kUnsentRole, unsent);
    QFont font = cell->font();
    font.setBold(unsent);
    cell->setFont(font);
    cell->setData(
        Qt::AccessibleDescriptionRole,
        DescriptionWithUnsent(cell->data(Qt::AccessibleDescriptionRole).toString(), unsent));
}

bool WordTable::MarkedUnsent(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell && cell->data(kUnsentRole).toBool();
}

void WordTable::SetColumnEditable(int column, bool editable) {
    if (column < 0 || column >= valueColumns_) return;
    const QSignalBlocker blocker(this);
    for (int row = 0; row < rowCount(); ++row) {
        QTableWidgetItem* cell = item(row, column);
        if (!cell) continue;
        Qt::ItemFlags flags = cell->flags();
        flags.setFlag(Qt::ItemIsEditable, editable);
        cell->setFlags(flags);
    }
}

void WordTable::SetRowColour(int row, const QColor& colour) {
    QTableWidgetItem* cell = item(row, valueColumns_);
    if (cell == nullptr) return;
    const QSignalBlocker blocker(this);
    cell->setBackground(colour);
}

QColor WordTable::RowColour(int row) const {
    const QTableWidgetItem* cell = item(row, valueColumns_);
    if (cell == nullptr || cell->background().style() == Qt::NoBrush) return {};
    return cell->background().color();
}

bool WordTable::AtEdge(bool forward) {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return false;
    const QModelIndex to = moveCursor(forward ? MoveNext : MovePrevious, Qt::NoModifier);
    if (!to.isValid() || to == current) return true;
    const auto place = [this](const QModelIndex& index) {
        return index.row() * columnCount() + index.column();
    };
    return forward ? place(to) < place(current) : place(to) > place(current);
}

void WordTable::LeaveTable(bool forward) {
    // Past the item view, which would take the key for its cells.
    QAbstractScrollArea::focusNextPrevChild(forward);
}

bool WordTable::focusNextPrevChild(bool next) {
    if (AtEdge(next)) {
        LeaveTable(next);
        return true;
    }
    return QTableWidget::focusNextPrevChild(next);
}

void WordTable::keyPressEvent(QKeyEvent* event) {
    const std::optional<bool> forward = TabDirection(*event);
    if (forward && (event->modifiers() & Qt::ControlModifier)) {
        LeaveTable(*forward);
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void WordTable::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const bool onward = hint == QAbstractItemDelegate::EditNextItem;
    if ((onward || hint == QAbstractItemDelegate::EditPreviousItem) && AtEdge(onward)) {
        QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
        LeaveTable(onward);
        return;
    }
    QTableWidget::closeEditor(editor, hint);
}

bool WordTable::TakeOpenEditor(Popups& popups) {
    if (state() != QAbstractItemView::EditingState) return true;
    auto* editor = viewport()->findChild<QSpinBox*>();
    if (!editor) return true;
    if (!TakeShownValues({editor}, popups)) return false;
    commitData(editor);
    return true;
}

}  // namespace tvx
