#include "format/vgm_commands.h"

#include "format/byte_order.h"

namespace brevox {
namespace {

constexpr std::uint32_t kSamplesOf735 = 735;  // 1/60 s
constexpr std::uint32_t kSamplesOf882 = 882;  // 1/50 s

}  // namespace

std::uint64_t DataBlockLength(const std::uint8_t* block) {
  return kDataBlockHeaderSize + std::uint64_t{ReadLe32(block + kDataBlockSizeOffset)};
}

std::uint64_t CommandLength(const std::uint8_t* command, std::uint32_t operands, std::uint64_t available) {
  if (available == 0) return 0;
  std::uint64_t length = 1 + std::uint64_t{operands};
  if (*command == kDataBlock && length <= available) length = DataBlockLength(command);
  return length <= available ? length : 0;
}

std::uint64_t VgmCommandLength(const std::uint8_t* command, std::uint64_t available) {
  return available == 0 ? 0 : CommandLength(command, kVgmCommands[*command].operands, available);
}

std::uint32_t WaitSamples(const std::uint8_t* command) {
  const std::uint8_t byte = *command;
  if (byte == kWaitSamples) return static_cast<std::uint32_t>(command[1]) | static_cast<std::uint32_t>(command[2]) << 8;
  if (byte == kWait735) return kSamplesOf735;
  if (byte == kWait882) return kSamplesOf882;
  // 0x7n waits n + 1 samples; a DAC write 0x8n waits n after its write.
  if (IsShortWait(byte)) return (byte & 0x0Fu) + 1;
  if (IsDacWrite(byte)) return byte & 0x0Fu;
  return 0;
}

}  // namespace brevox
