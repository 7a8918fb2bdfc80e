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

    int fd_;
    const StationOptions& options_;
    const StopSignals& signals_;
    ScanSource source_;

    std::string pending_;  // bytes the line has not taken yet
    std::size_t written_ = 0;

    std::string lastBlock_;  // intact, for a resend on NAK
    bool lastResent_ = true;
    double holdUntil_ = 0;  // after a cut-short block the station waits for the NAK

    long long sent_ = 0;
    double nextDue_ = 0;
    bool doneReported_ = false;
    long long naks_ = 0;
    long long acks_ = 0;
};

}  // namespace brisolant::station
