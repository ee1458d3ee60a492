// The YM2151 commands as written, against the chip's register layout: operators in the
// order M1, M2, C1, C2, key codes and fractions, the key register's operator bits and the
// RL bits sharing their register with connection and feedback. libgme cannot play the
// YM2151, so these bytes are part of the proof that the generated songs say what they mean.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "vgm_commands.h"
#include "vgm_writer.h"
#include "ym2151_writer.h"

namespace brevox::audio {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Ym2151Writer, WritesRegistersWhereTheChipHasThem) {
  VgmWriter vgm;
  Ym2151Writer opm(vgm);
  // Operator 2 is C1, at +16: channel 3's C1 TL is 0x60 + 16 + 3.
  opm.TotalLevel(3, 2, 0x21);
  // A4 is octave 4, note code 10; a key fraction sits in bits 7-2.
  opm.Pitch(2, 4, 10, 32);
  // Key bits 3-6 are M1, C1, M2, C2.
  opm.Key(5).Key(5, 0x01).Key(5, 0x08).KeyOff(5);
  // R is bit 7, L bit 6.
  opm.Pan(1, true, false).Pan(1, false, true);
  EXPECT_EQ(vgm.commands(), (Bytes{0x54, 0x73, 0x21, 0x54, 0x2A, 0x4A, 0x54, 0x32, 0x80, 0x54, 0x08, 0x7D, 0x54, 0x08,
                                  0x0D, 0x54, 0x08, 0x45, 0x54, 0x08, 0x05, 0x54, 0x21, 0x40, 0x54, 0x21, 0x80}));
  EXPECT_EQ(ReadLe32(vgm.Build(), kYm2151ClockField), kYm2151Clock);
}

// Operators 1-4 (M1, C1, M2, C2) sit at +0, +16, +8, +24; each gets values of its own,
// so that no two could change places unseen.
TEST(Ym2151Writer, PatchWritesEveryOperatorInTheChipsSlotOrderAndKeepsThePan) {
  VgmWriter vgm;
  Ym2151Writer opm(vgm);
  OpmPatch patch;
  patch.fm.algorithm = 4;
  patch.fm.feedback = 5;
  // DT1, MUL, TL, KS, AR, D1R, D2R, D1L, RR.
  patch.fm.operators = {{{1, 1, 0x10, 0, 31, 2, 3, 4, 5},
                         {2, 2, 0x20, 1, 30, 6, 7, 8, 9},
                         {3, 3, 0x30, 2, 29, 10, 11, 12, 13},
                         {7, 15, 0x7F, 3, 28, 14, 15, 15, 15}}};
  patch.coarse_detune = {0, 1, 2, 3};
  opm.Pan(6, false, true).Patch(6, patch);
  Bytes expected = {0x54, 0x26, 0x80};
  const std::uint8_t writes[][2] = {
      {0x46, 0x11}, {0x66, 0x10}, {0x86, 0x1F}, {0xA6, 0x02}, {0xC6, 0x03}, {0xE6, 0x45},  // M1
      {0x56, 0x22}, {0x76, 0x20}, {0x96, 0x5E}, {0xB6, 0x06}, {0xD6, 0x47}, {0xF6, 0x89},  // C1
      {0x4E, 0x33}, {0x6E, 0x30}, {0x8E, 0x9D}, {0xAE, 0x0A}, {0xCE, 0x8B}, {0xEE, 0xCD},  // M2
      {0x5E, 0x7F}, {0x7E, 0x7F}, {0x9E, 0xDC}, {0xBE, 0x0E}, {0xDE, 0xCF}, {0xFE, 0xFF},  // C2
      {0x26, 0xAC},  // right only, feedback 5, connection 4
  };
  for (const auto& write : writes) expected.insert(expected.end(), {0x54, write[0], write[1]});
  EXPECT_EQ(vgm.commands(), expected);
}

}  // namespace
}  // namespace brevox::audio
