#pragma once

#include <string>
#include <string_view>

namespace brisolant {

// With parity marking on, the Linux line driver delivers a byte received with a parity or
// framing error as the three bytes \377 \0 X, and a genuine \377 byte doubled. This turns the
// marks back into text: the damaged byte becomes "?" and a doubled \377 one \377. A mark cut
// across two reads is held until its rest arrives.
class ParityMarkDecoder {
  public:
    [[nodiscard]] std::string Decode(std::string_view raw);
    // Forgets a held partial mark (the input was discarded).
    void Reset() { pending_.clear(); }

  private:
    std::string pending_;
};

}  // namespace brisolant
