// Helpers for assembling test sources in memory and reading back what they produced.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "assembler.h"

namespace spcasm_test {

// Assembles source as "test.s"; .include names are looked up in files (no disk access).
spcasm::AssemblyResult AssembleText(const std::string& source,
                                    const std::map<std::string, std::string>& files = {});

// The bytes from address `from` up to the image's end (empty when nothing lies there).
std::vector<std::uint8_t> BytesFrom(const spcasm::AssemblyResult& result, std::uint32_t from);

// Bytes as "12 AB ..." for readable failure messages.
std::string Hex(const std::vector<std::uint8_t>& bytes);

// All errors joined by newlines, for failure messages.
std::string JoinErrors(const spcasm::AssemblyResult& result);

}  // namespace spcasm_test
