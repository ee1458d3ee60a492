// Error type for assembly failures; the assembler adds file:line when it reports one.
#pragma once

#include <stdexcept>
#include <string>

namespace spcasm {

class AsmError : public std::runtime_error {
 public:
  explicit AsmError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace spcasm
