// Faulty sources: each fault is reported once, with the file and line where it is, and the
// lines after it keep their addresses (no knock-on errors).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "asm_support.h"

namespace {

using spcasm_test::AssembleText;
using spcasm_test::BytesFrom;
using spcasm_test::Hex;
using spcasm_test::JoinErrors;

struct ErrorCase {
  const char* source;    // line 1 is ".org $0200", so the source starts on line 2
  const char* where;     // "file:line" the error must name
  const char* message;   // text the message must contain
};

// A label and a reference to it after the fault: if the faulty line changed the layout between
// the two passes, the label would be reported too.
constexpr const char* kTrailer = "\nafter: NOP\n.dw after\n";

TEST(Errors, EachFaultIsReportedOnceWithItsLine) {
  const ErrorCase cases[] = {
      {"NOP\nFOO A", "test.s:3", "unknown mnemonic 'FOO'"},
      {"MOV X,Y", "test.s:2", "no MOV instruction takes these operands"},
      {"MOV A,#1,X", "test.s:2", "no MOV instruction takes these operands"},
      {"NOP A", "test.s:2", "no NOP instruction"},
      {"TCALL 16", "test.s:2", "no TCALL instruction"},
      {"SET1 $12.8", "test.s:2", "no SET1 instruction"},
      {"MOV A,[$12]", "test.s:2", "indirect operand"},
      {"MOV A,[$12+X]+Y", "test.s:2", "indirect operand"},
      {"MOV A,[$12+Y]", "test.s:2", "indirect operand"},
      {"MOV A,$123", "test.s:2", "direct-page address out of range"},
      {"MOV A,-1", "test.s:2", "direct-page address out of range"},
      {"MOV A,#256", "test.s:2", "immediate out of range"},
      {"MOV A,#-129", "test.s:2", "immediate out of range"},
      {"MOV A,#$8000*$10000*$10000*$10000", "test.s:2", "immediate out of range: -$8000000000000000"},
      {"BRA $8000*$10000*$10000*$10000", "test.s:2", "branch out of range"},
      {"JMP !$10000", "test.s:2", "absolute address out of range"},
      {"MOV1 C,$2000.1", "test.s:2", "bit address"},
      {"PCALL $FE00", "test.s:2", "PCALL target out of range"},
      {"NOP\n\n  JMP nowhere", "test.s:4", "undefined symbol 'nowhere'"},
      {"BNE .missing", "test.s:2", "undefined symbol '.missing'"},
      {"MOV A,#lo(nowhere)", "test.s:2", "undefined symbol 'nowhere'"},
      {"MOV A,#1+", "test.s:2", "bad expression"},
      {"MOV A,#(1", "test.s:2", "missing ')'"},
      {"MOV A,#$", "test.s:2", "missing digits"},
      {"MOV A,#$1G", "test.s:2", "bad digit"},
      {".db 1/0", "test.s:2", "division by zero"},
      {".db 256", "test.s:2", "byte value out of range"},
      {".db nowhere", "test.s:2", "undefined symbol 'nowhere'"},
      {".db \"abc", "test.s:2", "unterminated string"},
      {".db 1,,2", "test.s:2", "empty operand"},
      {".dw $10000", "test.s:2", "word value out of range"},
      {".dw 1, nowhere", "test.s:2", "undefined symbol 'nowhere'"},
      {".fill 2, 300", "test.s:2", "fill value out of range"},
      {".ds later\nlater = 1", "test.s:2", "not defined above"},
      {".org $10000", "test.s:2", ".org address out of range"},
      {".org $FFFF\n.dw 1\n.org $0300", "test.s:3", "program runs past $FFFF"},
      {".org $0250\n.db 1, 2\n.org $0251\n.db 3", "test.s:5", "overwrites address $0251"},
      {".align 0", "test.s:2", ".align needs a positive size"},
      {".bogus 1", "test.s:2", "unknown directive '.bogus'"},
      {".org", "test.s:2", "wrong number of arguments"},
      {".assert 0, \"player too big\"", "test.s:2", "assertion failed: player too big"},
      {".assert * - $0200", "test.s:2", "assertion failed"},
      {".db 1, 2\n.assert * <= $0201, \"too big\"", "test.s:3", "assertion failed: too big"},
      {"x: NOP\nx: NOP", "test.s:3", "'x' is defined twice"},
      {"k = 1\nk = 2", "test.s:3", "'k' is defined twice"},
      {"k = nowhere + 1", "test.s:2", "constant 'k' uses undefined symbol 'nowhere'"},
      {".include \"missing.s\"", "test.s:2", "cannot read include file 'missing.s'"},
      {".include \"bad.s\"", "bad.s:2", "unknown mnemonic 'BOGUS'"},
  };
  const std::map<std::string, std::string> files = {{"bad.s", "NOP\nBOGUS\n"}};
  for (const ErrorCase& c : cases) {
    const auto result = AssembleText(".org $0200\n" + std::string(c.source) + kTrailer, files);
    EXPECT_EQ(result.errors.size(), 1u) << c.source << "\n" << JoinErrors(result);
    if (result.errors.empty()) continue;
    const std::string& e = result.errors[0];
    EXPECT_EQ(e.rfind(std::string(c.where) + ": error: ", 0), 0u) << c.source << "\n" << e;
    EXPECT_NE(e.find(c.message), std::string::npos) << c.source << "\n" << e;
  }
}

// Faults found with all symbols known (values, ranges, undefined names) are reported together.
TEST(Errors, SeveralValueFaultsAreAllReported) {
  const auto result = AssembleText("NOP\nMOV A,#300\nJMP nowhere\n.db 999\nBRA *+200\nlast: NOP\n");
  ASSERT_EQ(result.errors.size(), 4u) << JoinErrors(result);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(result.errors[i].rfind("test.s:" + std::to_string(i + 2) + ":", 0), 0u) << result.errors[i];
  }
}

struct BranchCase {
  const char* insn;        // with the target left off
  std::uint32_t length;    // instruction length
};

// Offsets count from the end of the instruction: -128 and +127 fit, one more either way does not.
TEST(Errors, BranchRangeIsMinus128ToPlus127) {
  const BranchCase branches[] = {
      {"BRA ", 2}, {"BEQ ", 2}, {"DBNZ Y,", 2}, {"BBS $12.7,", 3}, {"BBC $12.0,", 3}, {"CBNE $12,", 3},
      {"CBNE $12+X,", 3}, {"DBNZ $12,", 3},
  };
  for (const BranchCase& b : branches) {
    for (const int offset : {-129, -128, -4, 0, 1, 127, 128}) {
      std::string source;
      std::uint32_t line = 0;
      if (offset >= 0) {
        source = ".org $0200\n" + std::string(b.insn) + "target\n.ds " + std::to_string(offset) + "\ntarget: NOP\n";
        line = 2;
      } else {
        const int gap = -offset - static_cast<int>(b.length);
        source = ".org $0200\ntarget: .ds " + std::to_string(gap) + "\n" + b.insn + "target\n";
        line = 3;
      }
      const auto result = AssembleText(source);
      const std::string what = std::string(b.insn) + " offset " + std::to_string(offset);
      if (offset < -128 || offset > 127) {
        ASSERT_EQ(result.errors.size(), 1u) << what << "\n" << JoinErrors(result);
        EXPECT_EQ(result.errors[0].rfind("test.s:" + std::to_string(line) + ": error: branch out of range", 0), 0u)
            << what << "\n" << result.errors[0];
        continue;
      }
      ASSERT_TRUE(result.ok()) << what << "\n" << JoinErrors(result);
      const std::uint32_t at = offset >= 0 ? 0x0200 : 0x0200 + static_cast<std::uint32_t>(-offset) - b.length;
      const auto bytes = BytesFrom(result, at);
      ASSERT_GE(bytes.size(), b.length) << what;
      EXPECT_EQ(bytes[b.length - 1], static_cast<std::uint8_t>(offset)) << what << ": " << Hex(bytes);
    }
  }
}

}  // namespace
