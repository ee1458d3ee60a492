#include "vgm_commands.h"

#include "format/byte_order.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox::audio {

std::uint32_t ReadLe32(const std::vector<std::uint8_t>& bytes, std::uint32_t at) {
  if (std::uint64_t{at} + 4 > bytes.size()) return 0;
  return brevox::ReadLe32(&bytes[at]);
}

std::uint32_t DataStart(const std::vector<std::uint8_t>& vgm) {
  return vgm.size() >= kVgmHeaderSize ? brevox::DataStart(vgm.data()) : kVgmHeaderSize;
}

std::uint32_t CommandLength(const std::vector<std::uint8_t>& vgm, std::uint32_t at) {
  if (at >= vgm.size() || vgm[at] == kEndOfData) return 0;
  const std::uint64_t length = VgmCommandLength(&vgm[at], vgm.size() - at);
  return static_cast<std::uint32_t>(length);
}

bool ReadsWhole(const std::vector<std::uint8_t>& vgm) {
  std::uint32_t at = DataStart(vgm);
  std::uint64_t waited = 0;
  for (std::uint32_t length; (length = CommandLength(vgm, at)) != 0; at += length) waited += WaitSamples(&vgm[at]);
  return !vgm.empty() && at == vgm.size() - 1 && vgm[at] == kEndOfData && waited == ReadLe32(vgm, kTotalSamplesField);
}

std::vector<std::uint8_t> PsgPart(const std::vector<std::uint8_t>& vgm) {
  const std::uint32_t start = DataStart(vgm);
  if (start > vgm.size()) return vgm;
  std::vector<std::uint8_t> out(vgm.begin(), vgm.begin() + start);
  const std::uint32_t loop_field = ReadLe32(vgm, kLoopOffsetField);
  const std::uint32_t loop = loop_field != 0 ? kLoopOffsetField + loop_field : 0;
  std::uint32_t new_loop = 0;
  std::uint32_t at = start;
  for (std::uint32_t length; (length = CommandLength(vgm, at)) != 0; at += length) {
    if (at == loop) new_loop = static_cast<std::uint32_t>(out.size());
    const std::uint8_t c = vgm[at];
    if (c == kGameGearStereo || c == kSn76489Write || c == kWaitSamples || c == kWait735 || c == kWait882 ||
        IsShortWait(c)) {
      out.insert(out.end(), vgm.begin() + at, vgm.begin() + at + length);
    } else if (IsDacWrite(c) && WaitSamples(&vgm[at]) != 0) {
      // A wait of as long: 0x7n waits n + 1 samples.
      out.push_back(static_cast<std::uint8_t>(kShortWaitFirst + WaitSamples(&vgm[at]) - 1));
    }
  }
  out.push_back(kEndOfData);
  auto put = [&out](std::uint32_t offset, std::uint32_t v) {
    if (std::uint64_t{offset} + 4 <= out.size()) WriteLe32(&out[offset], v);
  };
  put(kEofOffsetField, static_cast<std::uint32_t>(out.size()) - kEofOffsetField);
  put(kGd3OffsetField, 0);  // the tag is left behind
  put(kLoopOffsetField, new_loop != 0 ? new_loop - kLoopOffsetField : 0);
  for (const std::uint32_t clock : {kYm2413ClockField, kYm2612ClockField, kYm2151ClockField}) {
    if (clock + 4 <= start) put(clock, 0);
  }
  return out;
}

}  // namespace brevox::audio
