#pragma once

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QWidget>

namespace tvx {

// A top-level panel. Closing it by the window frame does not hide it by itself: the panel's own
// callback, connected to closeRequested, decides (hide it, go back to another panel, or quit).
// Assistive technology sees it as a window (a frame) named by its title.
class Panel : public QWidget {
    Q_OBJECT
  public:
    explicit Panel(const QString& title, QWidget* parent = nullptr);

    // A secondary panel: Escape asks to close it, as the window frame does.
    void CloseOnEscape();
    // The button that Return presses when no button has the focus (a focused one takes Return
    // itself, as Space); drawn as the default.
    void SetDefaultButton(QPushButton* button);

  signals:
    void closeRequested();

  protected:
    // Tab follows the layout; set when the panel is first shown, once every part is in place.
    void showEvent(QShowEvent* event) override;
    // Return (or Enter) that no control took presses the default button.
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        emit closeRequested();
    }

  private:
    bool tabsOrdered_ = false;
    QPointer<QPushButton> defaultButton_;
};

}  // namespace tvx
