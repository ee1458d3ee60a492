// Two-pass assembler for SPC700 source text into a 64 KB memory image.
//
// Source lines: [label:] [instruction | directive] [; comment]
//   Labels: "name:" (global) or ".name:" (local, scoped to the last global label).
//   Constants: "NAME = expr" (may refer forward, no redefinition).
//   Directives: .org addr | .db / .byte e or "string", ... | .dw / .word e, ... |
//               .ds / .fill count[, value] | .align n[, value] | .include "file" |
//               .assert expr[, "message"]
//   Low/high byte: lo(expr), hi(expr).  '*' is the address of the current line.
// Mnemonics, register names and directives are case-insensitive; symbols are case-sensitive.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace spcasm {

// 64 KB address space with a mark for every byte that the program wrote.
struct MemoryImage {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(0x10000, 0);
  std::vector<bool> used = std::vector<bool>(0x10000, false);
  std::uint32_t end = 0;  // one past the highest written address
};

struct AssemblyResult {
  MemoryImage image;
  std::map<std::string, std::int64_t> symbols;
  std::vector<std::string> errors;  // each "file:line: error: message"
  bool ok() const { return errors.empty(); }
};

// Reads an included file; nullopt when it cannot be read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

// Assembles source text named file_name (used in messages and to resolve .include paths).
AssemblyResult Assemble(const std::string& source, const std::string& file_name, const FileReader& reader);

// Reads a file from disk; the default reader for Assemble.
std::optional<std::string> ReadFileFromDisk(const std::string& path);

}  // namespace spcasm
