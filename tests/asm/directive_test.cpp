// .org, data directives, .align, .include and the flat binary written from the image.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm_error.h"
#include "asm_support.h"
#include "flat_image.h"

namespace {

using spcasm_test::AssembleText;
using spcasm_test::BytesFrom;
using spcasm_test::Hex;
using spcasm_test::JoinErrors;

struct DataCase {
  const char* source;  // assembled after ".org $0201"
  const char* bytes;   // from $0201 on
};

TEST(Directives, DataFillAndAlignEmitTheirBytes) {
  const DataCase cases[] = {
      {".db 1, \"AB\", 'c', -1, $FF", "01 41 42 63 FF FF"},
      {".byte \"a;b,c\", 0 ; comment", "61 3B 62 2C 63 00"},
      {".db ';', ',', '\"'", "3B 2C 22"},
      {".db \"\", 7", "07"},
      {".db -128, 255, lo(-2)", "80 FF FE"},
      {".dw $1234, -1, here\nhere:", "34 12 FF FF 07 02"},
      {".word -32768, $FFFF", "00 80 FF FF"},
      {".ds 3\n.db 9", "00 00 00 09"},
      {".fill 2, $AA\n.fill 0, 1\n.db 9", "AA AA 09"},
      {".ds 2, M*2\nM = 2", "04 04"},
      {".align 4\n.db 9", "00 00 00 09"},
      {".align 4, $EA\n.align 4\n.db 9", "EA EA EA 09"},
      {".db 1\n.align 8, $FF\n.db 9", "01 FF FF FF FF FF FF 09"},
      {".align 1\n.db 9", "09"},
      {".ORG $0203\n.DB 9", "00 00 09"},
  };
  for (const DataCase& c : cases) {
    const auto result = AssembleText(".org $0201\n" + std::string(c.source) + "\n");
    EXPECT_TRUE(result.ok()) << c.source << "\n" << JoinErrors(result);
    EXPECT_EQ(Hex(BytesFrom(result, 0x0201)), c.bytes) << c.source;
  }
}

// Backwards .org is allowed as long as nothing is assembled twice; labels take the .org address.
TEST(Directives, OrgPlacesCodeAndMayGoBackwardsIntoUnusedSpace) {
  const auto result = AssembleText(
      ".org $0500\n"
      "entry: JMP high\n"
      ".org $0600\n"
      "high: .db 1\n"
      ".org $0503\n"
      "back: .db 2\n");
  ASSERT_TRUE(result.ok()) << JoinErrors(result);
  EXPECT_EQ(result.symbols.at("entry"), 0x0500);
  EXPECT_EQ(result.symbols.at("back"), 0x0503);
  EXPECT_EQ(Hex(BytesFrom(result, 0x0500)).substr(0, 11), "5F 00 06 02");
  EXPECT_EQ(result.image.bytes[0x0600], 1);
  EXPECT_EQ(result.image.end, 0x0601u);
  EXPECT_FALSE(result.image.used[0x0504]);
}

// Included text behaves as if pasted in; nested names resolve beside the including file.
TEST(Directives, IncludeSharesSymbolsAndResolvesNestedPaths) {
  const std::map<std::string, std::string> files = {
      {"lib/dsp.s", "DSP_ADDR = $F2\n.include \"regs.s\"\nwrite_dsp: MOV DSP_ADDR,A\n    RET\n"},
      {"lib/regs.s", "KON = $4C\n"},
  };
  const auto result = AssembleText(
      ".org $0200\n"
      "    MOV A,#KON\n"
      "    CALL write_dsp\n"
      ".include \"lib/dsp.s\"\n"
      "    .db after_include - write_dsp\n"
      "after_include:\n",
      files);
  ASSERT_TRUE(result.ok()) << JoinErrors(result);
  EXPECT_EQ(Hex(BytesFrom(result, 0x0200)), "E8 4C 3F 05 02 C4 F2 6F 04");
}

TEST(FlatImage, FillsGapsAndPadsToTheRequestedSize) {
  const auto result = AssembleText(".org 2\n.db 7\n.org 5\n.db 8\n");
  ASSERT_TRUE(result.ok()) << JoinErrors(result);
  EXPECT_EQ(Hex(spcasm::FlatImage(result.image, std::nullopt, 0xFF)), "FF FF 07 FF FF 08");
  EXPECT_EQ(Hex(spcasm::FlatImage(result.image, 8u, 0)), "00 00 07 00 00 08 00 00");
  EXPECT_EQ(spcasm::FlatImage(result.image, 6u, 0).size(), 6u);
  EXPECT_THROW(spcasm::FlatImage(result.image, 5u, 0), spcasm::AsmError);
}

}  // namespace
