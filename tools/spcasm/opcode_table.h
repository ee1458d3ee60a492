// SPC700 opcode table in the notation of the reference opcode list.
#pragma once

#include <array>
#include <cstdint>

namespace spcasm {

struct OpcodeRow {
  std::uint8_t opcode;
  const char* mnemonic;  // upper case, e.g. "MOV"
  const char* operands;  // template, e.g. "dp,#imm", "A,[dp]+Y", "dp.3,rel", "" when none
  const char* encoding;  // operand bytes after the opcode, e.g. "imm dp", "" when none
};

// Returns all 256 rows, indexed by opcode.
const std::array<OpcodeRow, 256>& OpcodeRows();

}  // namespace spcasm
