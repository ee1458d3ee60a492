#pragma once
// A plain square-wave SN76489 synthesis straight from a VGM file's writes, as a yardstick
// for the music score: what a faithful rendition with ideal waveforms scores.

#include <cstdint>
#include <string>
#include <vector>

namespace brevox::audio {

// The first `seconds` of the VGM file `vgm` (uncompressed), mono at `rate`, following
// its loop; tones as ideal squares, noise from Sega's 16-bit register, levels at
// 2 dB per step. Empty with `error` set when the file is not a VGM.
std::vector<float> SynthesizePsg(const std::vector<std::uint8_t>& vgm, double seconds, double rate,
                                 std::string& error);

}  // namespace brevox::audio
