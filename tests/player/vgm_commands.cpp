#include "vgm_commands.h"

namespace brevox::audio {

std::uint32_t ReadLe32(const std::vector<std::uint8_t>& bytes, std::uint32_t at) {
  if (at + 4 > bytes.size()) return 0;
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint32_t DataStart(const std::vector<std::uint8_t>& vgm) {
  const std::uint32_t field = ReadLe32(vgm, 0x08) >= 0x150 ? ReadLe32(vgm, 0x34) : 0;
  return field != 0 ? 0x34 + field : 0x40;
}

std::uint32_t CommandLength(const std::vector<std::uint8_t>& vgm, std::uint32_t at) {
  if (at >= vgm.size()) return 0;
  const std::uint8_t c = vgm[at];
  constexpr std::uint32_t kStreamCommands[6] = {5, 5, 6, 11, 2, 5};  // 0x90-0x95
  if (c == 0x66) return 0;
  if ((c >= 0x30 && c <= 0x3F) || c == 0x4F || c == 0x50) return 2;
  if ((c >= 0x40 && c <= 0x4E) || (c >= 0x51 && c <= 0x5F) || (c >= 0xA0 && c <= 0xBF) || c == 0x61) return 3;
  if (c == 0x64 || (c >= 0xC0 && c <= 0xDF)) return 4;
  if (c == 0x67) return 7 + ReadLe32(vgm, at + 3);
  if (c == 0x68) return 12;
  if (c >= 0x90 && c <= 0x95) return kStreamCommands[c - 0x90];
  if (c >= 0xE0) return 5;
  return 1;  // 0x62, 0x63, 0x70-0x8F and the unassigned single bytes
}

bool ReadsWhole(const std::vector<std::uint8_t>& vgm) {
  std::uint32_t at = DataStart(vgm);
  std::uint64_t waited = 0;
  for (std::uint32_t length; (length = CommandLength(vgm, at)) != 0 && length <= vgm.size() - at; at += length) {
    const std::uint8_t c = vgm[at];
    if (c == 0x61) waited += vgm[at + 1] | vgm[at + 2] << 8;
    if (c == 0x62) waited += 735;
    if (c == 0x63) waited += 882;
    if (c >= 0x70 && c <= 0x8F) waited += (c & 0x0F) + (c < 0x80 ? 1 : 0);
  }
  return !vgm.empty() && at == vgm.size() - 1 && vgm[at] == 0x66 && waited == ReadLe32(vgm, 0x18);
}

std::vector<std::uint8_t> PsgPart(const std::vector<std::uint8_t>& vgm) {
  const std::uint32_t start = DataStart(vgm);
  if (start > vgm.size()) return vgm;
  std::vector<std::uint8_t> out(vgm.begin(), vgm.begin() + start);
  const std::uint32_t loop = ReadLe32(vgm, 0x1C) != 0 ? 0x1C + ReadLe32(vgm, 0x1C) : 0;
  std::uint32_t new_loop = 0;
  std::uint32_t at = start;
  for (std::uint32_t length; (length = CommandLength(vgm, at)) != 0 && at + length <= vgm.size(); at += length) {
    if (at == loop) new_loop = static_cast<std::uint32_t>(out.size());
    const std::uint8_t c = vgm[at];
    if (c == 0x4F || c == 0x50 || c == 0x61 || c == 0x62 || c == 0x63 || (c >= 0x70 && c <= 0x7F)) {
      out.insert(out.end(), vgm.begin() + at, vgm.begin() + at + length);
    } else if (c >= 0x81 && c <= 0x8F) {
      out.push_back(static_cast<std::uint8_t>(0x70 + (c & 0x0F) - 1));
    }
  }
  out.push_back(0x66);
  auto put = [&out](std::uint32_t offset, std::uint32_t v) {
    for (std::uint32_t i = 0; i < 4 && offset + i < out.size(); ++i) out[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put(0x04, static_cast<std::uint32_t>(out.size() - 4));
  put(0x14, 0);  // the tag is left behind
  put(0x1C, new_loop != 0 ? new_loop - 0x1C : 0);
  for (const std::uint32_t clock : {0x10u, 0x2Cu, 0x30u}) {
    if (clock + 4 <= start) put(clock, 0);
  }
  return out;
}

}  // namespace brevox::audio
