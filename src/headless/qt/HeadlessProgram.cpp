#include "headless/qt/HeadlessProgram.h"

#include <utility>

#include "common/RunGuarded.h"
#include "recorder/WaitingScansMessage.h"

namespace brisolant {

HeadlessProgram::HeadlessProgram(SettingsPlace place, std::string journalPath, std::ostream& log,
                                 ServiceManager& manager)
    : manager_(manager),
      log_(log, clock_, manager),
      recorder_(platform_.Services({log_, log_, pump_, prompt_, log_}, std::move(place),
                                   std::move(journalPath))) {
    platform_.Connect(recorder_, [this](const std::function<void()>& step) { Run(step); });
    QObject::connect(&alive_, &QTimer::timeout, [this] { manager_.Alive(); });
}

HeadlessProgram::~HeadlessProgram() {
    platform_.Disconnect();
    platform_.ClosePort();
}

void HeadlessProgram::Run(const std::function<void()>& step) {
    RunGuarded(step, [this](const Failure& failure) { recorder_.ShowFailure(failure); });
}

void HeadlessProgram::Start() {
    Run([this] { recorder_.Start(); });
    manager_.Ready();
    if (const auto interval = manager_.AliveInterval(); interval.count() > 0) {
        alive_.start(interval);
    }
}

void HeadlessProgram::End() {
    alive_.stop();
    platform_.ClosePort();
    Run([this] {
        const std::string waiting = WaitingScansMessage(recorder_.Stop(Recorder::kEndPatience));
        if (!waiting.empty()) {
            log_.Write(waiting);
        }
    });
}

}  // namespace brisolant
