// Classification of one source operand by its addressing syntax.
#pragma once

#include <string>
#include <string_view>

namespace spcasm {

enum class OperandKind {
  kRegister,   // A X Y YA SP PSW C (X) (X)+ (Y)
  kImmediate,  // #e
  kMemory,     // e  or !e
  kMemoryX,    // e+X  or !e+X
  kMemoryY,    // e+Y  or !e+Y
  kIndirectX,  // [e+X]  or [!e+X]
  kIndirectY,  // [e]+Y
  kBit,        // e.b  or !e.b
  kNotBit,     // /e.b
};

struct Operand {
  OperandKind kind = OperandKind::kMemory;
  std::string reg;        // canonical upper-case register text for kRegister
  bool force_abs = false; // written with '!'
  std::string expr;       // address or value expression
  std::string bit_expr;   // bit number expression for kBit / kNotBit
};

// Parses one operand (already split at top-level commas); throws AsmError when malformed.
Operand ParseOperand(std::string_view text);

}  // namespace spcasm
