#include "instruction.h"

#include <cctype>
#include <sstream>

#include "asm_error.h"
#include "opcode_table.h"

namespace spcasm {
namespace {

enum class Slot {
  kReg, kImm, kDp, kDpX, kDpY, kAbs, kAbsX, kAbsY, kDpIndX, kDpIndY, kAbsIndX,
  kRel, kDpBit, kAbsBit, kNotAbsBit, kUp, kNumber,
};

struct TemplateOperand {
  Slot slot = Slot::kReg;
  std::string reg;
  std::int64_t fixed = 0;  // bit number of dp.N, vector number of TCALL
};

struct Template {
  const OpcodeRow* row = nullptr;
  std::vector<TemplateOperand> operands;
};

std::vector<std::string> SplitTemplate(const std::string& text) {
  std::vector<std::string> parts;
  if (text.empty()) return parts;
  std::string cur;
  for (char c : text) {
    if (c == ',') {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  parts.push_back(cur);
  return parts;
}

TemplateOperand ParseTemplateOperand(const std::string& t) {
  static const struct { const char* text; Slot slot; } kSlots[] = {
      {"#imm", Slot::kImm},       {"dp", Slot::kDp},          {"dp+X", Slot::kDpX},
      {"dp+Y", Slot::kDpY},       {"!abs", Slot::kAbs},       {"!abs+X", Slot::kAbsX},
      {"!abs+Y", Slot::kAbsY},    {"[dp+X]", Slot::kDpIndX},  {"[dp]+Y", Slot::kDpIndY},
      {"[!abs+X]", Slot::kAbsIndX}, {"rel", Slot::kRel},      {"abs.bit", Slot::kAbsBit},
      {"/abs.bit", Slot::kNotAbsBit}, {"up", Slot::kUp},
  };
  TemplateOperand op;
  for (const auto& s : kSlots) {
    if (t == s.text) {
      op.slot = s.slot;
      return op;
    }
  }
  if (t.size() == 4 && t.compare(0, 3, "dp.") == 0) {
    op.slot = Slot::kDpBit;
    op.fixed = t[3] - '0';
  } else if (std::isdigit(static_cast<unsigned char>(t[0])) != 0) {
    op.slot = Slot::kNumber;
    op.fixed = std::stoi(t);
  } else {
    op.slot = Slot::kReg;
    op.reg = t;
  }
  return op;
}

const std::vector<Template>& Templates() {
  static const std::vector<Template> templates = [] {
    std::vector<Template> all;
    for (const OpcodeRow& row : OpcodeRows()) {
      Template t;
      t.row = &row;
      for (const std::string& part : SplitTemplate(row.operands)) t.operands.push_back(ParseTemplateOperand(part));
      all.push_back(std::move(t));
    }
    return all;
  }();
  return templates;
}

std::string Upper(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Hex(std::int64_t v) {
  std::ostringstream os;
  if (v < 0) os << '-' << '$' << std::hex << std::uppercase << (0 - static_cast<std::uint64_t>(v));
  else os << '$' << std::hex << std::uppercase << v;
  return os.str();
}

ExprValue Eval(const std::string& text, const EncodeContext& ctx) {
  ExprValue v = EvalExpr(text, *ctx.lookup, ctx.pc);
  if (!v.known && ctx.final_pass) throw AsmError("undefined symbol '" + v.first_unknown + "'");
  return v;
}

// A value that must be known while matching (bit numbers, TCALL numbers).
std::int64_t EvalNow(const std::string& text, const EncodeContext& ctx, const char* what) {
  ExprValue v = EvalExpr(text, *ctx.lookup, ctx.pc);
  if (!v.known) throw AsmError(std::string(what) + " must be defined before use: '" + v.first_unknown + "'");
  return v.value;
}

bool Matches(const TemplateOperand& t, const Operand& op, bool relaxed, const EncodeContext& ctx) {
  const bool dp = !op.force_abs;
  const bool abs = op.force_abs || relaxed;
  switch (t.slot) {
    case Slot::kReg: return op.kind == OperandKind::kRegister && op.reg == t.reg;
    case Slot::kImm: return op.kind == OperandKind::kImmediate;
    case Slot::kDp:
    case Slot::kRel:
    case Slot::kUp: return op.kind == OperandKind::kMemory && dp;
    case Slot::kDpX: return op.kind == OperandKind::kMemoryX && dp;
    case Slot::kDpY: return op.kind == OperandKind::kMemoryY && dp;
    case Slot::kAbs: return op.kind == OperandKind::kMemory && abs;
    case Slot::kAbsX: return op.kind == OperandKind::kMemoryX && abs;
    case Slot::kAbsY: return op.kind == OperandKind::kMemoryY && abs;
    case Slot::kDpIndX: return op.kind == OperandKind::kIndirectX && dp;
    case Slot::kDpIndY: return op.kind == OperandKind::kIndirectY && dp;
    case Slot::kAbsIndX: return op.kind == OperandKind::kIndirectX && abs;
    case Slot::kDpBit:
      return op.kind == OperandKind::kBit && dp && EvalNow(op.bit_expr, ctx, "bit number") == t.fixed;
    case Slot::kAbsBit: return op.kind == OperandKind::kBit;
    case Slot::kNotAbsBit: return op.kind == OperandKind::kNotBit;
    case Slot::kNumber: return op.kind == OperandKind::kMemory && dp && EvalNow(op.expr, ctx, "TCALL number") == t.fixed;
  }
  return false;
}

const Template* FindTemplate(const std::string& mnemonic, const std::vector<Operand>& operands, const EncodeContext& ctx) {
  for (const bool relaxed : {false, true}) {
    for (const Template& t : Templates()) {
      if (mnemonic != t.row->mnemonic || t.operands.size() != operands.size()) continue;
      bool ok = true;
      for (std::size_t i = 0; i < operands.size() && ok; ++i) ok = Matches(t.operands[i], operands[i], relaxed, ctx);
      if (ok) return &t;
    }
  }
  return nullptr;
}

void CheckRange(const ExprValue& v, std::int64_t lo, std::int64_t hi, const char* what, const EncodeContext& ctx) {
  if (v.known && ctx.final_pass && (v.value < lo || v.value > hi)) {
    throw AsmError(std::string(what) + " out of range: " + Hex(v.value));
  }
}

// Operand values by the role names of the encoding column.
struct Roles {
  std::vector<std::int64_t> dps;  // in source order: destination first
  std::int64_t imm = 0, abs = 0, rel = 0, bitaddr = 0, up = 0;
};

std::size_t EncodedLength(const Template& t) {
  std::istringstream in(t.row->encoding);
  std::size_t n = 1;
  for (std::string tok; in >> tok;) ++n;
  return n;
}

void CollectRole(const TemplateOperand& t, const Operand& op, const EncodeContext& ctx, std::int64_t length, Roles& roles) {
  switch (t.slot) {
    case Slot::kReg:
    case Slot::kNumber: return;
    case Slot::kImm: {
      const ExprValue v = Eval(op.expr, ctx);
      CheckRange(v, -128, 255, "immediate", ctx);
      roles.imm = v.value;
      return;
    }
    case Slot::kDp:
    case Slot::kDpX:
    case Slot::kDpY:
    case Slot::kDpIndX:
    case Slot::kDpIndY:
    case Slot::kDpBit: {
      const ExprValue v = Eval(op.expr, ctx);
      if (v.known && ctx.final_pass && (v.value < 0 || v.value > 0xFF)) {
        throw AsmError("direct-page address out of range: " + Hex(v.value) + " (write '!' for an absolute address)");
      }
      roles.dps.push_back(v.value);
      return;
    }
    case Slot::kAbs:
    case Slot::kAbsX:
    case Slot::kAbsY:
    case Slot::kAbsIndX: {
      const ExprValue v = Eval(op.expr, ctx);
      CheckRange(v, 0, 0xFFFF, "absolute address", ctx);
      roles.abs = v.value;
      return;
    }
    case Slot::kRel: {
      const ExprValue v = Eval(op.expr, ctx);
      const auto offset = static_cast<std::int64_t>(static_cast<std::uint64_t>(v.value) -
                                                    static_cast<std::uint64_t>(ctx.pc + length));
      if (v.known && ctx.final_pass && (offset < -128 || offset > 127)) {
        throw AsmError("branch out of range: target " + Hex(v.value) + " is " + std::to_string(offset) +
                       " bytes away (-128..127)");
      }
      roles.rel = offset;
      return;
    }
    case Slot::kAbsBit:
    case Slot::kNotAbsBit: {
      const ExprValue addr = Eval(op.expr, ctx);
      const ExprValue bit = Eval(op.bit_expr, ctx);
      CheckRange(addr, 0, 0x1FFF, "bit address (0-$1FFF)", ctx);
      CheckRange(bit, 0, 7, "bit number", ctx);
      roles.bitaddr = ((bit.value & 7) << 13) | (addr.value & 0x1FFF);
      return;
    }
    case Slot::kUp: {
      const ExprValue v = Eval(op.expr, ctx);
      if (v.known && ctx.final_pass && !((v.value >= 0 && v.value <= 0xFF) || (v.value >= 0xFF00 && v.value <= 0xFFFF))) {
        throw AsmError("PCALL target out of range: " + Hex(v.value) + " ($00-$FF or $FF00-$FFFF)");
      }
      roles.up = v.value;
      return;
    }
  }
}

std::uint8_t RoleByte(const std::string& token, const Roles& r) {
  auto byte = [](std::int64_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
  if (token == "imm") return byte(r.imm);
  if (token == "dp" || token == "dst_dp") return byte(r.dps.at(0));
  if (token == "src_dp") return byte(r.dps.at(1));
  if (token == "abs.lo") return byte(r.abs);
  if (token == "abs.hi") return byte(r.abs >> 8);
  if (token == "rel") return byte(r.rel);
  if (token == "bitaddr.lo") return byte(r.bitaddr);
  if (token == "bitaddr.hi") return byte(r.bitaddr >> 8);
  if (token == "up") return byte(r.up);
  throw AsmError("internal: unknown encoding token " + token);
}

}  // namespace

bool IsMnemonic(const std::string& mnemonic) {
  const std::string up = Upper(mnemonic);
  for (const OpcodeRow& row : OpcodeRows()) {
    if (up == row.mnemonic) return true;
  }
  return false;
}

std::vector<std::uint8_t> EncodeInstruction(const std::string& mnemonic, const std::vector<Operand>& operands,
                                            const EncodeContext& ctx) {
  const std::string up = Upper(mnemonic);
  if (!IsMnemonic(up)) throw AsmError("unknown mnemonic '" + mnemonic + "'");
  const Template* t = FindTemplate(up, operands, ctx);
  if (t == nullptr) throw AsmError("no " + up + " instruction takes these operands");
  const auto length = static_cast<std::int64_t>(EncodedLength(*t));
  Roles roles;
  for (std::size_t i = 0; i < operands.size(); ++i) CollectRole(t->operands[i], operands[i], ctx, length, roles);
  std::vector<std::uint8_t> bytes{t->row->opcode};
  std::istringstream in(t->row->encoding);
  for (std::string tok; in >> tok;) bytes.push_back(RoleByte(tok, roles));
  return bytes;
}

}  // namespace spcasm
