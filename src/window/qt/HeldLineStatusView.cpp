#include "window/qt/HeldLineStatusView.h"

#include <QAbstractEventDispatcher>
#include <QThread>
#include <utility>

namespace brisolant {

HeldLineStatusView::HeldLineStatusView(LineStatusView& window) : window_(window) {
    connect(QAbstractEventDispatcher::instance(thread()), &QAbstractEventDispatcher::aboutToBlock,
            this, [this] {
                if (depth_ > 0 && QThread::currentThread()->loopLevel() > loopLevel_) {
                    ShowHeld();
                }
            });
}

void HeldLineStatusView::Hold() {
    if (depth_++ == 0) {
        loopLevel_ = QThread::currentThread()->loopLevel();
    }
}

void HeldLineStatusView::Release() {
    if (depth_ > 0 && --depth_ == 0) {
        ShowHeld();
    }
}

void HeldLineStatusView::SetLightColour(std::uint32_t colour) {
    light_ = colour;
    if (depth_ == 0) {
        ShowHeld();
    }
}

void HeldLineStatusView::SetStatusText(const std::string& text) {
    status_ = text;
    if (depth_ == 0) {
        ShowHeld();
    }
}

// What the window shows already is left alone: setting it again would draw it again.
void HeldLineStatusView::ShowHeld() {
    if (light_ && light_ != shownLight_) {
        window_.SetLightColour(*light_);
        shownLight_ = light_;
    }
    if (status_ && status_ != shownStatus_) {
        window_.SetStatusText(*status_);
        shownStatus_ = std::move(status_);
    }
    light_.reset();
    status_.reset();
}

}  // namespace brisolant
