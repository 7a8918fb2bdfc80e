#include "window/MainWindowLogic.h"

#include <algorithm>
#include <cmath>

namespace brisolant {

namespace {

constexpr int kListTop = 50;
constexpr float kListWidthMargin = 150;
constexpr float kListHeightMargin = 1000;

int Twips(float value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

MainWindowLogic::MainWindowLogic(MainWindowView& view, RecorderServices recorder)
    : view_(view), messages_(recorder.messages), recorder_(std::move(recorder)) {}

void MainWindowLogic::Unload(MessagePresenter& messages) {
    const std::string text = WaitingScansMessage(recorder_.Stop(Recorder::kEndPatience));
    if (!text.empty()) {
        messages.ShowMessage("Waiting Scans", text);
    }
}

void MainWindowLogic::mnuData_Click() {
    MainWindowView& view = view_;
    if (view.DataMenuChecked()) {
        view.SetDataMenuChecked(false);
        view.ClearList();
        view.SetListVisible(false);
        return;
    }
    view.SetDataMenuChecked(true);
    LayoutDataView();
}

void MainWindowLogic::LayoutDataView() {
    MainWindowView& view = view_;
    try {
        const float width = static_cast<float>(view.OuterWidth());
        const float height = static_cast<float>(view.OuterHeight());
        view.SetListGeometry(kListTop, Twips(std::max(0.0f, width - kListWidthMargin)),
                             Twips(std::max(0.0f, height - kListHeightMargin)));
        view.SetListVisible(true);
        view.AppendListFile(recorder_.settings().FilePath + recorder_.DataFileName());
    } catch (const Failure& failure) {
        view.SetListVisible(false);
        view.SetDataMenuEnabled(false);
        view.SetDataMenuChecked(false);
        recorder_.ShowFailure(failure);
        // Emptying the list also releases the file, and the next switch-on shows each line once.
        view.ClearList();
    }
}

void MainWindowLogic::lblHiddenButton_Click() {
    view_.SetDataReceivedVisible(!view_.DataReceivedVisible());
}

void MainWindowLogic::Repaint() {
    MainWindowView& view = view_;
    const float width = static_cast<float>(view.OuterWidth());
    const float height = static_cast<float>(view.OuterHeight());
    view.SetPanelMinWidth(1, Twips(width / 2));
    view.SetPanelMinWidth(2, Twips(width / 4));
    view.SetPanelMinWidth(3, Twips(width / 4));
    const float listWidth = width - kListWidthMargin;
    if (Twips(listWidth) == view.ListWidth()) {
        return;
    }
    // A window too small for the list keeps a list of no size rather than a negative one.
    view.SetListGeometry(kListTop, Twips(std::max(0.0f, listWidth)),
                         Twips(std::max(0.0f, height - kListHeightMargin)));
}

}  // namespace brisolant
