#pragma once
// The generated YM2413 songs of the audio tests, with the times their checks look at.
// Tones are the custom instrument kSineInstrument unless a song says otherwise; channels
// are counted from 0, as the registers count them.

#include <array>
#include <cstdint>
#include <vector>

#include "vgm_writer.h"
#include "ym2413_writer.h"

namespace brevox::audio {

// The factor that the MUL value `multiple` (0-15) stands for: 1/2, 1, 2, ... 10, then
// 10, 12, 12, 15, 15.
double OpllMultiple(std::uint8_t multiple);

// The chip's pitch: f = F * 2^block * clock / (72 * 2^19), times OpllMultiple(multiple).
double OpllHz(std::uint8_t block, std::uint16_t fnumber, std::uint8_t multiple = 1, double clock = kYm2413Clock);

// The carrier alone: a sine at the channel's frequency, full at key on, held while keyed,
// silent at key off (release rate 15); the modulator at its lowest level.
constexpr OpllInstrument kSineInstrument = {0x21, 0x21, 0x3F, 0x00, 0xF0, 0xF0, 0x0F, 0x0F};

struct OpllPitch {
  std::uint8_t block;
  std::uint16_t fnumber;
};

// Each of these for kOpllNoteSeconds in turn (keyed off for the last 50 ms), note i on
// channel i: blocks 1-7, F-numbers with and without bit 8; all of them twice, the second
// pass from kOpllPitches.size() * kOpllNoteSeconds (the first makes the waveform).
constexpr std::array<OpllPitch, 9> kOpllPitches = {
    {{1, 480}, {2, 300}, {3, 172}, {4, 290}, {4, 500}, {5, 256}, {5, 400}, {6, 330}, {7, 255}}};
constexpr double kOpllNoteSeconds = 0.5;
std::vector<std::uint8_t> OpllPitchSong();

// A built-in instrument on a note, with the multiples of its two operators (MUL values as
// the ROM holds them, from the chip's reference).
struct RomInstrumentNote {
  std::uint8_t instrument;  // 1-15
  std::uint8_t modulator_multiple;
  std::uint8_t carrier_multiple;
  OpllPitch pitch;
  // On the chip (ymfm with the ROM of the reference), the carrier's own partial leads
  // every other partial by 4.5 dB or more on this note, from 50 ms into it to its end
  // and in the parts before and after 200 ms; elsewhere the modulator makes another of
  // the pair's frequencies |c + k m| times the channel's the strongest, or as strong.
  bool carrier_strongest;
};
constexpr std::array<RomInstrumentNote, 15> kRomInstrumentNotes = {{{1, 1, 1, {5, 350}, true},
                                                                    {2, 3, 1, {5, 230}, true},
                                                                    {3, 3, 1, {5, 500}, true},
                                                                    {4, 1, 1, {3, 350}, true},
                                                                    {5, 2, 1, {4, 230}, true},
                                                                    {6, 1, 2, {2, 290}, true},
                                                                    {7, 1, 1, {5, 420}, false},
                                                                    {8, 3, 1, {4, 420}, true},
                                                                    {9, 1, 1, {4, 172}, false},
                                                                    {10, 1, 1, {4, 500}, true},
                                                                    {11, 3, 1, {4, 420}, false},
                                                                    {12, 7, 1, {5, 350}, true},
                                                                    {13, 1, 0, {5, 350}, false},
                                                                    {14, 1, 1, {5, 420}, false},
                                                                    {15, 1, 1, {4, 350}, false}}};
// Instrument kRomInstrumentNotes[i] on channel i % 9 for kOpllNoteSeconds, from
// i * kOpllNoteSeconds (keyed off for the last 50 ms).
std::vector<std::uint8_t> RomInstrumentSong();

// A 440 Hz tone on channel 0 at volume 0, 1, ... kLastVolume, kVolumeStepSeconds each.
// The quieter volumes are left out: there the chip's 9-bit output has only a few steps
// of amplitude left, and its own levels stray from 3 dB steps by more than 1 dB.
constexpr std::uint8_t kLastVolume = 12;
constexpr double kVolumeStepSeconds = 0.15;
std::vector<std::uint8_t> OpllVolumeSong();

// A tone at kOpllEdgePitch on channel 3 keyed on at 1 s and off at 2 s; the song ends at
// 2.5 s.
constexpr OpllPitch kOpllEdgePitch = {6, 290};  // 1760 Hz
std::vector<std::uint8_t> OpllKeySong();

// The YM2413 counts its envelope rates on a scale of its own. kAttackInstrument's carrier
// rises at attack rate 4 with key scaling (KSR), so R = 27 on block 5 with F-number bit 8
// set: 30.9 ms to full level on the chip. OpllAttackSong keys it from kAttackKeyOn to
// kAttackKeyOff on channel 0; FmAttackYardstickSong keys a YM2612 sine at attack rate 17
// on block 5 alike, R = 36: 32.7 ms on that chip, the nearest the YM2612 comes.
constexpr OpllInstrument kAttackInstrument = {0x21, 0x31, 0x3F, 0x00, 0xF0, 0x40, 0x0F, 0x0F};
constexpr OpllPitch kAttackPitch = {5, 300};  // 910 Hz
constexpr double kAttackKeyOn = 0.5;
constexpr double kAttackKeyOff = 1.0;
std::vector<std::uint8_t> OpllAttackSong();
std::vector<std::uint8_t> FmAttackYardstickSong();

// kSineInstrument with release rate 9 on channel 1 at 440 Hz: keyed from 0 to
// kReleaseKeyOff[0] without the sustain bit, from kSustainKeyOn to kReleaseKeyOff[1] with
// it; the song ends at kReleaseSongEnd.
constexpr OpllInstrument kReleaseInstrument = {0x21, 0x21, 0x3F, 0x00, 0xF0, 0xF0, 0x0F, 0x09};
constexpr std::array<double, 2> kReleaseKeyOff = {0.5, 1.5};
constexpr double kSustainKeyOn = 1.0;
constexpr double kReleaseSongEnd = 3.5;
std::vector<std::uint8_t> SustainSong();

// Rhythm mode: first a 440 Hz tone on channel 0 at volume 0 for 0.3 s (the level that
// the drums are measured against), silence until kFirstDrum, then each of kDrums keyed
// alone for kDrumKeySeconds, one every kDrumSlotSeconds, all at volume 0; then all of
// them again at kQuietDrumVolume. Channels 6-8 hold kDrumPitches.
struct Drum {
  const char* name;
  std::uint8_t key;
};
constexpr std::array<Drum, 5> kDrums = {
    {{"bass drum", kBassDrum}, {"snare drum", kSnareDrum}, {"tom-tom", kTomTom}, {"top cymbal", kTopCymbal}, {"hi-hat", kHiHat}}};
constexpr std::array<OpllPitch, 3> kDrumPitches = {{{2, 400}, {2, 428}, {1, 300}}};
// The tones among the drums: the bass drum at channel 6's pitch (its carrier's multiple
// is 1), the tom-tom at five times channel 8's (its operator's multiple is 5), and the
// snare drum's at twice channel 7's (the chip switches its output with bit 8 of the
// phase of channel 7's modulator, whose multiple is 1: a square wave at twice its
// frequency, gated by the noise).
constexpr std::uint8_t kSnareToneMultiple = 2;
constexpr std::uint8_t kTomMultiple = 5;
constexpr double kFirstDrum = 0.5;
constexpr double kDrumSlotSeconds = 0.5;
constexpr double kDrumKeySeconds = 0.2;
constexpr std::uint8_t kQuietDrumVolume = 4;
double DrumStart(std::uint32_t pass, std::uint32_t drum);
std::vector<std::uint8_t> RhythmSong();

}  // namespace brevox::audio
