#include "expr.h"

#include <cctype>

#include "asm_error.h"

namespace spcasm {

bool IsSymbolStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '.';
}

bool IsSymbolChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

namespace {

// Values wrap modulo 2^64 instead of overflowing, so that no source text makes the arithmetic undefined.
std::int64_t Wrap(std::uint64_t v) { return static_cast<std::int64_t>(v); }
std::uint64_t Bits(std::int64_t v) { return static_cast<std::uint64_t>(v); }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Recursive-descent parser; each level handles one precedence tier.
class Parser {
 public:
  Parser(std::string_view text, const SymbolLookup& lookup, std::int64_t pc)
      : text_(text), lookup_(lookup), pc_(pc) {}

  ExprValue Parse() {
    ExprValue v = ParseBinary(0);
    SkipSpace();
    if (pos_ != text_.size()) Fail("unexpected '" + std::string(text_.substr(pos_)) + "'");
    return v;
  }

 private:
  struct BinaryOp {
    const char* token;
    int level;  // higher binds tighter
  };

  [[noreturn]] void Fail(const std::string& what) const {
    throw AsmError("bad expression '" + std::string(text_) + "': " + what);
  }

  void SkipSpace() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])) != 0) ++pos_;
  }

  bool Accept(std::string_view token) {
    SkipSpace();
    if (text_.substr(pos_, token.size()) == token) {
      pos_ += token.size();
      return true;
    }
    return false;
  }

  const BinaryOp* PeekBinary() {
    // Two-character tokens first, so that "<" does not take the start of "<<" or "<=".
    static const BinaryOp kOps[] = {{"<<", 6}, {">>", 6}, {"<=", 5}, {">=", 5}, {"==", 4}, {"!=", 4},
                                    {"<", 5},  {">", 5},  {"|", 1},  {"^", 2},  {"&", 3},  {"+", 7},
                                    {"-", 7},  {"*", 8},  {"/", 8},  {"%", 8}};
    SkipSpace();
    for (const BinaryOp& op : kOps) {
      if (text_.substr(pos_, std::char_traits<char>::length(op.token)) == op.token) return &op;
    }
    return nullptr;
  }

  ExprValue ParseBinary(int min_level) {
    ExprValue lhs = ParseUnary();
    for (;;) {
      const BinaryOp* op = PeekBinary();
      if (op == nullptr || op->level < min_level + 1) return lhs;
      pos_ += std::char_traits<char>::length(op->token);
      ExprValue rhs = ParseBinary(op->level);
      lhs = Combine(op->token, lhs, rhs);
    }
  }

  ExprValue Combine(std::string_view op, ExprValue a, const ExprValue& b) {
    if (!b.known && a.known) {
      a.known = false;
      a.first_unknown = b.first_unknown;
    }
    const std::int64_t x = a.value, y = b.value;
    if (op == "+") a.value = Wrap(Bits(x) + Bits(y));
    else if (op == "-") a.value = Wrap(Bits(x) - Bits(y));
    else if (op == "*") a.value = Wrap(Bits(x) * Bits(y));
    else if (op == "&") a.value = x & y;
    else if (op == "|") a.value = x | y;
    else if (op == "^") a.value = x ^ y;
    else if (op == "<<") a.value = (y < 0 || y > 62) ? 0 : static_cast<std::int64_t>(static_cast<std::uint64_t>(x) << y);
    else if (op == ">>") a.value = (y < 0 || y > 62) ? (x < 0 ? -1 : 0) : (x >> y);
    else if (op == "==") a.value = x == y ? 1 : 0;
    else if (op == "!=") a.value = x != y ? 1 : 0;
    else if (op == "<") a.value = x < y ? 1 : 0;
    else if (op == "<=") a.value = x <= y ? 1 : 0;
    else if (op == ">") a.value = x > y ? 1 : 0;
    else if (op == ">=") a.value = x >= y ? 1 : 0;
    else {  // "/" or "%"
      if (y == 0) {
        if (a.known) Fail("division by zero");
        a.value = 0;
      } else if (y == -1) {
        a.value = (op == "/") ? Wrap(0 - Bits(x)) : 0;
      } else {
        a.value = (op == "/") ? x / y : x % y;
      }
    }
    return a;
  }

  ExprValue ParseUnary() {
    if (Accept("-")) {
      ExprValue v = ParseUnary();
      v.value = Wrap(0 - Bits(v.value));
      return v;
    }
    if (Accept("~")) {
      ExprValue v = ParseUnary();
      v.value = ~v.value;
      return v;
    }
    if (Accept("+")) return ParseUnary();
    return ParsePrimary();
  }

  ExprValue ParsePrimary() {
    SkipSpace();
    if (pos_ >= text_.size()) Fail("missing value");
    const char c = text_[pos_];
    if (c == '(') {
      ++pos_;
      ExprValue v = ParseBinary(0);
      if (!Accept(")")) Fail("missing ')'");
      return v;
    }
    if (c == '*') {
      ++pos_;
      return ExprValue{pc_, true, {}};
    }
    if (c == '\'') return ParseChar();
    if (c == '$' || c == '%' || std::isdigit(static_cast<unsigned char>(c)) != 0) return ParseNumber();
    if (IsSymbolStart(c)) return ParseSymbol();
    Fail(std::string("unexpected '") + c + "'");
  }

  ExprValue ParseChar() {
    if (pos_ + 2 >= text_.size() || text_[pos_ + 2] != '\'') Fail("bad character constant");
    const auto v = static_cast<unsigned char>(text_[pos_ + 1]);
    pos_ += 3;
    return ExprValue{v, true, {}};
  }

  ExprValue ParseNumber() {
    int base = 10;
    if (text_[pos_] == '$') {
      base = 16;
      ++pos_;
    } else if (text_[pos_] == '%') {
      base = 2;
      ++pos_;
    } else if (text_[pos_] == '0' && pos_ + 1 < text_.size() && (text_[pos_ + 1] == 'x' || text_[pos_ + 1] == 'X')) {
      base = 16;
      pos_ += 2;
    } else if (text_[pos_] == '0' && pos_ + 1 < text_.size() && (text_[pos_ + 1] == 'b' || text_[pos_ + 1] == 'B')) {
      base = 2;
      pos_ += 2;
    }
    const std::size_t start = pos_;
    std::int64_t value = 0;
    while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_])) != 0) {
      const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_])));
      const int digit = std::isdigit(static_cast<unsigned char>(d)) != 0 ? d - '0' : d - 'a' + 10;
      if (digit < 0 || digit >= base) Fail("bad digit '" + std::string(1, text_[pos_]) + "'");
      value = value * base + digit;
      if (value > 0xFFFFFFFFLL) Fail("number too large");
      ++pos_;
    }
    if (pos_ == start) Fail("missing digits");
    return ExprValue{value, true, {}};
  }

  ExprValue ParseSymbol() {
    const std::size_t start = pos_;
    ++pos_;
    while (pos_ < text_.size() && IsSymbolChar(text_[pos_])) ++pos_;
    const std::string name(text_.substr(start, pos_ - start));
    if (EqualsNoCase(name, "lo") || EqualsNoCase(name, "hi")) {
      if (!Accept("(")) Fail(name + " needs parentheses: " + name + "(expr)");
      ExprValue v = ParseBinary(0);
      if (!Accept(")")) Fail("missing ')'");
      v.value = EqualsNoCase(name, "lo") ? (v.value & 0xFF) : ((v.value >> 8) & 0xFF);
      return v;
    }
    if (const auto found = lookup_(name)) return ExprValue{*found, true, {}};
    return ExprValue{0, false, name};
  }

  std::string_view text_;
  const SymbolLookup& lookup_;
  std::int64_t pc_;
  std::size_t pos_ = 0;
};

}  // namespace

ExprValue EvalExpr(std::string_view text, const SymbolLookup& lookup, std::int64_t pc) {
  return Parser(text, lookup, pc).Parse();
}

}  // namespace spcasm
