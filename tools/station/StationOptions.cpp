#include "StationOptions.h"

#include <cmath>
#include <stdexcept>

namespace brisolant::station {
namespace {

class ArgumentReader {
  public:
    explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

    bool AtEnd() const { return next_ >= args_.size(); }
    const std::string& Take() { return args_[next_++]; }

    std::string Value(const std::string& option) {
        if (AtEnd()) {
            throw std::invalid_argument(option + " needs a value");
        }
        return Take();
    }

    double Number(const std::string& option, double minimum) {
        const std::string text = Value(option);
        std::size_t used = 0;
        double value = 0;
        try {
            value = std::stod(text, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != text.size() || !std::isfinite(value) || value < minimum) {
            throw std::invalid_argument(option + ": not a number of at least " +
                                        FormatMinimum(minimum) + ": \"" + text + "\"");
        }
        return value;
    }

    long long Whole(const std::string& option, long long minimum, long long maximum) {
        const std::string text = Value(option);
        std::size_t used = 0;
        long long value = 0;
        try {
            value = std::stoll(text, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (text.empty() || used != text.size() || value < minimum || value > maximum) {
            throw std::invalid_argument(option + ": not a whole number from " +
                                        std::to_string(minimum) + " to " + std::to_string(maximum) +
                                        ": \"" + text + "\"");
        }
        return value;
    }

  private:
    static std::string FormatMinimum(double minimum) {
        std::string text = std::to_string(minimum);
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
        return text;
    }

    const std::vector<std::string>& args_;
    std::size_t next_ = 0;
};

ScanKind ParseKind(const std::string& text) {
    if (text == "sample") {
        return ScanKind::Sample;
    }
    if (text == "metric") {
        return ScanKind::Metric;
    }
    if (text == "random") {
        return ScanKind::Random;
    }
    throw std::invalid_argument("--scan: expected sample, metric or random, not \"" + text + "\"");
}

}  // namespace

StationOptions ParseStationOptions(const std::vector<std::string>& args) {
    constexpr long long kMaxCount = 1'000'000'000'000LL;
    StationOptions options;
    ArgumentReader reader(args);
    while (!reader.AtEnd()) {
        const std::string option = reader.Take();
        if (option == "--help" || option == "-h") {
            options.help = true;
        } else if (option == "--version") {
            options.version = true;
        } else if (option == "--scan") {
            options.kind = ParseKind(reader.Value(option));
        } else if (option == "--sample-first") {
            options.sampleFirst = true;
        } else if (option == "--rate") {
            options.rate = reader.Number(option, 0.001);
        } else if (option == "--flood") {
            options.flood = true;
        } else if (option == "--count") {
            options.count = reader.Whole(option, 0, kMaxCount);
        } else if (option == "--short-every") {
            options.shortEvery = reader.Whole(option, 0, kMaxCount);
        } else if (option == "--noise-every") {
            options.noiseEvery = reader.Whole(option, 0, kMaxCount);
        } else if (option == "--noise-first") {
            options.noiseFirst = true;
        } else if (option == "--no-stx") {
            options.noStx = true;
        } else if (option == "--link") {
            options.linkPath = reader.Value(option);
            if (options.linkPath.empty()) {
                throw std::invalid_argument("--link needs a path");
            }
        } else if (option == "--wait-open") {
            options.waitOpen = true;
        } else if (option == "--pid") {
            options.waitPid = static_cast<int>(reader.Whole(option, 1, 0x7fffffff));
        } else if (option == "--start-delay") {
            options.startDelay = reader.Number(option, 0.0);
        } else if (option == "--seed") {
            options.seed = static_cast<unsigned>(reader.Whole(option, 0, 0xffffffffLL));
        } else if (option == "--verbose" || option == "-v") {
            options.verbose = true;
        } else {
            throw std::invalid_argument("unknown option \"" + option + "\" (try --help)");
        }
    }
    return options;
}

const char* StationUsage() {
    return R"(Usage: brisolant-station [options]

Plays a parcel dimensioning station on a new pseudo-terminal. The first line
written to stdout is the terminal's path (open it as the serial port); ACK,
NAK and other replies from the program are logged to stderr.

Scans are sent as the station sends them: STX, nine labelled lines each ended
by CR LF, and one more CR LF. A NAK (code 21) is answered by sending the last
scan once more; an ACK (code 6) is logged.

What to send:
  --scan KIND         sample  the built-in test scan (barcode 1234567890)
                      metric  27.9 x 57.9 x 34.5 cm, 5.64 kg, factor 5000
                      random  random parcels, inch or centimetre (default)
                      metric and random scans carry unique, increasing
                      barcodes: PCL000000001, PCL000000002, ...
  --sample-first      send the built-in test scan before the others
  --count N           number of scans, 0 = no end (default 0); the station
                      stays on the line after the last one until stopped
  --rate R            scans per second (default 1; 0.5 = one every 2 s)
  --flood             send as fast as the line takes them
  --short-every K     send every K-th scan cut short (under 50 characters,
                      with the terminator), as if garbled on the line; the
                      next scan waits for the NAK (up to 2 s), and the NAK
                      brings the intact scan
  --noise-every K     put a few garbage bytes (no STX, CR or LF) before
                      every K-th scan
  --noise-first       put a burst of noise before the first scan, as a
                      device powering up sends: bytes such as 0x00 and 0xFF,
                      one stray STX among them, and a stray CR LF
  --no-stx            send every scan without its STX, as a station that
                      marks no start
  --seed N            seed for random parcels and noise (default 1)

Line and start:
  --link PATH         also make a symbolic link PATH to the terminal (an
                      existing link there is replaced; removed at exit)
  --wait-open         send nothing until a process has the terminal open
  --pid PID           with --wait-open: wait for this process only
  --start-delay S     wait S more seconds before the first scan
  --verbose, -v       log every block sent
  --help, -h          show this text
  --version           show the version, which is Brisolant's

Stops cleanly on SIGINT, SIGTERM or SIGHUP (its terminal window closed), removing its link.
)";
}

}  // namespace brisolant::station
