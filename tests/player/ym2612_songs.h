#pragma once
// The generated YM2612 songs of the audio tests, with the times their checks look at.
// Every song silences the SN76489 first; FM notes use channels at both ports.

#include <array>
#include <cstdint>
#include <vector>

#include "vgm_writer.h"
#include "ym2612_writer.h"

namespace brevox::audio {

// The chip's pitch: f = F * 2^block * clock / (144 * 2^21), times the multiple (0 = 1/2).
double FmHz(std::uint8_t block, std::uint16_t fnumber, std::uint8_t multiple = 1, double clock = kYm2612Clock);

// Operator 4 alone sounds (algorithm 7, the others at TL 127): a sine at `multiple`
// times the channel's frequency, at TL `level`, full at key on and silent at key off.
FmPatch SinePatch(std::uint8_t level = 0, std::uint8_t multiple = 1);

struct FmPitch {
  std::uint8_t block;
  std::uint16_t fnumber;
  std::uint8_t multiple;  // the carrier's
};

// Each of these for kFmNoteSeconds in turn (keyed off for the last 50 ms), note i on
// channel i % 6; all of them twice, the second pass from kFmPitches.size() *
// kFmNoteSeconds. The first note of each patch plays the player's stand-in sine while its
// waveform is made, and moves to the waveform within the note; the second pass plays the
// waveforms from their key-ons.
constexpr std::array<FmPitch, 10> kFmPitches = {{{4, 1083, 1},
                                                 {4, 1083, 0},
                                                 {3, 700, 2},
                                                 {2, 600, 15},
                                                 {2, 1500, 1},
                                                 {6, 644, 1},
                                                 {1, 1200, 2},
                                                 {0, 1000, 15},
                                                 {1, 1000, 2},
                                                 {5, 1200, 2}}};
constexpr double kFmNoteSeconds = 0.5;
std::vector<std::uint8_t> FmPitchSong();

// A 440 Hz sine on channel 1 whose TL steps 0, 1, ... kLastLevel, kLevelStepSeconds each.
constexpr std::uint8_t kLastLevel = 24;
constexpr double kLevelStepSeconds = 0.15;
std::vector<std::uint8_t> FmLevelSong();

// A sine of kEdgePitch on channel 2 keyed on at 1 s and off at 2 s; the song ends at 2.5 s.
constexpr FmPitch kEdgePitch = {6, 1083, 1};
std::vector<std::uint8_t> FmKeySong();

// For one second, channel 1 at kLeftPitch routed left only and channel 5 at kRightPitch
// right only.
constexpr FmPitch kLeftPitch = {4, 1083, 1};
constexpr FmPitch kRightPitch = {5, 700, 1};
std::vector<std::uint8_t> FmPanSong();

// Four operators of multiple 1 at TL kAlgorithmLevel each on kAlgorithmPitch: algorithm 7
// (four carriers) from 0 to 0.5 s, algorithm 0 (one carrier, three modulators) from 0.6 to
// 1.1 s; the song ends at 1.2 s.
constexpr std::uint8_t kAlgorithmLevel = 20;
constexpr FmPitch kAlgorithmPitch = {4, 1083, 1};
std::vector<std::uint8_t> FmAlgorithmSong();

// Algorithm 0 on kAlgorithmPitch, operator 4 at TL 0 phase-modulated by operator 3 (1 and
// 2 silent): at TL kBrightModulatorLevel from 0 to 0.5 s (bright), at TL 127 from 0.6 to
// 1.1 s (a plain sine); the song ends at 1.2 s.
constexpr std::uint8_t kBrightModulatorLevel = 20;
std::vector<std::uint8_t> FmBrightnessSong();

// FmBrightnessSong's bright note with its modulator attacking at AR kSlowModulatorAttack
// (R 26 on kAlgorithmPitch: the chip's attack takes 175 ms, and 100 ms into the note the
// modulator is within 5 dB of its level), twice: from 0 to 0.5 s and from
// kSecondAttackNote to 1.1 s; the song ends at 1.2 s.
constexpr std::uint8_t kSlowModulatorAttack = 12;
constexpr double kSecondAttackNote = 0.6;
std::vector<std::uint8_t> FmModulatorAttackSong();

// A stretch of a DAC song: from `start` to `end` seconds it sounds a sine of `hz`, or
// nothing when `hz` is 0.
struct DacSegment {
  double start, end, hz;
};
// The PCM bank of the DAC songs: one second of kDacSineHz[0], then one of kDacSineHz[1],
// 8-bit unsigned at kDacRate.
constexpr std::uint32_t kDacRate = 11025;
constexpr std::array<double, 2> kDacSineHz = {600, 900};
std::vector<std::uint8_t> DacSines();

// The bank played by 0x84 writes (kDacRate): a seek to the second sine, a second of it,
// a seek to 0, a second of the first; then the DAC holds its last value for a second.
constexpr std::array<DacSegment, 3> kDacWriteSegments = {{{0, 1, 900}, {1, 2, 600}, {2, 3, 0}}};
std::vector<std::uint8_t> DacWriteSong();

// The bank (one block per sine) played by DAC stream 0 at kDacRate: 0x93 from the second
// sine's start for kDacRate writes, then 0x95 of block 0, then 0x95 of block 1 looping
// until 0x94 stops it at 3.5 s.
constexpr std::array<DacSegment, 4> kDacStreamSegments = {{{0, 1, 900}, {1, 2, 600}, {2, 3.5, 900}, {3.5, 4.5, 0}}};
std::vector<std::uint8_t> DacStreamSong();

// Ten notes at distinct pitches and levels: the six FM channels (sines at block 4) and
// the SN76489's three tones and its periodic noise (at clock / 512); their sum peaks at
// half of full scale in libgme, leaving room for a player's mix.
struct ChordNote {
  bool fm;
  std::uint8_t channel;
  std::uint16_t pitch;  // F-number, or the tone's period (unused for the noise)
  std::uint8_t level;   // TL, or attenuation
};
constexpr std::array<ChordNote, 10> kChord = {{{true, 0, 600, 8},
                                               {true, 1, 768, 12},
                                               {true, 2, 845, 16},
                                               {true, 3, 1335, 48},
                                               {true, 4, 1412, 20},
                                               {true, 5, 1552, 24},
                                               {false, 0, 159, 5},
                                               {false, 1, 285, 14},
                                               {false, 2, 399, 7},
                                               {false, 3, 0, 3}}};
// The two quietest of kChord, at least 12 dB below the others (a periodic noise, one
// pulse in 16, is about 7 dB quieter than a tone at the same attenuation).
constexpr std::array<std::uint32_t, 2> kChordQuietest = {3, 7};
// The fundamental of note `note` of kChord; no note's lies within 30 Hz of another
// note's harmonics.
double ChordHz(std::uint32_t note);
// Note i alone from i * kChordSlotSeconds for kChordAloneSeconds; then all ten from
// kChordTogether for one second; then all keyed off (FM) or at attenuation 15 (PSG) until
// kChordEnd.
constexpr double kChordSlotSeconds = 0.35;
constexpr double kChordAloneSeconds = 0.3;
constexpr double kChordTogether = 3.5;
constexpr double kChordEnd = 5.0;
std::vector<std::uint8_t> ChordSong();

// Every kDenseStep samples (2 ms), all six channels' 0xA4 and 0xA0 and their carrier's TL
// are written: channels 1, 3, 5 with a vibrato and a TL alternating 0 and 1, channels 2,
// 4, 6 with the same values every time (9000 writes a second). Note n sounds on channel
// n % 6 from DenseNoteOn(n) for kDenseNoteSeconds, one at a time. The song loops every
// kDenseLoopSeconds (six notes), which keeps it within the sound RAM; the checks play it
// for kDenseSeconds (kDenseNotes notes).
constexpr std::uint32_t kDenseStep = 88;
constexpr std::uint32_t kDenseWritesPerStep = 6 * 3;
constexpr double kDenseLoopSeconds = 1.5;
constexpr double kDenseSeconds = 10;
constexpr std::uint32_t kDenseNotes = 40;
constexpr double kDenseNoteSeconds = 0.125;
constexpr double DenseNoteOn(std::uint32_t n) { return 0.1 + 0.25 * n; }
std::vector<std::uint8_t> DenseSong();

}  // namespace brevox::audio
