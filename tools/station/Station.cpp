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
    : m_fd(masterFd), m_options(options), m_signals(signals), m_source(options) {}

int Station::Run() {
    m_nextDue = MonotonicSeconds();
    while (!m_signals.Stopped()) {
        const double now = MonotonicSeconds();
        if (ReadyForNextScan(now)) {
            QueueNextScan(now);
        }
        ReportProgress();
        pollfd line{m_fd, static_cast<short>(POLLIN | (m_pending.empty() ? 0 : POLLOUT)), 0};
        const int ready = m_signals.Wait(&line, 1, SecondsUntilNextScan(now));
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
    std::fprintf(stderr, "station: stopped after %lld scans, %lld NAK, %lld ACK\n", m_sent, m_naks,
                 m_acks);
    return 0;
}

bool Station::ReadyForNextScan(double now) const {
    const bool countReached = m_options.count != 0 && m_sent >= m_options.count;
    return !countReached && m_pending.empty() && now >= m_holdUntil &&
           (m_options.flood || now >= m_nextDue);
}

// Negative means no timeout: the next event is a reply, the line taking bytes, or a signal.
double Station::SecondsUntilNextScan(double now) const {
    const bool countReached = m_options.count != 0 && m_sent >= m_options.count;
    if (countReached || !m_pending.empty()) {
        return -1;
    }
    const double due = std::max(m_holdUntil, m_options.flood ? now : m_nextDue);
    return std::max(0.0, due - now);
}

void Station::QueueNextScan(double now) {
    if (m_holdUntil != 0) {
        std::fprintf(stderr, "station: no NAK came for the cut-short scan %lld\n", m_sent);
        m_holdUntil = 0;
    }
    ++m_sent;
    if (m_options.noiseEvery != 0 && m_sent % m_options.noiseEvery == 0) {
        m_pending += m_source.Noise();
    }
    m_lastBlock = Block(m_source.NextScanText());
    m_lastResent = false;
    const bool cutShort = m_options.shortEvery != 0 && m_sent % m_options.shortEvery == 0;
    m_pending += cutShort ? ShortBlock(m_lastBlock) : m_lastBlock;
    if (cutShort) {
        m_holdUntil = now + kNakWait;
    }
    if (m_options.verbose) {
        std::fprintf(stderr, "station: scan %lld%s\n", m_sent, cutShort ? ", cut short" : "");
    }
    const double period = 1.0 / m_options.rate;
    m_nextDue = std::max(m_nextDue, now - period) + period;
}

bool Station::ReadReplies() {
    unsigned char bytes[256];
    const ssize_t count = read(m_fd, bytes, sizeof bytes);
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
        ++m_naks;
        if (m_lastBlock.empty() || m_lastResent) {
            std::fprintf(stderr, "station: NAK; scan %lld was resent already, not again\n", m_sent);
            return;
        }
        std::fprintf(stderr, "station: NAK; resending scan %lld\n", m_sent);
        m_pending += m_lastBlock;
        m_lastResent = true;
        m_holdUntil = 0;
    } else if (byte == static_cast<unsigned char>(kAck)) {
        ++m_acks;
        std::fprintf(stderr, "station: ACK; the program has given up on a scan\n");
    } else {
        std::fprintf(stderr, "station: unexpected byte 0x%02x from the program\n", byte);
    }
}

bool Station::WritePending() {
    const ssize_t count = write(m_fd, m_pending.data() + m_written, m_pending.size() - m_written);
    if (count < 0) {
        if (errno == EAGAIN || errno == EINTR) {
            return true;
        }
        std::fprintf(stderr, "station: writing to the line failed: %s\n", std::strerror(errno));
        return false;
    }
    m_written += static_cast<std::size_t>(count);
    if (m_written == m_pending.size()) {
        m_pending.clear();
        m_written = 0;
    }
    return true;
}

void Station::ReportProgress() {
    const bool countReached = m_options.count != 0 && m_sent >= m_options.count;
    if (countReached && m_pending.empty() && m_holdUntil == 0 && !m_doneReported) {
        m_doneReported = true;
        std::fprintf(stderr, "station: all %lld scans sent; staying on the line\n", m_sent);
    }
}

}  // namespace brisolant::station
