// Matching a mnemonic and its operands to an opcode, and encoding its bytes.
//
// Direct page versus absolute: '!' forces the absolute form. Without '!' an operand takes the
// direct-page (or relative/PCALL) form where the instruction has one, and a value outside
// 0x00-0xFF is then an error. Instructions whose only memory form is absolute (JMP, CALL,
// TSET1, TCLR1, the abs.bit forms) accept the address with or without '!'.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "expr.h"
#include "operand.h"

namespace spcasm {

struct EncodeContext {
  const SymbolLookup* lookup = nullptr;
  std::int64_t pc = 0;
  bool final_pass = false;  // undefined symbols and range errors only count in the final pass
};

// Returns the instruction's bytes (their count is fixed by the syntax alone, so the first pass
// can size it before symbols are known); throws AsmError for unknown forms and bad values.
std::vector<std::uint8_t> EncodeInstruction(const std::string& mnemonic, const std::vector<Operand>& operands,
                                            const EncodeContext& ctx);

// True when the mnemonic (any case) names an SPC700 instruction.
bool IsMnemonic(const std::string& mnemonic);

}  // namespace spcasm
