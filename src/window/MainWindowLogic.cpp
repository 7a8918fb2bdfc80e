#include "window/MainWindowLogic.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

namespace brisolant {

namespace {

constexpr int kListTop = 50;
constexpr float kListWidthMargin = 150;
constexpr float kListHeightMargin = 1000;

int Twips(float value) {
    return static_cast<int>(std::lround(value));
}

}  // namespace

MainWindowLogic::MainWindowLogic(MainWindowView& view, DataFileReader& reader,
                                 RecorderServices recorder)
    : view_(view),
      scans_(recorder.scans),
      reader_(reader),
      messages_(recorder.messages),
      recorder_(std::move(recorder)) {}

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
        awaitedRead_ = 0;
        view.ClearList();
        view.SetListVisible(false);
        return;
    }
    view.SetDataMenuChecked(true);
    LayoutDataView();
}

void MainWindowLogic::LayoutDataView() {
    MainWindowView& view = view_;
    const float width = static_cast<float>(view.OuterWidth());
    const float height = static_cast<float>(view.OuterHeight());
    view.SetListGeometry(kListTop, Twips(std::max(0.0f, width - kListWidthMargin)),
                         Twips(std::max(0.0f, height - kListHeightMargin)));
    view.SetListVisible(true);
    ReadDataFile();
}

void MainWindowLogic::ReadDataFile() {
    view_.ShowListReading();
    awaitedRead_ = ++reads_;
    try {
        reader_.Read(awaitedRead_, recorder_.settings().FilePath + recorder_.DataFileName());
    } catch (const std::exception& error) {  // no thread to read on
        DataViewFailed(Failure(FailureCode::DataFileRead, error.what()));
    }
}

void MainWindowLogic::TakeDataFileAnswers() {
    for (DataFileAnswer& answer : reader_.TakeAnswers()) {
        if (answer.ticket != awaitedRead_) {
            continue;
        }
        awaitedRead_ = 0;
        if (answer.failure) {
            DataViewFailed(*answer.failure);
        } else {
            view_.ShowListLines(std::move(answer.lines));
        }
    }
}

void MainWindowLogic::DataViewFailed(const Failure& failure) {
    MainWindowView& view = view_;
    awaitedRead_ = 0;
    view.SetListVisible(false);
    scans_.SetDataMenuEnabled(false);
    view.SetDataMenuChecked(false);
    recorder_.ShowFailure(failure);
    // Emptying the list also releases the file, and the next switch-on shows each line once.
    view.ClearList();
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
