#include "vgm_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "format/byte_order.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox::audio {
namespace {

constexpr std::uint32_t kFrameRate = 60;
// Sega's PSG: white-noise taps on bits 0 and 3 of a 16-bit register.
constexpr std::uint8_t kSegaNoiseTaps = 0x09;
constexpr std::uint8_t kSegaShiftWidth = 16;
constexpr std::uint32_t kLongestWait = 0xFFFF;
constexpr std::uint32_t kLongestShortWait = 16;

void Put32(std::vector<std::uint8_t>& out, std::uint32_t offset, std::uint32_t v) { WriteLe32(&out[offset], v); }

std::uint32_t SamplesOf(std::uint8_t command) { return WaitSamples(&command); }

}  // namespace

std::uint32_t VgmSamples(double seconds) { return static_cast<std::uint32_t>(std::lround(seconds * kVgmRate)); }

VgmWriter& VgmWriter::Psg(std::uint8_t byte) {
  commands_.insert(commands_.end(), {kSn76489Write, byte});
  return *this;
}

VgmWriter& VgmWriter::Tone(std::uint8_t channel, std::uint16_t period) {
  Psg(static_cast<std::uint8_t>(0x80 | channel << 5 | (period & 0x0F)));
  return Psg(static_cast<std::uint8_t>((period >> 4) & 0x3F));
}

VgmWriter& VgmWriter::Attenuation(std::uint8_t channel, std::uint8_t level) {
  return Psg(static_cast<std::uint8_t>(0x90 | channel << 5 | (level & 0x0F)));
}

VgmWriter& VgmWriter::Noise(std::uint8_t mode) { return Psg(static_cast<std::uint8_t>(0xE0 | (mode & 0x07))); }

VgmWriter& VgmWriter::Stereo(std::uint8_t routing) {
  commands_.insert(commands_.end(), {kGameGearStereo, routing});
  return *this;
}

VgmWriter& VgmWriter::Wait(std::uint32_t samples) {
  while (samples > 0) {
    if (samples % SamplesOf(kWait735) == 0) {
      Wait62();
      samples -= SamplesOf(kWait735);
    } else if (samples % SamplesOf(kWait882) == 0) {
      Wait63();
      samples -= SamplesOf(kWait882);
    } else if (samples > kLongestShortWait) {
      const std::uint32_t n = std::min(samples, kLongestWait);
      Wait61(static_cast<std::uint16_t>(n));
      samples -= n;
    } else {
      WaitShort(static_cast<std::uint8_t>(samples));
      samples = 0;
    }
  }
  return *this;
}

VgmWriter& VgmWriter::WaitUntil(double seconds) {
  const std::uint64_t target = VgmSamples(seconds);
  return target > samples_ ? Wait(static_cast<std::uint32_t>(target - samples_)) : *this;
}

VgmWriter& VgmWriter::Wait61(std::uint16_t samples) {
  commands_.insert(commands_.end(),
                   {kWaitSamples, static_cast<std::uint8_t>(samples), static_cast<std::uint8_t>(samples >> 8)});
  samples_ += samples;
  return *this;
}

VgmWriter& VgmWriter::Wait62() {
  commands_.push_back(kWait735);
  samples_ += SamplesOf(kWait735);
  return *this;
}

VgmWriter& VgmWriter::Wait63() {
  commands_.push_back(kWait882);
  samples_ += SamplesOf(kWait882);
  return *this;
}

VgmWriter& VgmWriter::WaitShort(std::uint8_t samples) {
  const auto command = static_cast<std::uint8_t>(kShortWaitFirst + samples - 1);
  commands_.push_back(command);
  samples_ += SamplesOf(command);
  return *this;
}

VgmWriter& VgmWriter::Raw(const std::vector<std::uint8_t>& bytes, std::uint32_t samples) {
  commands_.insert(commands_.end(), bytes.begin(), bytes.end());
  samples_ += samples;
  return *this;
}

VgmWriter& VgmWriter::Header(std::uint32_t offset, std::uint32_t value) {
  fields_.emplace_back(offset, value);
  return *this;
}

VgmWriter& VgmWriter::Sn76489Flags(std::uint8_t flags) {
  sn76489_flags_ = flags;
  return *this;
}

VgmWriter& VgmWriter::RequireVersion(std::uint32_t version) {
  if (version > version_) version_ = version;
  return *this;
}

VgmWriter& VgmWriter::Loop() {
  has_loop_ = true;
  loop_offset_ = static_cast<std::uint32_t>(commands_.size());
  loop_start_samples_ = samples_;
  return *this;
}

std::vector<std::uint8_t> VgmWriter::Build() const {
  std::vector<std::uint8_t> file(header_size_, 0);
  file.insert(file.end(), commands_.begin(), commands_.end());
  file.push_back(kEndOfData);
  std::copy(kVgmIdentification, kVgmIdentification + kVgmIdentificationSize, file.begin());
  Put32(file, kEofOffsetField, static_cast<std::uint32_t>(file.size()) - kEofOffsetField);
  Put32(file, kVersionField, version_);
  Put32(file, kSn76489ClockField, clock_);
  Put32(file, kTotalSamplesField, static_cast<std::uint32_t>(samples_));
  if (has_loop_) {
    Put32(file, kLoopOffsetField, header_size_ + loop_offset_ - kLoopOffsetField);
    Put32(file, kLoopSamplesField, static_cast<std::uint32_t>(samples_ - loop_start_samples_));
  }
  Put32(file, kRateField, kFrameRate);
  file[kSn76489FeedbackField] = kSegaNoiseTaps;
  file[kSn76489ShiftWidthField] = kSegaShiftWidth;
  file[kSn76489FlagsField] = sn76489_flags_;
  Put32(file, kDataOffsetField, header_size_ - kDataOffsetField);
  for (const auto& [offset, value] : fields_) Put32(file, offset, value);
  return file;
}

}  // namespace brevox::audio
