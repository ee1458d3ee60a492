// Every row of the reference opcode list assembles to its opcode and operand bytes, in the
// listed order and length. Operand values are all different so that a swapped or missing
// byte shows.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "asm_support.h"

namespace {

using spcasm_test::AssembleText;
using spcasm_test::BytesFrom;
using spcasm_test::Hex;

struct OpcodeRow {
  std::uint8_t opcode = 0;
  std::string mnemonic;       // e.g. "MOV"
  std::string operands;       // e.g. "dp,#imm", empty when none
  std::size_t length = 0;     // `bytes` column
  std::vector<std::string> encoding;  // tokens after "op"
};

std::vector<std::string> SplitOn(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::istringstream in(text);
  for (std::string part; std::getline(in, part, sep);) parts.push_back(part);
  return parts;
}

std::vector<OpcodeRow> LoadRows() {
  std::ifstream in(SPCASM_OPCODE_TABLE);
  std::vector<OpcodeRow> rows;
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    const std::vector<std::string> cols = SplitOn(line, '\t');
    if (cols.size() < 6) continue;
    OpcodeRow row;
    row.opcode = static_cast<std::uint8_t>(std::stoul(cols[0], nullptr, 16));
    const std::size_t space = cols[1].find(' ');
    row.mnemonic = cols[1].substr(0, space);
    if (space != std::string::npos) row.operands = cols[1].substr(space + 1);
    row.length = std::stoul(cols[2]);
    std::istringstream enc(cols[5]);
    for (std::string tok; enc >> tok;) {
      if (tok != "op") row.encoding.push_back(tok);
    }
    rows.push_back(row);
  }
  return rows;
}

// Concrete operand text for one operand of the list's notation; dp_seen counts the plain
// direct-page operands so far (the first is the destination $12, the second the source $9A).
std::string ConcreteOperand(const std::string& op, int& dp_seen) {
  if (op == "#imm") return "#$78";
  if (op == "rel") return "after+$25";
  if (op == "up") return "$E3";
  if (op == "abs.bit") return "$0ABC.5";
  if (op == "/abs.bit") return "/$0ABC.5";
  if (op.compare(0, 3, "dp.") == 0) return "$12" + op.substr(2);
  std::string out = op;
  if (const std::size_t at = out.find("!abs"); at != std::string::npos) return out.replace(at, 4, "!$3456");
  if (const std::size_t at = out.find("dp"); at != std::string::npos) return out.replace(at, 2, dp_seen++ == 0 ? "$12" : "$9A");
  return out;  // registers and TCALL numbers
}

std::uint8_t ExpectedByte(const std::string& token) {
  if (token == "dp" || token == "dst_dp") return 0x12;
  if (token == "src_dp") return 0x9A;
  if (token == "imm") return 0x78;
  if (token == "abs.lo") return 0x56;
  if (token == "abs.hi") return 0x34;
  if (token == "rel") return 0x25;
  if (token == "bitaddr.lo") return 0xBC;  // (5 << 13 | $0ABC) = $AABC
  if (token == "bitaddr.hi") return 0xAA;
  if (token == "up") return 0xE3;
  ADD_FAILURE() << "unknown encoding token " << token;
  return 0;
}

std::string Source(const OpcodeRow& row, const std::string& separator) {
  std::string text = row.mnemonic;
  int dp_seen = 0;
  const std::vector<std::string> ops = SplitOn(row.operands, ',');
  for (std::size_t i = 0; i < ops.size(); ++i) text += (i == 0 ? " " : separator) + ConcreteOperand(ops[i], dp_seen);
  return text;
}

// Assembles every row with its text passed through restyle and checks the bytes.
void SweepAllRows(const std::string& separator, const std::function<std::string(std::string)>& restyle) {
  if (!std::ifstream(SPCASM_OPCODE_TABLE)) GTEST_SKIP() << "no SPC700 opcode list at " << SPCASM_OPCODE_TABLE;
  const std::vector<OpcodeRow> rows = LoadRows();
  ASSERT_EQ(rows.size(), 256u) << "cannot read " << SPCASM_OPCODE_TABLE;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const OpcodeRow& row = rows[i];
    ASSERT_EQ(row.opcode, i) << "opcode list out of order";
    const std::string line = restyle(Source(row, separator));
    std::vector<std::uint8_t> want{row.opcode};
    for (const std::string& tok : row.encoding) want.push_back(ExpectedByte(tok));
    const auto result = AssembleText(".org $1000\n" + line + "\nafter:\n");
    const auto got = BytesFrom(result, 0x1000);
    EXPECT_TRUE(result.ok() && got == want && got.size() == row.length)
        << "opcode " << Hex({row.opcode}) << " '" << line << "': got [" << Hex(got) << "], want [" << Hex(want)
        << "], length " << row.length << "\n" << spcasm_test::JoinErrors(result);
  }
}

TEST(OpcodeSweep, EveryRowAssemblesToItsListedBytes) {
  SweepAllRows(",", [](std::string s) { return s; });
}

// Mnemonics, registers and index letters are case-insensitive; spaces after commas are allowed.
TEST(OpcodeSweep, LowerCaseWithSpacesAssemblesTheSame) {
  SweepAllRows(", ", [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  });
}

}  // namespace
