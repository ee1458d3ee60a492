// The generated songs must be what the benchmarks claim to measure: valid
// streams of the stated size and command mix, packed without any repair.

#include "bench/stream_generator.h"

#include <gtest/gtest.h>

#include <map>

#include "format/byte_order.h"
#include "format/output_sink.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"
#include "input/load_input.h"
#include "packer/pack.h"

namespace brevox {
namespace {

constexpr StreamKind kKinds[] = {StreamKind::kPsg, StreamKind::kFm, StreamKind::kPcm, StreamKind::kBlock};

// What a walk over the commands found.
struct Census {
  // Commands seen, keyed by command byte; YM2612 port-0 writes by 0x5200 | register.
  std::map<std::uint32_t, std::uint32_t> counts;
  std::uint32_t zero_seeks = 0;
  // Index just past the first 0x66, or 0 when the walk ran off the end.
  std::uint32_t end = 0;
};

Census Walk(const ByteBuffer& song) {
  Census census;
  std::uint32_t i = DataStart(song.data());
  while (i < song.size()) {
    const std::uint8_t command = song[i];
    if (command == kEndOfData) {
      census.end = i + 1;
      break;
    }
    const std::uint64_t length = VgmCommandLength(&song[i], song.size() - i);
    if (length == 0) break;
    ++census.counts[command == kYm2612Port0Write ? 0x5200u | song[i + 1] : command];
    if (command == kPcmSeek && ReadLe32(&song[i + 1]) == 0) ++census.zero_seeks;
    i += static_cast<std::uint32_t>(length);
  }
  return census;
}

std::uint32_t CountIn(const Census& census, std::uint32_t first, std::uint32_t last) {
  std::uint32_t total = 0;
  for (const auto& [key, count] : census.counts) {
    if (key >= first && key <= last) total += count;
  }
  return total;
}

TEST(StreamGenerator, SongsHaveTheExactSizeEndOnceAndRepeat) {
  for (const StreamKind kind : kKinds) {
    for (const std::uint32_t size : {300u, 4096u, 100003u}) {
      SCOPED_TRACE(std::string(StreamKindName(kind)) + " " + std::to_string(size));
      const ByteBuffer song = GenerateVgm(kind, size);
      ASSERT_EQ(song.size(), size);
      EXPECT_EQ(ReadLe32(&song[kEofOffsetField]) + kEofOffsetField, size);
      // The only end-of-data command is the last byte, so the whole file is measured.
      EXPECT_EQ(Walk(song).end, size);
      EXPECT_EQ(GenerateVgm(kind, size), song);
    }
  }
  EXPECT_EQ(GenerateVgm(StreamKind::kPsg, 10).size(), 256u);
}

TEST(StreamGenerator, EachKindCarriesItsCommandMix) {
  Census psg = Walk(GenerateVgm(StreamKind::kPsg, 1u << 16));
  EXPECT_GT(psg.counts[kSn76489Write], 10000u);
  EXPECT_GT(CountIn(psg, kShortWaitFirst, kShortWaitFirst + 15), 1000u);
  EXPECT_EQ(CountIn(psg, 0x5200, 0x52FF) + psg.counts[kYm2612Port1Write] + CountIn(psg, 0x80, 0x8F), 0u);

  Census fm = Walk(GenerateVgm(StreamKind::kFm, 1u << 16));
  EXPECT_GT(fm.counts[0x5227], 100u);
  EXPECT_GT(fm.counts[0x5225] + fm.counts[0x5226], 100u);
  EXPECT_GT(CountIn(fm, 0x5230, 0x52AF), 1000u);
  EXPECT_GT(fm.counts[kYm2612Port1Write], 1000u);
  EXPECT_EQ(fm.counts[kSn76489Write], 0u);

  Census pcm = Walk(GenerateVgm(StreamKind::kPcm, 1u << 16));
  EXPECT_EQ(pcm.counts[kDataBlock], 1u);
  EXPECT_GT(pcm.zero_seeks, 0u);
  EXPECT_GT(pcm.counts[kPcmSeek], pcm.zero_seeks);
  EXPECT_GT(CountIn(pcm, 0x80, 0x8F), 20 * pcm.counts[kPcmSeek]);
  EXPECT_GT(CountIn(pcm, kShortWaitFirst, kShortWaitFirst + 15), 10 * pcm.counts[kPcmSeek]);

  // The whole song but the header, the wait and the end is one block.
  Census block = Walk(GenerateVgm(StreamKind::kBlock, 1u << 16));
  EXPECT_EQ(block.counts, (std::map<std::uint32_t, std::uint32_t>{{kDataBlock, 1}, {kShortWaitFirst, 1}}));
}

TEST(StreamGenerator, SongsPackWithoutRepairsAndLoopAfterTheBank) {
  for (const StreamKind kind : kKinds) {
    SCOPED_TRACE(StreamKindName(kind));
    const ByteBuffer song = GenerateVgm(kind, 1u << 16);
    LoadedInput input;
    StringSink sink;
    ASSERT_TRUE(PrepareInput(song, "song.vgm", InputEncoding::kPlain, &input, sink));
    std::uint32_t expected_loop = kVgmHeaderSize;
    if (kind == StreamKind::kPcm) expected_loop += kDataBlockHeaderSize + (1u << 13);
    if (kind == StreamKind::kBlock) expected_loop = (1u << 16) - 2;
    EXPECT_EQ(input.loop_position, expected_loop);
    PackResult result;
    ASSERT_TRUE(PackVgm(std::move(input), &result, sink));
    EXPECT_FALSE(result.rewrite.end_added);
    EXPECT_FALSE(result.rewrite.loop_dropped);
    EXPECT_EQ(result.rewrite.loop_position, expected_loop);
    EXPECT_EQ(sink.text().find("Warning"), std::string::npos) << sink.text();
    // Timer writes, repeated modes and folded waits must leave the rewrite with less to do.
    if (kind == StreamKind::kFm || kind == StreamKind::kPcm) {
      EXPECT_LT(result.rewrite.length, song.size());
    }
  }
}

}  // namespace
}  // namespace brevox
