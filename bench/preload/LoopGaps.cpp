// Loaded into the real program by bench/stall.sh (LD_PRELOAD), never part of it: measures how
// long the event loop's thread goes between two turns. A precise 1 ms timer on that thread
// notes the longest wait between two of its timeouts in each second of the wall clock, and
// appends "<seconds since 1970> <longest wait in ms>" for each second to the file that
// BRISOLANT_LOOP_GAPS names.

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

namespace {

class LoopGaps {
  public:
    explicit LoopGaps(std::FILE* out) : out_(out) {
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Turn(); });
        timer_.start(1);
    }

  private:
    void Turn() {
        const qint64 now = clock_.nsecsElapsed();
        const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
        if (second != second_) {
            if (second_ != 0) {
                std::fprintf(out_, "%lld %.3f\n", static_cast<long long>(second_),
                             static_cast<double>(longest_) / 1e6);
                std::fflush(out_);
            }
            second_ = second;
            longest_ = 0;
        }
        if (last_ != 0 && now - last_ > longest_) {
            longest_ = now - last_;
        }
        last_ = now;
    }

    std::FILE* out_;
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0;
    qint64 second_ = 0;
    qint64 longest_ = 0;
};

void Start() {
    const char* path = std::getenv("BRISOLANT_LOOP_GAPS");
    std::FILE* out = path != nullptr ? std::fopen(path, "a") : nullptr;
    if (out != nullptr) {
        // Lives as long as the program; the operating system closes the file.
        new LoopGaps(out);
    }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(Start)
