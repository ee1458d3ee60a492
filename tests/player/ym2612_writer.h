#pragma once
// Writes YM2612 commands into a VgmWriter's song: register writes on both ports, patches,
// frequencies, keys and pan, and the DAC's PCM as songs feed it (a PCM bank, 0x80-0x8F
// writes with 0xE0 seeks, and the DAC stream commands 0x90-0x95).

#include <array>
#include <cstdint>
#include <vector>

#include "vgm_writer.h"

namespace brevox::audio {

// One operator's registers: 0x30 DT/MUL, 0x40 TL, 0x50 KS/AR, 0x60 D1R, 0x70 D2R,
// 0x80 D1L/RR. The defaults start at full level at once, hold and stop at once.
struct FmOperator {
  std::uint8_t detune = 0;         // 0-7 (4-7 detune down)
  std::uint8_t multiple = 1;       // 0-15, 0 = 1/2
  std::uint8_t total_level = 0;    // 0-127, 0.75 dB steps
  std::uint8_t key_scale = 0;      // 0-3
  std::uint8_t attack_rate = 31;   // 0-31
  std::uint8_t decay_rate = 0;     // D1R, 0-31
  std::uint8_t sustain_rate = 0;   // D2R, 0-31
  std::uint8_t sustain_level = 0;  // D1L, 0-15
  std::uint8_t release_rate = 15;  // 0-15
};

struct FmPatch {
  std::uint8_t algorithm = 7;  // 0-7
  std::uint8_t feedback = 0;   // 0-7, operator 1's
  // By operator number: [0] is operator 1, ... [3] operator 4.
  std::array<FmOperator, 4> operators;
};

// The operators of a key-on mask bit by bit: bit 0 is operator 1.
constexpr std::uint8_t kAllOperators = 0x0F;

// The DAC stream commands' chip type for the YM2612 (its place in the header's clocks).
constexpr std::uint8_t kStreamChipYm2612 = 0x02;

// Length modes of 0x93 (bits 3-0 of its mode byte).
enum class StreamLength : std::uint8_t { kKeep = 0, kWrites = 1, kMilliseconds = 2, kToBankEnd = 3 };

// Flag bits of 0x95.
constexpr std::uint8_t kStreamLoop = 0x01;

class Ym2612Writer {
 public:
  // Sets the header's YM2612 clock to `clock`.
  explicit Ym2612Writer(VgmWriter& vgm, std::uint32_t clock = kYm2612Clock);

  // 0x52 / 0x53: register `reg` of port `port` (0 or 1) = `value`.
  Ym2612Writer& Write(std::uint8_t port, std::uint8_t reg, std::uint8_t value);

  // Every register of `patch` for `channel` (0-5): the operators', then algorithm and feedback.
  Ym2612Writer& Patch(std::uint8_t channel, const FmPatch& patch);
  // TL of `op` (operator number 1-4) of `channel`.
  Ym2612Writer& TotalLevel(std::uint8_t channel, std::uint8_t op, std::uint8_t level);
  // Block and F-number (11 bits), written 0xA4 then 0xA0 as games do.
  Ym2612Writer& Frequency(std::uint8_t channel, std::uint8_t block, std::uint16_t fnumber);
  // 0x28: the operators of `mask` keyed on, the others off.
  Ym2612Writer& Key(std::uint8_t channel, std::uint8_t mask = kAllOperators);
  Ym2612Writer& KeyOff(std::uint8_t channel) { return Key(channel, 0); }
  // 0xB4: output to the left and right sides.
  Ym2612Writer& Pan(std::uint8_t channel, bool left, bool right);

  // 0x2B: channel 6 plays the DAC (true) or its FM operators.
  Ym2612Writer& Dac(bool enabled);
  // A data block of type 0x00: `samples` (8-bit unsigned) appended to the PCM bank.
  Ym2612Writer& PcmBlock(const std::vector<std::uint8_t>& samples);
  // 0xE0: the bank position of the next 0x80-0x8F.
  Ym2612Writer& Seek(std::uint32_t offset);
  // 0x80-0x8F: the bank byte at the position to the DAC, then a wait of `samples` (0-15).
  Ym2612Writer& DacWrite(std::uint8_t samples);

  // 0x90: stream `stream` writes the YM2612's DAC register (port 0, 0x2A).
  Ym2612Writer& StreamSetup(std::uint8_t stream);
  // 0x91: it reads bank `bank`, `step_size` items per write, from `step_base` on.
  Ym2612Writer& StreamData(std::uint8_t stream, std::uint8_t bank = 0, std::uint8_t step_size = 1,
                           std::uint8_t step_base = 0);
  // 0x92: `hz` writes per second.
  Ym2612Writer& StreamFrequency(std::uint8_t stream, std::uint32_t hz);
  // 0x93: from byte `offset` of the bank, for `length` counted as `mode` says; `loop`
  // starts again at the end.
  Ym2612Writer& StreamStart(std::uint8_t stream, std::uint32_t offset, StreamLength mode, std::uint32_t length,
                            bool loop = false);
  // 0x94: stop (stream 0xFF: all streams).
  Ym2612Writer& StreamStop(std::uint8_t stream);
  // 0x95: the whole data block number `block` of the bank (counted from 0 in file order).
  Ym2612Writer& StreamBlock(std::uint8_t stream, std::uint16_t block, std::uint8_t flags = 0);

 private:
  // The register of `op` (1-4) of `channel` in the operator block at `base`, on its port.
  Ym2612Writer& OperatorWrite(std::uint8_t channel, std::uint8_t op, std::uint8_t base, std::uint8_t value);
  // A DAC stream command: raises the version to the one that defined them.
  Ym2612Writer& Stream(const std::vector<std::uint8_t>& bytes);

  VgmWriter& vgm_;
};

}  // namespace brevox::audio
