#include "vgm_writer.h"

#include <cmath>
#include <cstring>

namespace brevox::audio {
namespace {

void Put32(std::vector<std::uint8_t>& out, std::uint32_t offset, std::uint32_t v) {
  for (std::uint32_t i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::uint32_t VgmSamples(double seconds) { return static_cast<std::uint32_t>(std::lround(seconds * kVgmRate)); }

VgmWriter& VgmWriter::Psg(std::uint8_t byte) {
  commands_.insert(commands_.end(), {0x50, byte});
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
  commands_.insert(commands_.end(), {0x4F, routing});
  return *this;
}

VgmWriter& VgmWriter::Wait(std::uint32_t samples) {
  while (samples > 0) {
    if (samples % 735 == 0) {
      Wait62();
      samples -= 735;
    } else if (samples % 882 == 0) {
      Wait63();
      samples -= 882;
    } else if (samples > 16) {
      const std::uint32_t n = samples > 0xFFFF ? 0xFFFF : samples;
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
                   {0x61, static_cast<std::uint8_t>(samples), static_cast<std::uint8_t>(samples >> 8)});
  samples_ += samples;
  return *this;
}

VgmWriter& VgmWriter::Wait62() {
  commands_.push_back(0x62);
  samples_ += 735;
  return *this;
}

VgmWriter& VgmWriter::Wait63() {
  commands_.push_back(0x63);
  samples_ += 882;
  return *this;
}

VgmWriter& VgmWriter::WaitShort(std::uint8_t samples) {
  commands_.push_back(static_cast<std::uint8_t>(0x70 + samples - 1));
  samples_ += samples;
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
  file.push_back(0x66);
  std::memcpy(file.data(), "Vgm ", 4);
  Put32(file, 0x04, static_cast<std::uint32_t>(file.size() - 0x04));
  Put32(file, 0x08, version_);
  Put32(file, 0x0C, clock_);
  Put32(file, 0x18, static_cast<std::uint32_t>(samples_));
  if (has_loop_) {
    Put32(file, 0x1C, header_size_ + loop_offset_ - 0x1C);
    Put32(file, 0x20, static_cast<std::uint32_t>(samples_ - loop_start_samples_));
  }
  Put32(file, 0x24, 60);
  // Sega's PSG: white-noise taps on bits 0 and 3 of a 16-bit register.
  file[0x28] = 0x09;
  file[0x2A] = 16;
  Put32(file, 0x34, header_size_ - 0x34);
  for (const auto& [offset, value] : fields_) Put32(file, offset, value);
  return file;
}

}  // namespace brevox::audio
