// Expression evaluation for operands and directives.
//
// Syntax: numbers $1F, 0x1F, %1010, 0b1010, 123, 'c'; symbols; '*' = address of the current
// line; lo(e) / hi(e) = low / high byte; unary - ~ +; binary * / % + - << >> < <= > >= == !=
// & ^ | with C precedence, comparisons giving 1 or 0; parentheses.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace spcasm {

// Looks a symbol up; nullopt when it is not (yet) defined.
using SymbolLookup = std::function<std::optional<std::int64_t>(const std::string&)>;

struct ExprValue {
  std::int64_t value = 0;
  bool known = true;                // false when an undefined symbol took part
  std::string first_unknown;        // name of the first undefined symbol
};

// Evaluates text; throws AsmError on a syntax error or a division by zero of known values.
ExprValue EvalExpr(std::string_view text, const SymbolLookup& lookup, std::int64_t pc);

// True for a character that may start a symbol name ('.' starts a local label).
bool IsSymbolStart(char c);
// True for a character that may continue a symbol name.
bool IsSymbolChar(char c);

}  // namespace spcasm
