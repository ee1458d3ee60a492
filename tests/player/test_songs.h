#pragma once
// The generated songs of the audio tests, with the times their checks look at.

#include <array>
#include <cstdint>
#include <vector>

#include "vgm_writer.h"

namespace brevox::audio {

// A song whose first writes silence every SN76489 channel.
VgmWriter Silent(std::uint32_t header_size = 0x40, std::uint32_t clock = kPsgClock);

// Each of these periods for one second in turn, alone, on tone channel PitchChannel(i)
// (0x100-byte header).
constexpr std::array<std::uint16_t, 4> kPitchPeriods = {1016, 254, 64, 16};
constexpr std::uint32_t PitchChannel(std::uint32_t i) { return i % 3; }
std::vector<std::uint8_t> PitchSong();

// Tone 0 at N = 254 for kLoudnessStepSeconds at each attenuation 0, 1, ... 15.
constexpr double kLoudnessStepSeconds = 0.25;
std::vector<std::uint8_t> LoudnessSong();
// The same steps on the noise channel with the noise control byte `control`, after
// kLoudnessStepSeconds of silence (the player makes its white noise sample in its first
// 0.1 s and keeps the white noise silent until then).
std::vector<std::uint8_t> NoiseLoudnessSong(std::uint8_t control);

// Tone 0 (N = 64) from 1.000 s to 2.000 s; the song ends at 2.5 s.
std::vector<std::uint8_t> OnOffSong();

// Tone 0 (N = 64) on at 0.5 s, off at 1.0 s, and so on every half second up to
// kDriftSeconds, with waits of every kind (0x61, 0x62, 0x63, 0x70-0x7F).
constexpr double kDriftSeconds = 60.0;
std::vector<std::uint8_t> DriftSong();

// Half a second each of tone 0 at kIntroPeriod, then kLoopPeriods; the loop point
// (when `looping`) is before the first of kLoopPeriods. Both versions end at 1.5 s.
constexpr std::uint16_t kIntroPeriod = 254;
constexpr std::array<std::uint16_t, 2> kLoopPeriods = {127, 190};
constexpr double kLoopSegmentSeconds = 0.5;
std::vector<std::uint8_t> LoopSong(bool looping);

// One second each of the noise channel alone, with each control byte of kNoiseSegments in
// turn and tone 2 (itself silent) at the period given with it.
struct NoiseSegment {
  std::uint8_t control;  // bit 2 white, bits 1-0 the shift rate (3: tone 2's)
  std::uint16_t tone2_period;
};
constexpr std::uint16_t kNoiseTonePeriod = 32;
constexpr std::array<NoiseSegment, 6> kNoiseSegments = {{
    {0x4, kNoiseTonePeriod},  // white at clock/512
    {0x0, kNoiseTonePeriod},  // periodic at clock/512
    {0x3, kNoiseTonePeriod},  // periodic at the rate of tone 2
    {0x1, kNoiseTonePeriod},  // periodic at clock/1024
    {0x2, kNoiseTonePeriod},  // periodic at clock/2048
    {0x7, 16},                // white at the rate of tone 2, as fast as clock/512
}};
std::vector<std::uint8_t> NoiseSong();

// Periodic noise at the rate of tone 2 (N = 1023, itself silent: 109.3 shifts a second,
// a pulse every 146 ms), set at each of kNoiseWriteSeconds (silent before the first);
// tone 2's period is written again (unchanged) at kTone2RewriteSeconds; the song ends at
// 1.6 s.
constexpr std::uint16_t kSlowNoisePeriod = 1023;
constexpr std::array<double, 2> kNoiseWriteSeconds = {0.5, 1.05};
constexpr double kTone2RewriteSeconds = 0.8;
std::vector<std::uint8_t> SlowPeriodicNoiseSong();

// Tone 0 at period 0 for one second, then tone 1 at kInaudiblePeriod (28 kHz) for one
// second, both at attenuation 0, with the header's flag for TI's chips (a period of 0
// means 1024) set or not.
constexpr std::uint16_t kInaudiblePeriod = 4;
std::vector<std::uint8_t> ShortPeriodSong(bool zero_means_1024);

// Tone 0 (N = 254) routed left only and tone 1 (N = 127) right only, for one second.
std::vector<std::uint8_t> StereoSong();

// Tone 0 at N = 254 for one second on a PSG clocked at kPalClock.
constexpr std::uint32_t kPalClock = 3546893;
std::vector<std::uint8_t> PalClockSong();

// OnOffSong's tone with the other chips' commands in between: YM2413, YM2612 and YM2151
// writes that key no note on, a data block, 0x80-0x8F waits and a PCM seek, none of
// which may sound or take time beyond the waits they hold.
std::vector<std::uint8_t> OtherChipsSong();

// Every command byte that a VGM file may hold, once each (0x50 as a PSG write, 0x66 as the
// end, 0x67 as a PCM bank block), with the VGM's operand count of bytes 0x66 after it, so
// that a command read with too few operands ends the song and one read with too many
// swallows the next: tone 1 plays kEveryCommandTone from the start, and
// kEveryCommandSeconds into the song (after the commands' own waits and half a second)
// kEveryCommandLastTone for another half second. Waits take no operand bytes 0x66: 0x61
// waits 0 samples, 0x62, 0x63 and 0x70-0x8F their own lengths.
constexpr std::uint16_t kEveryCommandTone = 200;
constexpr std::uint16_t kEveryCommandLastTone = 100;
double EveryCommandSeconds();
std::vector<std::uint8_t> EveryCommandSong();

// Frequency of SN76489 tone period `n` at the test songs' clock.
double ToneHz(std::uint16_t n, double clock = kPsgClock);

}  // namespace brevox::audio
