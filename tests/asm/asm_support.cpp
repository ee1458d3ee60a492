#include "asm_support.h"

#include <cstdio>
#include <optional>

namespace spcasm_test {

spcasm::AssemblyResult AssembleText(const std::string& source, const std::map<std::string, std::string>& files) {
  const spcasm::FileReader reader = [&files](const std::string& path) -> std::optional<std::string> {
    const auto it = files.find(path);
    if (it == files.end()) return std::nullopt;
    return it->second;
  };
  return spcasm::Assemble(source, "test.s", reader);
}

std::vector<std::uint8_t> BytesFrom(const spcasm::AssemblyResult& result, std::uint32_t from) {
  const spcasm::MemoryImage& img = result.image;
  if (from >= img.end) return {};
  return std::vector<std::uint8_t>(img.bytes.begin() + from, img.bytes.begin() + img.end);
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (const std::uint8_t b : bytes) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", b);
    if (!out.empty()) out += ' ';
    out += buf;
  }
  return out;
}

std::string JoinErrors(const spcasm::AssemblyResult& result) {
  std::string out;
  for (const std::string& e : result.errors) out += e + "\n";
  return out;
}

}  // namespace spcasm_test
