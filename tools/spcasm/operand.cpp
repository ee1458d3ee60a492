#include "operand.h"

#include <array>
#include <cctype>

#include "asm_error.h"
#include "expr.h"

namespace spcasm {
namespace {

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b])) != 0) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])) != 0) --e;
  return std::string(s.substr(b, e - b));
}

std::string UpperNoSpace(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (std::isspace(static_cast<unsigned char>(c)) == 0) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out;
}

// Removes a trailing "+X"/"+Y" index (spaces allowed); returns the register letter or 0.
char StripIndex(std::string& text) {
  const std::string t = Trim(text);
  if (t.size() < 3) return 0;
  const char reg = static_cast<char>(std::toupper(static_cast<unsigned char>(t.back())));
  if (reg != 'X' && reg != 'Y') return 0;
  if (IsSymbolChar(t[t.size() - 2])) return 0;  // a symbol ending in X, e.g. "indexX"
  const std::string head = Trim(std::string_view(t).substr(0, t.size() - 1));
  if (head.empty() || head.back() != '+') return 0;
  text = Trim(std::string_view(head).substr(0, head.size() - 1));
  return reg;
}

// Splits "e.b" at the last '.' that follows a symbol/number character or ')'.
bool SplitBit(const std::string& text, std::string& addr, std::string& bit) {
  int depth = 0;
  std::size_t split = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '(') ++depth;
    else if (c == ')') --depth;
    else if (c == '.' && depth == 0 && i > 0 && (IsSymbolChar(text[i - 1]) || text[i - 1] == ')')) split = i;
  }
  if (split == std::string::npos) return false;
  addr = Trim(std::string_view(text).substr(0, split));
  bit = Trim(std::string_view(text).substr(split + 1));
  return true;
}

std::string StripBang(const std::string& text, bool& force_abs) {
  if (!text.empty() && text[0] == '!') {
    force_abs = true;
    return Trim(std::string_view(text).substr(1));
  }
  return text;
}

}  // namespace

Operand ParseOperand(std::string_view raw) {
  static const std::array<const char*, 10> kRegisters = {"A", "X", "Y", "YA", "SP", "PSW", "C", "(X)", "(X)+", "(Y)"};
  const std::string text = Trim(raw);
  if (text.empty()) throw AsmError("empty operand");
  Operand op;
  const std::string canon = UpperNoSpace(text);
  for (const char* reg : kRegisters) {
    if (canon == reg) {
      op.kind = OperandKind::kRegister;
      op.reg = reg;
      return op;
    }
  }
  if (text[0] == '#') {
    op.kind = OperandKind::kImmediate;
    op.expr = Trim(std::string_view(text).substr(1));
    return op;
  }
  if (text[0] == '[') {
    const std::size_t close = text.rfind(']');
    if (close == std::string::npos) throw AsmError("missing ']' in '" + text + "'");
    std::string inner = Trim(std::string_view(text).substr(1, close - 1));
    std::string after = Trim(std::string_view(text).substr(close + 1));
    if (after.empty() && StripIndex(inner) == 'X') {
      op.kind = OperandKind::kIndirectX;
    } else if (UpperNoSpace(after) == "+Y" && StripIndex(inner) == 0) {
      op.kind = OperandKind::kIndirectY;
    } else {
      throw AsmError("indirect operand must be [e+X] or [e]+Y: '" + text + "'");
    }
    op.expr = StripBang(inner, op.force_abs);
    return op;
  }
  if (text[0] == '/') {
    op.kind = OperandKind::kNotBit;
    std::string body = StripBang(Trim(std::string_view(text).substr(1)), op.force_abs);
    if (!SplitBit(body, op.expr, op.bit_expr)) throw AsmError("'/' needs a bit operand addr.bit: '" + text + "'");
    return op;
  }
  std::string body = StripBang(text, op.force_abs);
  if (const char index = StripIndex(body)) {
    op.kind = index == 'X' ? OperandKind::kMemoryX : OperandKind::kMemoryY;
    op.expr = body;
    return op;
  }
  if (SplitBit(body, op.expr, op.bit_expr)) {
    op.kind = OperandKind::kBit;
    return op;
  }
  op.kind = OperandKind::kMemory;
  op.expr = body;
  return op;
}

}  // namespace spcasm
