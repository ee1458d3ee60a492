#pragma once
// The generated YM2151 songs of the audio tests, with the times their checks look at.
// Tones are one carrier alone: connection 7 with C2 sounding and the other operators at
// TL 127 (SinePatch), full at key on and silent at key off. Channels are counted from 0,
// as the registers count them.

#include <array>
#include <cstdint>
#include <vector>

#include "vgm_writer.h"

namespace brevox::audio {

struct OpmPitch {
  std::uint8_t octave;    // 0-7
  std::uint8_t note;      // note code 0-14 (3, 7 and 11 name no note)
  std::uint8_t fraction;  // key fraction, 1/64 semitone
  std::uint8_t multiple;  // the carrier's MUL, 0 = 1/2
};

// The chip's pitch: f = 440 * 2^((n - 56 + KF/64) / 12) * clock / 3579545, times the
// multiple (0 = 1/2), where n = 12 * octave + code - code / 4 counts semitones.
double OpmHz(const OpmPitch& pitch, double clock = kYm2151Clock);

// Each of these for kOpmNoteSeconds in turn (keyed off for the last 50 ms), note i on
// channel i % 8: every octave, note codes on both sides of each gap, key fractions of 0
// and 32, and carrier multiples 0, 1, 2 and 15.
constexpr std::array<OpmPitch, 10> kOpmPitches = {{{4, 10, 0, 1},
                                                   {4, 10, 32, 1},
                                                   {0, 6, 0, 15},
                                                   {1, 8, 32, 15},
                                                   {2, 4, 0, 2},
                                                   {3, 2, 32, 2},
                                                   {5, 14, 32, 0},
                                                   {6, 12, 0, 0},
                                                   {7, 0, 0, 1},
                                                   {3, 9, 32, 1}}};
constexpr double kOpmNoteSeconds = 0.5;
std::vector<std::uint8_t> OpmPitchSong();

// A 440 Hz carrier on channel 0 whose TL steps 0, 1, ... kLastLevel, kLevelStepSeconds
// each (the YM2612 level song's steps).
std::vector<std::uint8_t> OpmLevelSong();

// A carrier at kOpmEdgePitch on channel 2 keyed on at 1 s and off at 2 s; the song ends
// at 2.5 s.
constexpr OpmPitch kOpmEdgePitch = {6, 10, 0, 1};  // 1760 Hz
std::vector<std::uint8_t> OpmKeySong();

// Channel 0, connection 7 with all four operators at TL 0, operator i (M1, C1, M2, C2)
// at MUL kKeyedMultiples[i] of kOpmKeyedPitch: from i * kKeyedSlotSeconds, operator i
// alone is keyed by its bit of register 0x08 for kKeyedSeconds; all of it twice, the
// second pass from 4 * kKeyedSlotSeconds (the first makes the four waveforms).
constexpr std::array<std::uint8_t, 4> kKeyedMultiples = {1, 2, 3, 5};
constexpr OpmPitch kOpmKeyedPitch = {3, 10, 0, 1};  // 220 Hz
constexpr double kKeyedSlotSeconds = 0.5;
constexpr double kKeyedSeconds = 0.4;
std::vector<std::uint8_t> OpmOperatorKeySong();

// Songs rewrite patches between notes and under them. All eight channels sound a silent
// note (TL 127); passes of register writes (kBurstWrites a pass: every operator register,
// connection and pitch of every channel, each write changing its register, the notes 60
// dB down or more) follow, one write every `spacing` samples from `start`; then
// kOpmEdgePitch on channel 2 is keyed on at 1 s and off at 2 s, as in OpmKeySong, and the
// song ends at 2.5 s.
constexpr std::uint32_t kBurstWrites = 8 * 27;
// Between notes: the notes released at 0.3 s, then two passes 30 samples apart from
// 0.65 s (1470 writes a second).
std::vector<std::uint8_t> OpmPatchesBetweenNotesSong();
// Under notes: one pass 160 samples apart from 0 s (276 writes a second, each to a
// sounding note), the notes released at kSoundingKeyOff, channel 2's patch written at
// kTestNotePrepared.
constexpr double kSoundingKeyOff = 0.9;
constexpr double kTestNotePrepared = 0.95;
std::vector<std::uint8_t> OpmPatchesUnderNotesSong();

// For one second, channel 0 at kOpmLeftPitch routed left only (RL bits 01) and channel 5
// at kOpmRightPitch right only (10).
constexpr OpmPitch kOpmLeftPitch = {4, 10, 0, 1};  // 440 Hz
constexpr OpmPitch kOpmRightPitch = {5, 5, 0, 1};  // 698 Hz
std::vector<std::uint8_t> OpmPanSong();

}  // namespace brevox::audio
