#include "example_song.h"

#include <algorithm>
#include <cmath>

#include "format/byte_order.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox::example {
namespace {

constexpr std::uint32_t kPsgClock = 3579545;  // NTSC Mega Drive
constexpr std::uint32_t kFmClock = 7670453;
constexpr std::uint32_t kVersion = 0x150;

// VGM command bytes: register writes and waits.
using Commands = std::vector<std::uint8_t>;

// Commands to send `at` samples after the loop start.
struct Event {
  std::uint32_t at;
  Commands commands;
};

// The melody, one bar of eight eighths a line.
std::vector<Note> MakeMelody() {
  return {
      {76, 2}, {81, 2}, {79, 1}, {76, 1}, {72, 2},  // A minor
      {77, 2}, {81, 2}, {84, 2}, {81, 2},           // F
      {79, 3}, {76, 1}, {72, 2}, {76, 2},           // C
      {74, 2}, {79, 2}, {83, 3}, {kRest, 1},        // G
      {81, 2}, {84, 2}, {83, 1}, {81, 1}, {76, 2},  // A minor
      {77, 2}, {81, 1}, {79, 1}, {77, 2}, {72, 2},  // F
      {74, 2}, {79, 2}, {83, 2}, {86, 2},           // G
      {76, 4}, {80, 2}, {83, 2},                    // E
  };
}

// The chords' roots on every eighth, an octave up on the third and seventh.
std::vector<Note> BassBar(std::uint8_t root) {
  const auto octave = static_cast<std::uint8_t>(root + 12);
  return {{root, 1}, {root, 1}, {octave, 1}, {root, 1}, {root, 1}, {root, 1}, {octave, 1}, {root, 1}};
}

std::vector<Note> MakeBass() {
  std::vector<Note> bass;
  // A2, F3, C3, G3, A2, F3, G3, E3: A2 is the lowest A that the SN76489 reaches.
  for (const std::uint8_t root : {45, 53, 48, 55, 45, 53, 55, 52}) {
    const std::vector<Note> bar = BassBar(root);
    bass.insert(bass.end(), bar.begin(), bar.end());
  }
  return bass;
}

// --- The YM2612 part: one patch on channel 1, heard on both sides.

constexpr std::uint8_t kFmChannel = 0;
// Key-off comes this long before the next note so that the release is heard.
constexpr std::uint32_t kFmGap = 735;

struct Operator {
  std::uint8_t multiple;       // 0-15 (0 = 1/2)
  std::uint8_t total_level;    // 0-127, 0.75 dB steps
  std::uint8_t attack_rate;    // 0-31
  std::uint8_t decay_rate;     // 0-31, to the sustain level
  std::uint8_t sustain_rate;   // 0-31, below it while the key is held
  std::uint8_t sustain_level;  // 0-15, 3 dB steps
  std::uint8_t release_rate;   // 0-15
};

// Algorithm 4: operator 1 modulates carrier 2 and operator 3 modulates carrier 4. The
// modulators decay faster than the carriers, so each note starts bright and mellows;
// carrier 4 an octave up adds a bell-like edge, operator 1's feedback some buzz.
constexpr std::uint8_t kAlgorithm = 4;
constexpr std::uint8_t kFeedback = 5;
constexpr Operator kOperators[4] = {
    {1, 30, 31, 10, 2, 3, 6},  // operator 1, modulator
    {1, 4, 31, 5, 3, 2, 7},    // operator 2, carrier
    {2, 40, 31, 12, 2, 4, 6},  // operator 3, modulator
    {2, 16, 31, 6, 3, 2, 7},   // operator 4, carrier
};
// Register offsets of operators 1-4 within a block of operator registers.
constexpr std::uint8_t kOperatorSlot[4] = {0, 8, 4, 12};

void Fm(Commands& out, std::uint8_t reg, std::uint8_t value) { out.insert(out.end(), {kYm2612Port0Write, reg, value}); }

void FmOperator(Commands& out, std::uint8_t op, std::uint8_t base, std::uint8_t value) {
  Fm(out, static_cast<std::uint8_t>(base + kOperatorSlot[op] + kFmChannel), value);
}

Commands FmPatch() {
  Commands out;
  for (std::uint8_t op = 0; op < 4; ++op) {
    const Operator& o = kOperators[op];
    FmOperator(out, op, 0x30, o.multiple);
    FmOperator(out, op, 0x40, o.total_level);
    FmOperator(out, op, 0x50, o.attack_rate);
    FmOperator(out, op, 0x60, o.decay_rate);
    FmOperator(out, op, 0x70, o.sustain_rate);
    FmOperator(out, op, 0x80, static_cast<std::uint8_t>(o.sustain_level << 4 | o.release_rate));
  }
  Fm(out, 0xB0 + kFmChannel, kFeedback << 3 | kAlgorithm);
  Fm(out, 0xB4 + kFmChannel, 0xC0);  // left and right
  return out;
}

// Block and F-number of `key`: the lowest block whose F-number fits in 11 bits, for the
// finest steps.
Commands FmNoteOn(std::uint8_t key) {
  const double per_block_one = KeyHz(key) * 144.0 * (1 << 21) / kFmClock;
  std::uint8_t block = 0;
  while (block < 7 && std::lround(per_block_one / (1 << block)) > 2047) ++block;
  const auto fnumber = static_cast<std::uint16_t>(std::lround(per_block_one / (1 << block)));
  Commands out;
  Fm(out, 0xA4 + kFmChannel, static_cast<std::uint8_t>(block << 3 | fnumber >> 8));
  Fm(out, 0xA0 + kFmChannel, static_cast<std::uint8_t>(fnumber & 0xFF));
  Fm(out, 0x28, 0xF0 | kFmChannel);  // all four operators on
  return out;
}

Commands FmNoteOff() {
  Commands out;
  Fm(out, 0x28, kFmChannel);
  return out;
}

std::vector<Event> MelodyEvents() {
  std::vector<Event> events;
  std::uint32_t at = 0;
  for (const Note& note : FmMelody()) {
    const std::uint32_t end = at + note.steps * kSamplesPerStep;
    if (note.key != kRest) {
      events.push_back({at, FmNoteOn(note.key)});
      events.push_back({end - kFmGap, FmNoteOff()});
    }
    at = end;
  }
  return events;
}

// --- The SN76489 part: the bass on tone 1 (channel 0), a hi-hat on the noise channel.

constexpr std::uint8_t kBassChannel = 0;
constexpr std::uint8_t kNoiseChannel = 3;
// Attenuations in 2 dB steps (15 = off): the bass is plucked, loud then softer.
constexpr std::uint8_t kBassAttack = 2;
constexpr std::uint8_t kBassHold = 5;
constexpr std::uint8_t kHatLevel = 7;
constexpr std::uint32_t kHatSamples = 1470;
constexpr std::uint8_t kOff = 15;

void Psg(Commands& out, std::uint8_t byte) { out.insert(out.end(), {kSn76489Write, byte}); }

void Attenuation(Commands& out, std::uint8_t channel, std::uint8_t level) {
  Psg(out, static_cast<std::uint8_t>(0x90 | channel << 5 | level));
}

Commands Silence() {
  Commands out;
  for (std::uint8_t channel = 0; channel < 4; ++channel) Attenuation(out, channel, kOff);
  return out;
}

Commands BassOn(std::uint8_t key) {
  const auto period = static_cast<std::uint16_t>(std::lround(kPsgClock / (32.0 * KeyHz(key))));
  Commands out;
  Psg(out, static_cast<std::uint8_t>(0x80 | kBassChannel << 5 | (period & 0x0F)));
  Psg(out, static_cast<std::uint8_t>(period >> 4));
  Attenuation(out, kBassChannel, kBassAttack);
  return out;
}

Commands BassHold() {
  Commands out;
  Attenuation(out, kBassChannel, kBassHold);
  return out;
}

std::vector<Event> BassEvents() {
  std::vector<Event> events;
  std::uint32_t at = 0;
  for (const Note& note : PsgBass()) {
    events.push_back({at, BassOn(note.key)});
    events.push_back({at + kSamplesPerStep / 2, BassHold()});
    at += note.steps * kSamplesPerStep;
  }
  return events;
}

// A short burst of white noise on every off-beat eighth.
std::vector<Event> HatEvents() {
  std::vector<Event> events;
  for (std::uint32_t step = 1; step < kSongSteps; step += 2) {
    Commands on;
    Psg(on, 0xE4);  // white noise, shifted at clock / 512
    Attenuation(on, kNoiseChannel, kHatLevel);
    Commands off;
    Attenuation(off, kNoiseChannel, kOff);
    events.push_back({step * kSamplesPerStep, on});
    events.push_back({step * kSamplesPerStep + kHatSamples, off});
  }
  return events;
}

// --- The file.

void Wait(Commands& out, std::uint32_t samples) {
  for (; samples > 0;) {
    const std::uint32_t step = std::min<std::uint32_t>(samples, 0xFFFF);
    out.insert(out.end(), {kWaitSamples, static_cast<std::uint8_t>(step), static_cast<std::uint8_t>(step >> 8)});
    samples -= step;
  }
}

// All parts' events in time order, with the waits between them, to the song's end.
Commands Sequence() {
  std::vector<Event> events = MelodyEvents();
  for (const std::vector<Event>& part : {BassEvents(), HatEvents()}) {
    events.insert(events.end(), part.begin(), part.end());
  }
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) { return a.at < b.at; });
  Commands out;
  std::uint32_t now = 0;
  for (const Event& event : events) {
    Wait(out, event.at - now);
    now = event.at;
    out.insert(out.end(), event.commands.begin(), event.commands.end());
  }
  Wait(out, kSongSteps * kSamplesPerStep - now);
  return out;
}

std::vector<std::uint8_t> Header() {
  std::vector<std::uint8_t> header(kVgmHeaderSize, 0);
  std::copy(kVgmIdentification, kVgmIdentification + kVgmIdentificationSize, header.begin());
  WriteLe32(&header[kVersionField], kVersion);
  WriteLe32(&header[kSn76489ClockField], kPsgClock);
  header[kSn76489FeedbackField] = 0x09;  // the Sega SN76489's white noise: taps 0 and 3 of a 16-bit register
  header[kSn76489ShiftWidthField] = 16;
  WriteLe32(&header[kYm2612ClockField], kFmClock);
  WriteLe32(&header[kDataOffsetField], kVgmHeaderSize - kDataOffsetField);
  return header;
}

}  // namespace

const std::vector<Note>& FmMelody() {
  static const std::vector<Note> melody = MakeMelody();
  return melody;
}

const std::vector<Note>& PsgBass() {
  static const std::vector<Note> bass = MakeBass();
  return bass;
}

double KeyHz(std::uint8_t key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

std::vector<std::uint8_t> ExampleSong() {
  std::vector<std::uint8_t> file = Header();
  const Commands setup = Silence();
  const Commands patch = FmPatch();
  file.insert(file.end(), setup.begin(), setup.end());
  file.insert(file.end(), patch.begin(), patch.end());
  const auto loop_start = static_cast<std::uint32_t>(file.size());
  const Commands song = Sequence();
  file.insert(file.end(), song.begin(), song.end());
  file.push_back(kEndOfData);
  const std::uint32_t samples = kSongSteps * kSamplesPerStep;
  WriteLe32(&file[kEofOffsetField], static_cast<std::uint32_t>(file.size() - kEofOffsetField));
  WriteLe32(&file[kTotalSamplesField], samples);
  WriteLe32(&file[kLoopOffsetField], loop_start - kLoopOffsetField);
  WriteLe32(&file[kLoopSamplesField], samples);
  return file;
}

}  // namespace brevox::example
