#pragma once

// The station's side of the line: sends scans on schedule and answers the program's replies.

#include <string>

#include "ScanSource.h"
#include "StationOptions.h"

namespace brisolant::station {

class StopSignals;

class Station {
  public:
    Station(int masterFd, const StationOptions& options, const StopSignals& signals);

    // Sends the scans, then stays on the line answering replies until a stop signal.
    // Returns the process exit code.
    int Run();

  private:
    bool ReadyForNextScan(double now) const;
    double SecondsUntilNextScan(double now) const;
    void QueueNextScan(double now);
    bool ReadReplies();
    void HandleReply(unsigned char byte);
    bool WritePending();
    void ReportProgress();

    int m_fd;
    const StationOptions& m_options;
    const StopSignals& m_signals;
    ScanSource m_source;

    std::string m_pending;  // bytes the line has not taken yet
    std::size_t m_written = 0;

    std::string m_lastBlock;  // intact, for a resend on NAK
    bool m_lastResent = true;
    double m_holdUntil = 0;  // after a cut-short block the station waits for the NAK

    long long m_sent = 0;
    double m_nextDue = 0;
    bool m_doneReported = false;
    long long m_naks = 0;
    long long m_acks = 0;
};

}  // namespace brisolant::station
