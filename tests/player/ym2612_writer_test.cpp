// The YM2612 commands as written, against bytes that others wrote: the chip's documented
// register layout and DAC stream commands from real songs. libgme does not read the DAC
// stream commands, so these bytes are the proof that the stream songs say what they mean.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "vgm_commands.h"
#include "vgm_writer.h"
#include "ym2612_writer.h"

namespace brevox::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Ym2612Writer, WritesRegistersWhereTheChipHasThem) {
  VgmWriter vgm;
  Ym2612Writer fm(vgm);
  // Channel 5 is channel 2 of port 1; its operator 2 TL is register 0x40 + 8 + 1.
  fm.TotalLevel(4, 2, 0x21);
  // 440 Hz: block 4, F-number 1083 = 0x43B.
  fm.Frequency(4, 4, 1083);
  fm.Key(4).KeyOff(2).Pan(2, true, false).Dac(true);
  EXPECT_EQ(vgm.commands(), (Bytes{0x53, 0x49, 0x21, 0x53, 0xA5, 0x24, 0x53, 0xA1, 0x3B, 0x52, 0x28, 0xF5, 0x52, 0x28,
                                  0x02, 0x52, 0xB6, 0x80, 0x52, 0x2B, 0x80}));
  EXPECT_EQ(ReadLe32(vgm.Build(), kYm2612ClockField), kYm2612Clock);
}

TEST(Ym2612Writer, PatchWritesEveryOperatorInTheChipsSlotOrder) {
  VgmWriter vgm;
  Ym2612Writer fm(vgm);
  FmPatch patch;
  patch.algorithm = 4;
  patch.feedback = 5;
  for (std::uint8_t i = 0; i < 4; ++i) {
    FmOperator& op = patch.operators[i];
    op.detune = 7;
    op.multiple = static_cast<std::uint8_t>(i + 1);
    op.total_level = static_cast<std::uint8_t>(0x10 * (i + 1));
    op.key_scale = 2;
    op.attack_rate = 0x1F;
    op.decay_rate = 0x0A;
    op.sustain_rate = 0x05;
    op.sustain_level = 0x0C;
    op.release_rate = 0x07;
  }
  fm.Patch(1, patch);
  const Bytes& commands = vgm.commands();
  ASSERT_EQ(commands.size(), 3u * (4 * 7 + 1));
  // Operator n's registers sit at +0, +8, +4, +12 for n = 1, 2, 3, 4.
  const std::uint8_t slot[4] = {0, 8, 4, 12};
  for (std::uint32_t i = 0; i < 4; ++i) {
    const Bytes expected = {0x52, static_cast<std::uint8_t>(0x31 + slot[i]), static_cast<std::uint8_t>(0x70 | (i + 1)),
                            0x52, static_cast<std::uint8_t>(0x41 + slot[i]), static_cast<std::uint8_t>(0x10 * (i + 1)),
                            0x52, static_cast<std::uint8_t>(0x51 + slot[i]), 0x9F,
                            0x52, static_cast<std::uint8_t>(0x61 + slot[i]), 0x0A,
                            0x52, static_cast<std::uint8_t>(0x71 + slot[i]), 0x05,
                            0x52, static_cast<std::uint8_t>(0x81 + slot[i]), 0xC7,
                            0x52, static_cast<std::uint8_t>(0x91 + slot[i]), 0x00};
    EXPECT_EQ(Bytes(commands.begin() + 21 * i, commands.begin() + 21 * (i + 1)), expected) << "operator " << i + 1;
  }
  EXPECT_EQ(Bytes(commands.end() - 3, commands.end()), (Bytes{0x52, 0xB1, 0x2C}));
}

// As sonic1.vgm and T0101_YM2612_PCMCh.vgm of the corpus spell them.
TEST(Ym2612Writer, WritesDacStreamCommandsAsRealSongsDo) {
  VgmWriter vgm;
  Ym2612Writer fm(vgm);
  fm.StreamSetup(0).StreamData(0).StreamFrequency(0, 8000);
  fm.StreamStart(0, 0x0FC8, StreamLength::kWrites, 0x0FA0).StreamBlock(0, 1).StreamStop(0);
  EXPECT_EQ(vgm.commands(), (Bytes{0x90, 0x00, 0x02, 0x00, 0x2A, 0x91, 0x00, 0x00, 0x01, 0x00, 0x92, 0x00,
                                  0x40, 0x1F, 0x00, 0x00, 0x93, 0x00, 0xC8, 0x0F, 0x00, 0x00, 0x01, 0xA0,
                                  0x0F, 0x00, 0x00, 0x95, 0x00, 0x01, 0x00, 0x00, 0x94, 0x00}));
  EXPECT_EQ(ReadLe32(vgm.Build(), 0x08), 0x160u) << "DAC streams came with VGM 1.60";
}

TEST(Ym2612Writer, WritesPcmBlocksSeeksAndDacWrites) {
  VgmWriter vgm;
  Ym2612Writer fm(vgm);
  fm.PcmBlock({0x80, 0xFF, 0x00}).Seek(0x01020304).DacWrite(0).DacWrite(15);
  EXPECT_EQ(vgm.commands(), (Bytes{0x67, 0x66, 0x00, 0x03, 0x00, 0x00, 0x00, 0x80, 0xFF, 0x00, 0xE0, 0x04, 0x03, 0x02,
                                  0x01, 0x80, 0x8F}));
  EXPECT_EQ(vgm.samples(), 15u);
}

}  // namespace
}  // namespace brevox::audio
