#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace brisolant {

// Runs calls that may hang, such as any call into a data folder on a share that has stopped
// answering, each on a thread of its own, and keeps their answers until the owner's thread takes
// them. The owner's thread never waits for a call.
//
// A call's thread is never joined. A call into a hung share returns only when the kernel lets it
// go, which may be never; the program must be able to end before that, and the process's end
// ends the thread. Once the owner is gone, a call that returns late drops its answer and tells
// nobody.
template <typename Answer>
class DetachedCalls {
  public:
    // Called on a call's thread once an answer waits. It must only hand the word over to the
    // owner's thread (a queued call), never touch the owner itself; it is never called once the
    // owner is gone.
    using Wake = std::function<void()>;

    explicit DetachedCalls(Wake wake) : box_(std::make_shared<Box>(std::move(wake))) {}
    ~DetachedCalls() {
        std::vector<Answer> dropped;
        std::lock_guard lock(box_->mutex);
        box_->open = false;
        dropped.swap(box_->answers);
    }
    DetachedCalls(const DetachedCalls&) = delete;
    DetachedCalls& operator=(const DetachedCalls&) = delete;

    // Starts the call on a thread of its own. The call must not throw: it answers its failure.
    // Throws std::system_error when no thread can be started.
    void Run(std::function<Answer()> call) {
        std::thread([box = box_, call = std::move(call)] {
            Answer answer = call();
            std::lock_guard lock(box->mutex);
            if (box->open) {
                box->answers.push_back(std::move(answer));
                box->wake();
            }
        }).detach();
    }

    // The answers that came since the last call, oldest first.
    std::vector<Answer> Take() {
        std::lock_guard lock(box_->mutex);
        return std::exchange(box_->answers, {});
    }

  private:
    // Shared by the owner and every call still running; guarded by its mutex.
    struct Box {
        explicit Box(Wake w) : wake(std::move(w)) {}
        std::mutex mutex;
        bool open = true;
        std::vector<Answer> answers;
        Wake wake;
    };

    std::shared_ptr<Box> box_;
};

}  // namespace brisolant
