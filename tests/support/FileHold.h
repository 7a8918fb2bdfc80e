#pragma once

// A data folder that stops answering, for the tests of the writer's threads.

#include <condition_variable>
#include <mutex>
#include <string>

#include "support/FakeFiles.h"
#include "support/Waiting.h"

namespace brisolant::test {

// Holds whichever thread reaches the chosen file step until the test lets it go, as a share that
// stops answering does.
class Hold {
  public:
    void At(FakeFileLayer& files, std::string step) {
        files.inject = [this, step = std::move(step)](const std::string& now) {
            if (now == step) {
                std::unique_lock lock(mutex_);
                ++held_;
                released_.wait(lock, [this] { return open_; });
            }
            return 0;
        };
    }
    bool WaitHeld() {
        return WaitUntil([this] {
            std::lock_guard lock(mutex_);
            return held_ > 0;
        });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        open_ = true;
        released_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable released_;
    int held_ = 0;
    bool open_ = false;
};

}  // namespace brisolant::test
