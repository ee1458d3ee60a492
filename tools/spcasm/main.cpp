// spcasm: SPC700 assembler.  Usage: spcasm input.s -o output.bin [--size N] [--fill V]
// The output is a flat binary whose byte 0 is address $0000 (see assembler.h for the syntax).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "asm_error.h"
#include "assembler.h"
#include "flat_image.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: spcasm input.s -o output.bin [--size N] [--fill V]\n");
  return 2;
}

std::optional<unsigned long> ParseNumber(const std::string& text) {
  char* end = nullptr;
  const unsigned long v = std::strtoul(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0') return std::nullopt;
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  std::string input, output;
  std::optional<std::uint32_t> size;
  std::uint8_t fill = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "-o" && has_value) {
      output = argv[++i];
    } else if ((arg == "--size" || arg == "--fill") && has_value) {
      const auto v = ParseNumber(argv[++i]);
      if (!v || (arg == "--size" && *v > 0x10000) || (arg == "--fill" && *v > 0xFF)) {
        std::fprintf(stderr, "spcasm: bad value for %s: %s\n", arg.c_str(), argv[i]);
        return 2;
      }
      if (arg == "--size") size = static_cast<std::uint32_t>(*v);
      else fill = static_cast<std::uint8_t>(*v);
    } else if (input.empty() && !arg.empty() && arg[0] != '-') {
      input = arg;
    } else {
      return Usage();
    }
  }
  if (input.empty() || output.empty()) return Usage();
  const auto source = spcasm::ReadFileFromDisk(input);
  if (!source) {
    std::fprintf(stderr, "%s: error: cannot read file\n", input.c_str());
    return 1;
  }
  const spcasm::AssemblyResult result = spcasm::Assemble(*source, input, spcasm::ReadFileFromDisk);
  for (const std::string& e : result.errors) std::fprintf(stderr, "%s\n", e.c_str());
  if (!result.ok()) return 1;
  try {
    const auto bytes = spcasm::FlatImage(result.image, size, fill);
    std::ofstream out(output, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::fprintf(stderr, "%s: error: cannot write file\n", output.c_str());
      return 1;
    }
  } catch (const spcasm::AsmError& e) {
    std::fprintf(stderr, "%s: error: %s\n", input.c_str(), e.what());
    return 1;
  }
  return 0;
}
