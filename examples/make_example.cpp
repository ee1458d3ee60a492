// Writes the bundled example song: a short looping three-voice tune for the
// SN76489, in plain VGM, so that the README's first command has something of
// our own to convert.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr std::uint32_t kClock = 3579545;
constexpr std::uint32_t kSamplesPerBeat = 44100 / 4;  // 240 beats a minute

std::vector<std::uint8_t> song;

void Put32(std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) song[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Psg(std::uint8_t value) {
  song.push_back(0x50);
  song.push_back(value);
}

// Sets `channel` to the MIDI note `note` at attenuation `volume` (15 = off).
void Tone(int channel, int note, int volume) {
  const double frequency = 440.0 * std::pow(2.0, (note - 69) / 12.0);
  const auto period = static_cast<std::uint32_t>(std::lround(kClock / (32.0 * frequency))) & 0x3FF;
  Psg(static_cast<std::uint8_t>(0x80 | channel << 5 | (period & 0x0F)));
  Psg(static_cast<std::uint8_t>(period >> 4));
  Psg(static_cast<std::uint8_t>(0x90 | channel << 5 | volume));
}

void Wait(std::uint32_t samples) {
  for (; samples > 0;) {
    const std::uint32_t step = samples > 0xFFFF ? 0xFFFF : samples;
    song.push_back(0x61);
    song.push_back(static_cast<std::uint8_t>(step));
    song.push_back(static_cast<std::uint8_t>(step >> 8));
    samples -= step;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-example <output.vgm>\n");
    return 2;
  }
  song.assign(0x40, 0);
  const char id[] = "Vgm ";
  for (int i = 0; i < 4; ++i) song[i] = static_cast<std::uint8_t>(id[i]);
  Put32(0x08, 0x150);
  Put32(0x0C, kClock);
  Put32(0x34, 0x40 - 0x34);
  for (int channel = 0; channel < 4; ++channel) Psg(static_cast<std::uint8_t>(0x9F | channel << 5));

  const int melody[] = {72, 76, 79, 76, 74, 77, 81, 77, 72, 76, 79, 84, 83, 79, 74, 71};
  const int bass[] = {48, 48, 53, 53, 48, 48, 55, 55};
  const std::size_t loop_start = song.size();
  std::uint32_t samples = 0;
  for (int repeat = 0; repeat < 2; ++repeat) {
    for (int beat = 0; beat < 16; ++beat) {
      Tone(0, melody[beat], 2);
      if (beat % 2 == 0) Tone(1, bass[beat / 2], 4);
      Tone(2, melody[(beat + 2) % 16] - 12, 8);
      Wait(kSamplesPerBeat);
      samples += kSamplesPerBeat;
    }
  }
  song.push_back(0x66);
  Put32(0x04, static_cast<std::uint32_t>(song.size() - 4));
  Put32(0x18, samples);
  Put32(0x1C, static_cast<std::uint32_t>(loop_start - 0x1C));
  Put32(0x20, samples);

  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || std::fwrite(song.data(), 1, song.size(), out) != song.size() || std::fclose(out) != 0) {
    std::fprintf(stderr, "make-example: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
