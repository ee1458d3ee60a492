// Expressions, constants, labels and the operand forms whose spelling picks the addressing mode.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm_support.h"

namespace {

using spcasm_test::AssembleText;
using spcasm_test::BytesFrom;
using spcasm_test::Hex;
using spcasm_test::JoinErrors;

struct ValueCase {
  const char* expr;
  std::int64_t want;
};

TEST(Expressions, PrecedenceNumbersAndByteSelection) {
  const ValueCase cases[] = {
      {"1+2*3", 7},          {"(1+2)*3", 9},        {"10-3-2", 5},         {"100/10/5", 2},
      {"17%5", 2},           {"1<<2+1", 8},         {"$FF>>4", 15},        {"256>>1>>1", 64},
      {"6&3|8", 10},         {"1|6&3", 3},          {"5^1&3", 4},          {"12^10|1", 7},
      {"-2*3", -6},          {"~0&$FF", 255},       {"-(2-5)", 3},         {"+4", 4},
      {"$1F", 31},           {"0x1f", 31},          {"%1010", 10},         {"0b1010", 10},
      {"123", 123},          {"'A'", 65},           {"' '+1", 33},         {"lo($1234)", 0x34},
      {"hi($1234)", 0x12},   {"LO($1234)+1", 0x35}, {"Hi($12FF+1)", 0x13}, {"hi(-1)", 0xFF},
      {"lo(hi($ABCD)*2)", 0x56}, {"*", 0x0280},     {"*+2", 0x0282},       {"2*3", 6},
      {"**2", 0x0500},       {"* - $80", 0x0200},   {"later*2", 20},       {"( 1 + 2 ) * ( 3 )", 9},
      // Beyond 64 bits values wrap instead of overflowing.
      {"lo($FFFFFFFF*$FFFFFFFF*$FFFFFFFF)", 0xFF}, {"lo(-($8000*$10000*$10000*$10000)/-1)", 0},
      {"($8000*$10000*$10000*$10000)%-1", 0},
      // Comparisons give 1 or 0, below the shifts and above the bitwise operators.
      {"3<4", 1},            {"4<4", 0},            {"4<=4", 1},           {"5<=4", 0},
      {"-1<0", 1},           {"5>4", 1},            {"4>=5", 0},           {"2==2", 1},
      {"2!=2", 0},           {"1<<2<8", 1},         {"8>>1>4", 0},         {"1<2==1", 1},
      {"2&1==1", 0},         {"1+1<3", 1},          {"4<5|8", 9},          {"$1100-*>=0", 1},
  };
  for (const ValueCase& c : cases) {
    const auto result = AssembleText(".org $0280\nv = " + std::string(c.expr) + "\nlater = 10\n");
    ASSERT_TRUE(result.ok()) << c.expr << "\n" << JoinErrors(result);
    EXPECT_EQ(result.symbols.at("v"), c.want) << c.expr;
  }
}

TEST(Expressions, ConstantsAndLabelsResolveForwardThroughChains) {
  const auto result = AssembleText(
      ".org $0300\n"
      "first = second + 1\n"
      "second = third * 2\n"
      "third = tail - $0300\n"
      "    JMP tail\n"
      "    MOV A,#lo(tail)\n"
      "    MOV Y,#hi(tail)\n"
      "    .dw first, tail\n"
      "tail:\n"
      "    NOP\n");
  ASSERT_TRUE(result.ok()) << JoinErrors(result);
  EXPECT_EQ(result.symbols.at("tail"), 0x030B);
  EXPECT_EQ(result.symbols.at("third"), 0x0B);
  EXPECT_EQ(result.symbols.at("first"), 0x17);
  EXPECT_EQ(Hex(BytesFrom(result, 0x0300)), "5F 0B 03 E8 0B 8D 03 17 00 0B 03 00");
}

// Local labels belong to the last global label: each scope's ".loop" is its own.
TEST(Expressions, LocalLabelsAreScopedToTheirGlobalLabel) {
  const auto result = AssembleText(
      ".org $0400\n"
      "one:\n"
      ".loop: DEC X\n"
      "    BNE .loop\n"
      "    BRA .done\n"
      ".done: RET\n"
      "two: NOP\n"
      ".loop: DEC Y\n"
      "    BNE .loop\n"
      ".done: BRA .loop\n");
  ASSERT_TRUE(result.ok()) << JoinErrors(result);
  EXPECT_EQ(Hex(BytesFrom(result, 0x0400)), "1D D0 FD 2F 00 6F 00 DC D0 FD 2F FB");
  EXPECT_EQ(result.symbols.at("one.loop"), 0x0400);
  EXPECT_EQ(result.symbols.at("two.loop"), 0x0407);
}

TEST(Expressions, SymbolsAreCaseSensitive) {
  const auto result = AssembleText("Foo = 1\nfoo = 2\n.org 0\n.db Foo, foo, FOO\nFOO = 3\n");
  ASSERT_TRUE(result.ok()) << JoinErrors(result);
  EXPECT_EQ(Hex(BytesFrom(result, 0)), "01 02 03");
}

struct LineCase {
  const char* line;
  const char* bytes;
};

// Without '!' an operand takes the direct-page form where one exists; '!' forces absolute;
// forms that exist only as absolute take the address either way.
TEST(Operands, SpellingSelectsTheAddressingMode) {
  const LineCase cases[] = {
      {"MOV A,$12", "E4 12"},            {"MOV A,!$12", "E5 12 00"},       {"MOV A,$12+X", "F4 12"},
      {"MOV A,!$12+X", "F5 12 00"},      {"MOV A,$12+Y", "F6 12 00"},      {"MOV $12+Y,A", "D6 12 00"},
      {"MOV X,$12+Y", "F9 12"},          {"MOV A,[$12+X]", "E7 12"},       {"MOV A,[$12]+Y", "F7 12"},
      {"MOV A,[ $12 ] + y", "F7 12"},    {"MOV A,$12 + x", "F4 12"},       {"JMP $3456", "5F 56 34"},
      {"CALL $3456", "3F 56 34"},        {"TSET1 $3456", "0E 56 34"},      {"TCLR1 !$3456", "4E 56 34"},
      {"JMP [$3456+X]", "1F 56 34"},     {"JMP [!$12+X]", "1F 12 00"},     {"MOV1 C,$12.3", "AA 12 60"},
      {"MOV1 $1FFF.7,C", "CA FF FF"},    {"OR1 C,/$0ABC.0", "2A BC 0A"},   {"PCALL $FF56", "4F 56"},
      {"PCALL $56", "4F 56"},            {"TCALL 15", "F1"},               {"TCALL 0", "01"},
      {"MOV A,#-1", "E8 FF"},            {"MOV A,#-128", "E8 80"},         {"MOV A,#'A'", "E8 41"},
      {"MOV $12,#lo($3456)", "8F 56 12"}, {"MOV A,($10+2)", "E4 12"},      {"MOV A,(X)", "E6"},
      {"mov a,( x ) +", "BF"},           {"MOV (X)+,A", "AF"},             {"MOV A,indexX", "E4 34"},
      {"MOV A,indexX+X", "F4 34"},       {"SET1 $12.BIT", "62 12"},        {"CLR1 indexX.BIT+1", "92 34"},
      {"BBC $12.BIT,*", "73 12 FD"},     {"BRA *", "2F FE"},               {"BRA *+2", "2F 00"},
      {"CBNE $12+X,*+3", "DE 12 00"},    {"DBNZ Y,*", "FE FE"},            {"MOVW YA,$12", "BA 12"},
      {"MOVW $12,YA", "DA 12"},          {"MOV $12,$9A", "FA 9A 12"},      {"MOV SP,X", "BD"},
      {"MOV X,SP", "9D"},                {"POP PSW", "8E"},                {"DIV YA,X", "9E"},
  };
  for (const LineCase& c : cases) {
    const auto result = AssembleText("indexX = $34\nBIT = 3\n.org $0200\n" + std::string(c.line) + "\n");
    EXPECT_TRUE(result.ok()) << c.line << "\n" << JoinErrors(result);
    EXPECT_EQ(Hex(BytesFrom(result, 0x0200)), c.bytes) << c.line;
  }
}

}  // namespace
