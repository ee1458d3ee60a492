// Splitting a source line into label, statement word and operand fields.
#pragma once

#include <string>
#include <vector>

namespace spcasm {

struct SourceLine {
  std::string label;          // without ':'; empty when none
  std::string constant;       // NAME of "NAME = expr"; empty when none
  std::string word;           // mnemonic or directive (with its '.')
  std::vector<std::string> fields;  // operands / arguments split at top-level commas
};

// Parses one line (comments removed); throws AsmError on malformed text.
SourceLine ParseSourceLine(const std::string& line);

}  // namespace spcasm
