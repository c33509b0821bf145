// AC-3 sync frame headers: frame size, sample rate and channel layout, to
// split an AC-3 elementary stream into frames and time them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

struct TAc3Frame {
  uint32_t size = 0;        // bytes, sync word included
  uint32_t sampleRate = 0;  // Hz
  uint32_t bitRate = 0;     // bit/s
  uint8_t acmod = 0;        // audio coding mode (channel layout)
  bool lfe = false;
  static constexpr uint32_t kSamples = 1536;
};

// Parses the header at data (at least 8 bytes); nothing when it is not an
// AC-3 sync frame header (wrong sync word, reserved codes, E-AC-3).
std::optional<TAc3Frame> parseAc3Header(const uint8_t* data, size_t size);
