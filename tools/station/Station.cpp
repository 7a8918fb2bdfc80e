#include "Station.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Monotonic.h"
#include "StopSignals.h"

namespace brisolant::station {
namespace {

constexpr double kNakWait = 2.0;

}  // namespace

Station::Station(int masterFd, const StationOptions& options, const StopSignals& signals)
    : fd_(masterFd), options_(options), signals_(signals), source_(options) {}

int Station::Run() {
    nextDue_ = MonotonicSeconds();
    while (!signals_.Stopped()) {
        const double now = MonotonicSeconds();
        if (ReadyForNextScan(now)) {
            QueueNextScan(now);
        }
        ReportProgress();
        pollfd line{fd_, static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT)), 0};
        const int ready = signals_.Wait(&line, 1, SecondsUntilNextScan(now));
        if (ready < 0) {
            std::fprintf(stderr, "station: waiting on the line failed: %s\n", std::strerror(errno));
            return 1;
        }
        if (ready == 0) {
            continue;
        }
        if ((line.revents & POLLIN) != 0 && !ReadReplies()) {
            return 1;
        }
        if ((line.revents & POLLOUT) != 0 && !WritePending()) {
            return 1;
        }
        if ((line.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (line.revents & POLLIN) == 0) {
            std::fprintf(stderr, "station: the line has closed\n");
            return 1;
        }
    }
    std::fprintf(stderr, "station: stopped after %lld scans, %lld NAK, %lld ACK\n", sent_, naks_,
                 acks_);
    return 0;
}

bool Station::ReadyForNextScan(double now) const {
    const bool countReached = options_.count != 0 && sent_ >= options_.count;
    return !countReached && pending_.empty() && now >= holdUntil_ &&
           (options_.flood || now >= nextDue_);
}

// Negative means no timeout: the next event is a reply, the line taking bytes, or a signal.
double Station::SecondsUntilNextScan(double now) const {
    const bool countReached = options_.count != 0 && sent_ >= options_.count;
    if (countReached || !pending_.empty()) {
        return -1;
    }
    const double due = std::max(holdUntil_, options_.flood ? now : nextDue_);
    return std::max(0.0, due - now);
}

void Station::QueueNextScan(double now) {
    if (holdUntil_ != 0) {
        std::fprintf(stderr, "station: no NAK came for the cut-short scan %lld\n", sent_);
        holdUntil_ = 0;
    }
    ++sent_;
    if (options_.noiseFirst && sent_ == 1) {
        pending_ += source_.PowerUpNoise();
    }
    if (options_.noiseEvery != 0 && sent_ % options_.noiseEvery == 0) {
        pending_ += source_.Noise();
    }
    const std::string text = source_.NextScanText();
    lastBlock_ = options_.noStx ? text : Block(text);
    lastResent_ = false;
    const bool cutShort = options_.shortEvery != 0 && sent_ % options_.shortEvery == 0;
    pending_ += cutShort ? ShortBlock(lastBlock_) : lastBlock_;
    if (cutShort) {
        holdUntil_ = now + kNakWait;
    }
    if (options_.verbose) {
        std::fprintf(stderr, "station: scan %lld%s\n", sent_, cutShort ? ", cut short" : "");
    }
    const double period = 1.0 / options_.rate;
    nextDue_ = std::max(nextDue_, now - period) + period;
}

bool Station::ReadReplies() {
    unsigned char bytes[256];
    const ssize_t count = read(fd_, bytes, sizeof bytes);
    if (count < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            return true;
        }
        std::fprintf(stderr, "station: reading the line failed: %s\n", std::strerror(errno));
        return false;
    }
    for (ssize_t i = 0; i < count; ++i) {
        HandleReply(bytes[i]);
    }
    return true;
}

void Station::HandleReply(unsigned char byte) {
    if (byte == static_cast<unsigned char>(kNak)) {
        ++naks_;
        if (lastBlock_.empty() || lastResent_) {
            std::fprintf(stderr, "station: NAK; scan %lld was resent already, not again\n", sent_);
            return;
        }
        std::fprintf(stderr, "station: NAK; resending scan %lld\n", sent_);
        pending_ += lastBlock_;
        lastResent_ = true;
        holdUntil_ = 0;
    } else if (byte == static_cast<unsigned char>(kAck)) {
        ++acks_;
        std::fprintf(stderr, "station: ACK; the program has given up on a scan\n");
    } else {
        std::fprintf(stderr, "station: unexpected byte 0x%02x from the program\n", byte);
    }
}

bool Station::WritePending() {
    const ssize_t count = write(fd_, pending_.data() + written_, pending_.size() - written_);
    if (count < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            return true;
        }
        std::fprintf(stderr, "station: writing to the line failed: %s\n", std::strerror(errno));
        return false;
    }
    written_ += static_cast<std::size_t>(count);
    if (written_ == pending_.size()) {
        pending_.clear();
        written_ = 0;
    }
    return true;
}

void Station::ReportProgress() {
    const bool countReached = options_.count != 0 && sent_ >= options_.count;
    if (countReached && pending_.empty() && holdUntil_ == 0 && !doneReported_) {
        doneReported_ = true;
        std::fprintf(stderr, "station: all %lld scans sent; staying on the line\n", sent_);
    }
}

}  // namespace brisolant::station
