// Real songs: our SPC image against libgme's own playing of the VGM's SN76489 part.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "analysis.h"
#include "harness.h"
#include "music_score.h"
#include "psg_synth.h"
#include "support/corpus.h"
#include "vgm_commands.h"

namespace brevox::audio {
namespace {

constexpr double kSeconds = 30;

class RealMusic : public ::testing::TestWithParam<const char*> {
 protected:
  std::string path() const { return testing::CorpusFile(GetParam()); }

  std::vector<std::uint8_t> File() const {
    std::ifstream in(path(), std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  // libgme playing the song's SN76489 part alone, as the player plays it (for an
  // SN76489-only song, the same commands as the file).
  Rendering Reference() const { return RenderSong(Source::kVgm, PsgPart(File()), kSeconds); }
};

TEST_P(RealMusic, SpcSoundsLikeTheVgm) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const Rendering vgm = Reference();
  ASSERT_EQ(vgm.error, "");
  const Rendering spc = RenderPath(Source::kSpc, path(), kSeconds);
  ASSERT_EQ(spc.error, "");
  const MusicScore s = ScoreAgainst(vgm.mono, spc.mono, kRate);
  std::printf("score %s: %.4f over %u of %u frames\n", GetParam(), s.score, s.counted, s.frames);
  RecordProperty("score", std::to_string(s.score));
  ASSERT_GT(s.counted, s.frames / 4) << "the VGM rendering is mostly silent";
  EXPECT_GE(s.score, 0.90);
}

// The score's yardstick: ideal square waves from the same writes score high, so the
// threshold is one a faithful player can reach.
TEST_P(RealMusic, IdealSquareWavesScoreHigh) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const Rendering vgm = Reference();
  ASSERT_EQ(vgm.error, "");
  std::string error;
  const std::vector<float> ideal = SynthesizePsg(File(), kSeconds, kRate, error);
  ASSERT_EQ(error, "");
  const MusicScore s = ScoreAgainst(vgm.mono, ideal, kRate);
  std::printf("ideal square waves %s: %.4f over %u of %u frames\n", GetParam(), s.score, s.counted, s.frames);
  EXPECT_GE(s.score, 0.93);
}

// The score's own check: a rendering scores 1 against itself and far lower against
// the same song half a second later.
TEST(RealMusicScore, IsOneForTheSameRenderingAndLowForAnotherPassage) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const std::string path = testing::CorpusFile("coleco/1Antarctic.vgm");
  const Rendering a = RenderPath(Source::kVgm, path, 10);
  const Rendering b = RenderPath(Source::kVgm, path, 10, 0.5);
  ASSERT_EQ(a.error, "");
  ASSERT_EQ(b.error, "");
  const MusicScore same = ScoreAgainst(a.mono, a.mono, kRate);
  const MusicScore shifted = ScoreAgainst(a.mono, b.mono, kRate);
  std::printf("self score %.4f, shifted by 0.5 s %.4f\n", same.score, shifted.score);
  EXPECT_NEAR(same.score, 1.0, 1e-9);
  EXPECT_EQ(same.frames, 200u);
  EXPECT_LT(shifted.score, 0.85);
}

// The SN76489-only songs, and one with YM2612 writes among its SN76489 writes that
// fits the sound RAM (the player must skip those in time).
// The reference's own check: the SN76489 part of an SN76489-only song plays exactly as
// the song does, through its loop (1Antarctic loops after 25.6 s).
TEST(RealMusicReference, PsgPartOfAnSn76489OnlySongPlaysTheSame) {
  BREVOX_SKIP_WITHOUT_CORPUS();
  const std::string path = testing::CorpusFile("coleco/1Antarctic.vgm");
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_NE(ReadLe32(file, 0x1C), 0u) << "the song was expected to loop";
  const Rendering whole = RenderPath(Source::kVgm, path, 40);
  const Rendering part = RenderSong(Source::kVgm, PsgPart(file), 40);
  ASSERT_EQ(whole.error, "");
  ASSERT_EQ(part.error, "");
  EXPECT_TRUE(whole.left == part.left && whole.right == part.right);
  EXPECT_GT(Rms(part.mono, At(30), At(10)), 0.01) << "silent after the loop point";
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealMusic,
                         ::testing::Values("coleco/1Antarctic.vgm", "coleco/2CaGames.vgm", "coleco/3DDragon.vgm",
                                           "mml/testDCSG.vgm", "sgdk/sonic1.vgm"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           name = name.substr(name.find('/') + 1);
                           return name.substr(0, name.find('.'));
                         });

}  // namespace
}  // namespace brevox::audio
