#pragma once
// The bundled example song, as a Mega Drive plays it: a YM2612 melody on FM channel 1
// over an SN76489 bass line on tone 1 and a noise hi-hat, eight bars that loop. It is a
// plain VGM file (version 1.50) with no DAC or PCM.

#include <cstdint>
#include <vector>

namespace brevox::example {

// The song moves in eighth notes at 160 beats a minute, counted in VGM samples (44100 a second).
constexpr std::uint32_t kSamplesPerStep = 8268;
constexpr std::uint32_t kSongSteps = 64;

// A MIDI key (69 = A4 = 440 Hz; kRest for silence) held for `steps` eighth notes.
struct Note {
  std::uint8_t key;
  std::uint8_t steps;
};
constexpr std::uint8_t kRest = 0;

// The two parts, each kSongSteps long, from the song's start.
const std::vector<Note>& FmMelody();
const std::vector<Note>& PsgBass();

// The equal-tempered frequency of `key`.
double KeyHz(std::uint8_t key);

// The whole VGM file: the header with both chips' clocks, the patch, then the two parts
// and the hi-hat together, looping back to the first note.
std::vector<std::uint8_t> ExampleSong();

}  // namespace brevox::example
