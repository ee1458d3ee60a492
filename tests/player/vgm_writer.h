#pragma once
// Writes VGM files of SN76489 writes and waits, for generated test songs (version 1.51,
// or later when a command needs it); other chips' commands go through Raw or a companion
// writer such as Ym2612Writer.

#include <cstdint>
#include <utility>
#include <vector>

#include "format/vgm_header.h"

namespace brevox::audio {

constexpr std::uint32_t kPsgClock = 3579545;
constexpr std::uint32_t kVgmRate = 44100;

// The FM chips' clocks as the consoles and computers used them (the header's fields for
// them are in format/vgm_header.h; a chip whose clock is 0 is absent).
constexpr std::uint32_t kYm2413Clock = 3579545;
constexpr std::uint32_t kYm2612Clock = 7670453;  // NTSC Mega Drive
constexpr std::uint32_t kYm2151Clock = 3579545;

// `seconds` in VGM samples, rounded to the nearest.
std::uint32_t VgmSamples(double seconds);

class VgmWriter {
 public:
  // `header_size` is 0x40 or 0x100: where the commands start.
  explicit VgmWriter(std::uint32_t header_size = kVgmHeaderSize, std::uint32_t clock = kPsgClock)
      : header_size_(header_size), clock_(clock) {}

  // 0x50 dd: one byte to the PSG.
  VgmWriter& Psg(std::uint8_t byte);
  // Latch and data byte: tone `channel` (0-2) period `period` (10 bits).
  VgmWriter& Tone(std::uint8_t channel, std::uint16_t period);
  // Attenuation `level` (0 loudest, 15 off) of `channel` (0-3).
  VgmWriter& Attenuation(std::uint8_t channel, std::uint8_t level);
  // Noise control: bit 2 white, bits 1-0 shift rate.
  VgmWriter& Noise(std::uint8_t mode);
  // 0x4F dd: Game Gear stereo, bits 4-7 channels to the left, bits 0-3 to the right.
  VgmWriter& Stereo(std::uint8_t routing);

  // Waits `samples` with the fewest commands: 0x62, 0x63, 0x61 nnnn and 0x70-0x7F.
  VgmWriter& Wait(std::uint32_t samples);
  VgmWriter& Wait61(std::uint16_t samples);  // 0x61 nn nn
  VgmWriter& Wait62();                       // 735 samples
  VgmWriter& Wait63();                       // 882 samples
  VgmWriter& WaitShort(std::uint8_t samples);  // 0x70-0x7F: 1-16 samples
  // Waits `seconds`, rounded to whole samples.
  VgmWriter& WaitSeconds(double seconds) { return Wait(VgmSamples(seconds)); }
  // Waits until the song's time is `seconds`; nothing if it is already.
  VgmWriter& WaitUntil(double seconds);

  // Appends command bytes as they are, counting `samples` waited in them.
  VgmWriter& Raw(const std::vector<std::uint8_t>& bytes, std::uint32_t samples = 0);

  // Sets the 32-bit header field at `offset` (such as another chip's clock).
  VgmWriter& Header(std::uint32_t offset, std::uint32_t value);
  // The SN76489 flags byte (bit 0: a tone period of 0 means 1024, as on TI's chips).
  VgmWriter& Sn76489Flags(std::uint8_t flags);

  // Raises the version (BCD, 0x151 = 1.51) to `version` if it is lower: the first
  // version that defines a command written.
  VgmWriter& RequireVersion(std::uint32_t version);

  // The loop point is the next command.
  VgmWriter& Loop();

  // Samples waited so far.
  std::uint64_t samples() const { return samples_; }
  // The commands written so far, without the end command that Build adds.
  const std::vector<std::uint8_t>& commands() const { return commands_; }

  // The whole file: header, commands, 0x66.
  std::vector<std::uint8_t> Build() const;

 private:
  std::uint32_t header_size_;
  std::uint32_t clock_;
  std::uint32_t version_ = 0x151;
  std::uint8_t sn76489_flags_ = 0;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> fields_;
  std::vector<std::uint8_t> commands_;
  std::uint64_t samples_ = 0;
  bool has_loop_ = false;
  std::uint32_t loop_offset_ = 0;  // into commands_
  std::uint64_t loop_start_samples_ = 0;
};

}  // namespace brevox::audio
