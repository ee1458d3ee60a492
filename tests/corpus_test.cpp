// Real VGM files written by others: each converts cleanly, the same through a
// gzip copy, and each image loads and plays in a real SPC player (libgme).

#include <gme/gme.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    EXPECT_EQ(direct.exit_status, 1) << direct.stdout_text;
    EXPECT_TRUE(too_large || direct.stdout_text.find("Error: ") != std::string::npos ||
                direct.stdout_text.find("Illegal command: ") != std::string::npos)
        << direct.stdout_text;
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

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest, ::testing::ValuesIn(testing::CorpusParameters()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return testing::CorpusTestName(info.param);
                         });

}  // namespace
}  // namespace brevox
