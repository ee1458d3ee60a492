// Real VGM files written by others: each converts cleanly, the same through a
// gzip copy, and each image loads and plays in a real SPC player (libgme). The
// command table is checked against them: their waits, read with it, add up to
// what their headers say, before and after packing.

#include <gme/gme.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "format/byte_order.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"
#include "input/load_input.h"
#include "packer/decoder.h"
#include "packer/pack.h"
#include "support/command_walk.h"
#include "support/corpus.h"
#include "support/run_process.h"
#include "support/vgm_builder.h"

namespace brevox {
namespace {

using testing::ProcessResult;
using testing::TempDirectory;

// Plays one second of the image in libgme; returns the error text, empty when fine.
std::string PlayOneSecond(const std::string& spc_path) {
  Music_Emu* emu = nullptr;
  if (gme_err_t error = gme_open_file(spc_path.c_str(), &emu, 32000)) return error;
  std::string result;
  if (gme_err_t error = gme_start_track(emu, 0)) {
    result = error;
  } else {
    std::vector<short> samples(2 * 32000);
    if (gme_err_t play_error = gme_play(emu, static_cast<int>(samples.size()), samples.data())) {
      result = play_error;
    }
  }
  gme_delete(emu);
  return result;
}

// A corpus file loaded and packed in-process, with its input image kept.
struct Packing {
  std::string messages;
  ByteBuffer input;
  std::uint32_t data_start = 0;
  bool packed = false;
  PackResult result;
  DecodedStream decoded;
};

Packing PackCorpusFile(const std::string& relative) {
  Packing out;
  StringSink sink;
  ByteBuffer read_back;
  LoadedInput input;
  if (LoadInput(testing::CorpusFile(relative), &read_back, &input, sink)) {
    out.input = input.image;
    out.data_start = input.data_start;
    out.packed = PackVgm(std::move(input), &out.result, sink);
    const ByteBuffer& packed = out.result.packed;
    if (out.packed) out.decoded = DecodePackedStream(packed.data(), static_cast<std::uint32_t>(packed.size()));
  }
  out.messages = sink.text();
  return out;
}

class CorpusTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CorpusTest, ConvertsCleanlyAndPlays) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const std::string source = testing::CorpusFile(GetParam());
  TempDirectory dir;
  testing::WriteFile(dir.File("s-smp_player.bin"), testing::ReadFile(BREVOX_PLAYER_FILE));
  const ProcessResult direct = testing::RunProcess(BREVOX_EXECUTABLE, {source, "direct.spc"}, dir.path());
  const ByteBuffer image = testing::ReadFile(dir.File("direct.spc"));
  const bool too_large = direct.stdout_text.find("Error: the vgm data is too large to fit") != std::string::npos;
  ASSERT_NE(direct.exit_status, -1) << "crashed";
  if (direct.exit_status == 0) {
    EXPECT_EQ(image.size(), 66048u);
    EXPECT_EQ(PlayOneSecond(dir.File("direct.spc")), "");
  } else {
    // Every corpus file is a VGM file that reads whole; only the size limit may refuse one.
    EXPECT_EQ(direct.exit_status, 1) << direct.stdout_text;
    EXPECT_TRUE(too_large) << direct.stdout_text;
    EXPECT_TRUE(image.empty());
  }

  // The same content through the gzip path gives the same outcome and image.
  const std::string gzip_copy = dir.File("copy.vgz");
  const ByteBuffer raw = testing::ReadFile(source);
  if (raw.size() >= 2 && raw[0] == 0x1F && raw[1] == 0x8B) {
    testing::WriteFile(gzip_copy, raw);
  } else {
    testing::WriteGzipFile(gzip_copy, raw);
  }
  const ProcessResult packed = testing::RunProcess(BREVOX_EXECUTABLE, {gzip_copy, "gzip.spc"}, dir.path());
  EXPECT_EQ(packed.exit_status, direct.exit_status);
  EXPECT_EQ(testing::ReadFile(dir.File("gzip.spc")), image);
}

// The waits of the input, read with the command table, add up to the header's
// total within the one sample that some writing tools round away; a table that
// misreads an operand as a command finds false waits. After packing, the waits
// are the same less one sample for each short wait that a DAC write absorbed.
TEST_P(CorpusTest, WaitsAddUpToTheHeaderTotalBeforeAndAfterPacking) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const Packing packing = PackCorpusFile(GetParam());
  ASSERT_TRUE(packing.packed) << packing.messages;
  ASSERT_EQ(packing.decoded.error, DecodeError::kNone) << DecodeErrorName(packing.decoded.error);

  const testing::WaitTotal input = testing::VgmWaits(packing.input, packing.data_start);
  ASSERT_TRUE(input.ended);
  const std::int64_t header_total = ReadLe32(&packing.input[kTotalSamplesField]);
  const std::int64_t header_over_waits = header_total - static_cast<std::int64_t>(input.samples);
  if (GetParam() == "mml/testHuC6280.vgm") {
    // Its writer counted 142 samples more than the file waits (known, checked by hand).
    EXPECT_EQ(header_over_waits, 142);
  } else {
    EXPECT_LE(std::abs(header_over_waits), 1) << "waits " << input.samples << ", header " << header_total;
  }

  const testing::WaitTotal packed = testing::PackedWaits(packing.decoded.commands, 0);
  ASSERT_TRUE(packed.ended);
  ASSERT_GE(input.short_waits, packed.short_waits);
  EXPECT_EQ(packed.samples + (input.short_waits - packed.short_waits), input.samples);
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, ::testing::ValuesIn(testing::CorpusParameters()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return testing::CorpusTestName(info.param);
                         });

// A second SN76489 (0x30 dd) read one byte at a time made 1518 samples of false waits.
TEST(CorpusSongs, SecondSn76489IsLeftOutWithAWarningAndNoFalseWaits) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const Packing packing = PackCorpusFile("coleco/wb_psg2.vgz");
  ASSERT_TRUE(packing.packed) << packing.messages;
  EXPECT_TRUE(packing.result.fits);
  EXPECT_NE(packing.messages.find("\nWarning: the vgm data has commands for other chips; they were left out\n"),
            std::string::npos)
      << packing.messages;
  const testing::WaitTotal packed = testing::PackedWaits(packing.decoded.commands, 0);
  EXPECT_EQ(packed.samples, ReadLe32(&packing.input[kTotalSamplesField]));
  std::uint32_t second_chip_writes = 0;
  testing::WalkPackedCommands(packing.decoded.commands, 0, [&](const std::uint8_t* command, std::uint64_t) {
    if (*command == 0x30) ++second_chip_writes;
  });
  EXPECT_EQ(second_chip_writes, 0u);
}

// The DAC stream commands that play this song's drums reach the packed stream
// whole and in order.
TEST(CorpusSongs, DacStreamCommandsOfSonic1TravelWhole) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const Packing packing = PackCorpusFile("sgdk/sonic1.vgm");
  ASSERT_TRUE(packing.packed) << packing.messages;
  auto stream_commands = [](std::vector<ByteBuffer>* found) {
    return [found](const std::uint8_t* command, std::uint64_t length) {
      if (*command >= kDacStreamFirst && *command <= kDacStreamLast) found->emplace_back(command, command + length);
    };
  };
  std::vector<ByteBuffer> in_input;
  std::vector<ByteBuffer> in_packed;
  ASSERT_TRUE(testing::WalkVgmCommands(packing.input, packing.data_start, stream_commands(&in_input)));
  ASSERT_TRUE(testing::WalkPackedCommands(packing.decoded.commands, 0, stream_commands(&in_packed)));
  EXPECT_GT(in_input.size(), 300u);
  EXPECT_EQ(in_packed, in_input);
}

}  // namespace
}  // namespace brevox
