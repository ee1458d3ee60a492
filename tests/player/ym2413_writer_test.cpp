// The YM2413 commands as written, against the chip's register layout and the worked
// example of its reference (A4 = F-number 290 at block 4). libgme refuses the YM2413, so
// these bytes are part of the proof that the generated songs say what they mean.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "vgm_commands.h"
#include "vgm_writer.h"
#include "ym2413_writer.h"

namespace brevox::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Ym2413Writer, WritesNotesKeysAndInstrumentsWhereTheChipHasThem) {
  VgmWriter vgm;
  Ym2413Writer opll(vgm);
  opll.Instrument(2, 5, 7).Note(2, 4, 290).KeyOff(2).Note(8, 7, 511, true, true).KeyOff(8).Note(0, 1, 3, false);
  EXPECT_EQ(vgm.commands(), (Bytes{0x51, 0x32, 0x57, 0x51, 0x12, 0x22, 0x51, 0x22, 0x19, 0x51, 0x22, 0x09,
                                  0x51, 0x18, 0xFF, 0x51, 0x28, 0x3F, 0x51, 0x28, 0x2F, 0x51, 0x10, 0x03,
                                  0x51, 0x20, 0x02}));
  EXPECT_EQ(ReadLe32(vgm.Build(), kYm2413ClockField), kYm2413Clock);
}

TEST(Ym2413Writer, WritesTheCustomInstrumentAndTheRhythmSection) {
  VgmWriter vgm;
  Ym2413Writer opll(vgm);
  opll.CustomInstrument({0x71, 0x61, 0x1E, 0x17, 0xD0, 0x78, 0x00, 0x17});
  opll.Rhythm().Rhythm(kBassDrum | kHiHat).Drums({1, 2, 3, 4, 5});
  EXPECT_EQ(vgm.commands(), (Bytes{0x51, 0x00, 0x71, 0x51, 0x01, 0x61, 0x51, 0x02, 0x1E, 0x51, 0x03, 0x17, 0x51,
                                  0x04, 0xD0, 0x51, 0x05, 0x78, 0x51, 0x06, 0x00, 0x51, 0x07, 0x17, 0x51, 0x0E,
                                  0x20, 0x51, 0x0E, 0x31, 0x51, 0x36, 0x01, 0x51, 0x37, 0x52, 0x51, 0x38, 0x34}));
}

}  // namespace
}  // namespace brevox::audio
