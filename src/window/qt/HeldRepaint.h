#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace brisolant {

// The window's repaint held back in the event loop the hold began in, and asked for again when
// let go. A loop nested deeper that waits for events (a modal window: the manual-entry prompt, a
// message box) draws the main window as usual: the request held so far is posted for it, and
// `nestedLoopWaits` is told.
class HeldRepaint : public QObject {
  public:
    explicit HeldRepaint(QWidget& window, std::function<void()> nestedLoopWaits = {});

    // Holds from the event loop running now; a hold already begun stays as it is.
    void Hold();
    void LetGo();
    bool Holding() const { return holding_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void PostHeld();

    QWidget& window_;
    std::function<void()> nestedLoopWaits_;
    bool holding_ = false;
    bool held_ = false;  // a repaint came meanwhile
    int loopLevel_ = 0;
};

}  // namespace brisolant
