#pragma once

// Junk without pause, as a runaway station or a faulty line sends it, for the tests that watch
// the program's memory while it lasts.

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <random>
#include <string>

#include "e2e/ProgramUnderTest.h"

namespace brisolant::e2e {

// How long each flood that runs for a fixed time lasts: long enough for the program's memory to
// settle. BRISOLANT_FLOOD_SECONDS (a number of seconds) makes it a longer soak by hand.
inline constexpr std::chrono::seconds kFloodLength{15};

inline std::chrono::seconds FloodLength() {
    const char* text = std::getenv("BRISOLANT_FLOOD_SECONDS");
    const int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? std::chrono::seconds(seconds) : kFloodLength;
}

// The sanitizer keeps freed memory aside for a while (256 MiB by default), which would hide a
// leak's growth or pass for one; a small quarantine keeps the resident-memory figure honest.
inline void KeepMemoryFigureHonest(ProgramUnderTest& program) {
    program.AddEnvironment("ASAN_OPTIONS=detect_leaks=0:quarantine_size_mb=16");
}

// Chunks of junk for a given time: while (flood.Going()) { send flood.Next(), then Took() what
// the line took }.
class JunkFlood {
  public:
    enum class Bytes {
        // Every byte value alike.
        Any,
        // The framing characters often: STX starts blocks, CR LF pairs make lines and, now and
        // then, terminators; long stretches without one fill the buffer.
        FramingOften,
    };
    static constexpr std::size_t kChunk = 4096;
    using Clock = std::chrono::steady_clock;

    JunkFlood(Bytes bytes, unsigned seed, Clock::duration duration)
        : bytes_(bytes), random_(seed), start_(Clock::now()), end_(start_ + duration) {}

    bool Going() const { return Clock::now() < end_; }

    // The next chunk.
    std::string Next() {
        std::string chunk(kChunk, '\0');
        for (char& byte : chunk) {
            byte = bytes_ == Bytes::Any ? static_cast<char>(random_() % 256) : FramingByte();
        }
        if (bytes_ == Bytes::FramingOften && random_() % 4 == 0) {
            chunk.insert(random_() % chunk.size(), "\r\n\r\n");
        }
        return chunk;
    }

    void Took(std::size_t bytes) { taken_ += bytes; }
    std::size_t Taken() const { return taken_; }
    double SecondsSoFar() const {
        return std::chrono::duration<double>(Clock::now() - start_).count();
    }

  private:
    char FramingByte() {
        const unsigned roll = random_() % 64;
        return roll == 0  ? '\x02'
               : roll < 4 ? '\r'
               : roll < 7 ? '\n'
                          : static_cast<char>(random_() % 256);
    }

    Bytes bytes_;
    std::mt19937 random_;
    Clock::time_point start_;
    Clock::time_point end_;
    std::size_t taken_ = 0;
};

}  // namespace brisolant::e2e
