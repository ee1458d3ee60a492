// brevox-render as a user runs it: the WAV it writes, its exit statuses, and an
// existing output file left alone on failure.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "harness.h"
#include "render.h"
#include "test_songs.h"

namespace brevox::audio {
namespace {

using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDirectory;

std::uint32_t Le(const std::vector<std::uint8_t>& b, std::uint32_t at, std::uint32_t size) {
  std::uint32_t v = 0;
  for (std::uint32_t i = 0; i < size; ++i) v |= static_cast<std::uint32_t>(b[at + i]) << (8 * i);
  return v;
}

ProcessResult Render(const TempDirectory& directory, const std::vector<std::string>& arguments) {
  return RunProcess(BREVOX_RENDER_EXECUTABLE, arguments, directory.path());
}

// Checks the header of a 16-bit stereo PCM WAV of `frames` frames at `rate`.
void ExpectWav(const std::vector<std::uint8_t>& wav, std::uint32_t rate, std::uint32_t frames) {
  ASSERT_EQ(wav.size(), 44u + 4u * frames);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(Le(wav, 4, 4), wav.size() - 8);
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le(wav, 16, 4), 16u);
  EXPECT_EQ(Le(wav, 20, 2), 1u);  // PCM
  EXPECT_EQ(Le(wav, 22, 2), 2u);  // channels
  EXPECT_EQ(Le(wav, 24, 4), rate);
  EXPECT_EQ(Le(wav, 28, 4), 4 * rate);
  EXPECT_EQ(Le(wav, 32, 2), 4u);
  EXPECT_EQ(Le(wav, 34, 2), 16u);
  EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
  EXPECT_EQ(Le(wav, 40, 4), 4 * frames);
}

TEST(RenderTool, WritesTheSongsSamplesAsAWavOfTheAskedLength) {
  const TempDirectory directory;
  const std::string vgm = directory.File("song.vgm");
  ASSERT_TRUE(WriteBytes(vgm, PitchSong()));
  const ProcessResult asked = Render(directory, {"song.vgm", "asked.wav", "--seconds", "1.5", "--rate=22050"});
  ASSERT_EQ(asked.exit_status, 0) << asked.stderr_text;
  const std::vector<std::uint8_t> wav = ReadBytes(directory.File("asked.wav"));
  ExpectWav(wav, 22050, 33075);
  // The samples are libgme's, little-endian, left first.
  std::string error;
  const std::vector<std::int16_t> expected = render::RenderFile(vgm, 22050, 0, 33075, error);
  ASSERT_EQ(error, "");
  std::uint32_t differing = 0, loud = 0;
  for (std::uint32_t i = 0; i < expected.size(); ++i) {
    differing += static_cast<std::int16_t>(Le(wav, 44 + 2 * i, 2)) != expected[i];
    loud += expected[i] > 1000 || expected[i] < -1000;
  }
  EXPECT_EQ(differing, 0u);
  EXPECT_GT(loud, expected.size() / 4);

  const ProcessResult defaults = Render(directory, {"song.vgm", "defaults.wav"});
  ASSERT_EQ(defaults.exit_status, 0) << defaults.stderr_text;
  ExpectWav(ReadBytes(directory.File("defaults.wav")), 44100, 30 * 44100);

  std::string failed;
  const std::string spc = ConvertWithBrevox(directory, vgm, failed);
  ASSERT_EQ(failed, "");
  const ProcessResult from_spc = Render(directory, {spc, "spc.wav", "--seconds", "2"});
  ASSERT_EQ(from_spc.exit_status, 0) << from_spc.stderr_text;
  ExpectWav(ReadBytes(directory.File("spc.wav")), 44100, 2 * 44100);
}

TEST(RenderTool, BadUsageExitsTwoWithOneLineAndHelpShowsTheDefaults) {
  const TempDirectory directory;
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"in.vgm"},
      {"in.vgm", "out.wav", "extra"},
      {"in.vgm", "out.wav", "--seconds"},
      {"in.vgm", "out.wav", "--seconds", "0"},
      {"in.vgm", "out.wav", "--seconds", "-1"},
      {"in.vgm", "out.wav", "--seconds", "3601"},
      {"in.vgm", "out.wav", "--seconds", "ten"},
      {"in.vgm", "out.wav", "--rate", "7999"},
      {"in.vgm", "out.wav", "--rate", "44100.5"},
      {"in.vgm", "out.wav", "--loud"},
      {"--help", "in.vgm"},
  };
  for (const auto& arguments : bad) {
    std::string shown;
    for (const std::string& a : arguments) shown += " " + a;
    const ProcessResult r = Render(directory, arguments);
    EXPECT_EQ(r.exit_status, 2) << shown;
    EXPECT_EQ(r.stderr_text.rfind("brevox-render: ", 0), 0u) << shown;
    EXPECT_EQ(r.stderr_text.find('\n'), r.stderr_text.size() - 1) << shown << ": " << r.stderr_text;
  }
  EXPECT_TRUE(directory.Entries().empty());
  for (const std::string option : {"--help", "-h"}) {
    const ProcessResult help = Render(directory, {option});
    EXPECT_EQ(help.exit_status, 0);
    EXPECT_NE(help.stdout_text.find("(default 30)"), std::string::npos) << help.stdout_text;
    EXPECT_NE(help.stdout_text.find("(default 44100)"), std::string::npos) << help.stdout_text;
  }
}

TEST(RenderTool, FailuresExitOneAndLeaveAnExistingOutputAsItWas) {
  const TempDirectory directory;
  ASSERT_TRUE(WriteBytes(directory.File("out.wav"), {'k', 'e', 'e', 'p'}));
  ASSERT_TRUE(WriteBytes(directory.File("text.vgm"), {'n', 'o', 't', ' ', 'm', 'u', 's', 'i', 'c'}));
  ASSERT_TRUE(WriteBytes(directory.File("song.vgm"), PitchSong()));
  const std::vector<std::vector<std::string>> failing = {
      {"missing.vgm", "out.wav"},
      {"text.vgm", "out.wav"},
      {directory.path(), "out.wav"},
      {"song.vgm", "no/such/dir/out.wav"},
  };
  for (const auto& arguments : failing) {
    const ProcessResult r = Render(directory, arguments);
    EXPECT_EQ(r.exit_status, 1) << arguments[0] << " " << arguments[1];
    EXPECT_EQ(r.stderr_text.rfind("brevox-render: ", 0), 0u) << r.stderr_text;
    EXPECT_EQ(r.stderr_text.find('\n'), r.stderr_text.size() - 1) << r.stderr_text;
    EXPECT_EQ(ReadBytes(directory.File("out.wav")), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
  }
  // No temporary file is left behind.
  EXPECT_EQ(directory.Entries(), (std::vector<std::string>{"out.wav", "song.vgm", "text.vgm"}));
  // A good run replaces the file.
  ASSERT_EQ(Render(directory, {"song.vgm", "out.wav", "--seconds", "0.1"}).exit_status, 0);
  ExpectWav(ReadBytes(directory.File("out.wav")), 44100, 4410);
}

}  // namespace
}  // namespace brevox::audio
