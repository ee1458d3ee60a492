// The WAV reader on the files our render tool writes, on chunk layouts other writers use,
// and on damaged or unsupported files, which it must refuse without reading past them.
#include "wav_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wav_file.h"

namespace brevox::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Append(Bytes& out, std::uint32_t value, std::uint32_t size) {
  for (std::uint32_t i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A chunk whose size field says `size` (the body's length unless given), padded to even.
Bytes Chunk(const std::string& id, const Bytes& body, std::int64_t size = -1) {
  Bytes out(id.begin(), id.end());
  Append(out, size < 0 ? static_cast<std::uint32_t>(body.size()) : static_cast<std::uint32_t>(size), 4);
  out.insert(out.end(), body.begin(), body.end());
  if (body.size() % 2 == 1) out.push_back(0);
  return out;
}

Bytes Format(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits = 16, std::uint16_t tag = 1) {
  Bytes body;
  Append(body, tag, 2);
  Append(body, channels, 2);
  Append(body, rate, 4);
  Append(body, rate * channels * bits / 8, 4);
  Append(body, channels * bits / 8, 2);
  Append(body, bits, 2);
  return Chunk("fmt ", body);
}

Bytes Riff(const std::vector<Bytes>& chunks, const std::string& kind = "WAVE") {
  Bytes body(kind.begin(), kind.end());
  for (const Bytes& chunk : chunks) body.insert(body.end(), chunk.begin(), chunk.end());
  Bytes out = {'R', 'I', 'F', 'F'};
  Append(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

TEST(WavReader, ReadsTheSamplesThatTheRenderToolWrites) {
  const std::vector<std::int16_t> samples = {0, -1, 32767, -32768, 1234, -4321};
  Bytes file = render::WavHeader(32000, 3);
  for (const std::int16_t s : samples) Append(file, static_cast<std::uint16_t>(s), 2);
  WavAudio audio;
  std::string error;
  ASSERT_TRUE(ParseWav(file, audio, error)) << error;
  EXPECT_EQ(audio.rate, 32000u);
  EXPECT_EQ(audio.channels, 2u);
  EXPECT_EQ(audio.samples, samples);
}

// Other writers put list chunks, odd-sized and padded, before and between the two we read.
TEST(WavReader, SkipsOtherChunksWithTheirPadding) {
  const Bytes file = Riff({Chunk("LIST", {1, 2, 3}), Format(1, 8000), Chunk("fact", {9}), Chunk("data", {5, 0, 0xFB, 0xFF, 7})});
  WavAudio audio;
  std::string error;
  ASSERT_TRUE(ParseWav(file, audio, error)) << error;
  EXPECT_EQ(audio.rate, 8000u);
  EXPECT_EQ(audio.channels, 1u);
  EXPECT_EQ(audio.samples, (std::vector<std::int16_t>{5, -5}));  // the odd last byte is no sample
}

TEST(WavReader, RefusesDamagedAndUnsupportedFiles) {
  const Bytes data = Chunk("data", {1, 0, 2, 0});
  Bytes cut = Riff({Format(2, 32000), data});
  cut.resize(cut.size() - 1);
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty", {}},
      {"not RIFF", Riff({Format(2, 32000), data}, "AVI ")},
      {"only the RIFF header", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'}},
      {"float samples", Riff({Format(2, 32000, 32, 3), data})},
      {"8-bit samples", Riff({Format(2, 32000, 8), data})},
      {"three channels", Riff({Format(3, 32000), data})},
      {"no rate", Riff({Format(2, 0), data})},
      {"a short format chunk", Riff({Chunk("fmt ", Bytes(14, 0)), data})},
      {"data before the format", Riff({data, Format(2, 32000)})},
      {"no data chunk", Riff({Format(2, 32000)})},
      {"the data cut short", cut},
      {"a chunk size near 4 GB", Riff({Format(2, 32000), Chunk("data", {1, 0}, 0xFFFFFFFF)})},
      {"a skipped chunk near 4 GB", Riff({Chunk("LIST", {1, 0}, 0xFFFFFFFE), Format(2, 32000), data})},
  };
  for (const auto& [name, file] : cases) {
    WavAudio audio;
    std::string error;
    EXPECT_FALSE(ParseWav(file, audio, error)) << name;
    EXPECT_NE(error, "") << name;
  }
  WavAudio audio;
  std::string error;
  EXPECT_FALSE(ReadWav("/nonexistent/reference.wav", audio, error));
  EXPECT_NE(error.find("/nonexistent/reference.wav"), std::string::npos) << error;
}

}  // namespace
}  // namespace brevox::audio
