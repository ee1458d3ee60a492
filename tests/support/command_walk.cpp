#include "support/command_walk.h"

#include "format/packed_stream.h"
#include "format/vgm_commands.h"

namespace brevox::testing {
namespace {

using LengthOf = std::uint64_t (*)(const std::uint8_t* command, std::uint64_t available);

bool Walk(const ByteBuffer& bytes, std::uint32_t start, LengthOf length_of, const CommandVisitor& visit) {
  for (std::uint64_t at = start; at < bytes.size();) {
    const std::uint64_t length = length_of(&bytes[at], bytes.size() - at);
    if (length == 0) return false;
    visit(&bytes[at], length);
    if (bytes[at] == kEndOfData) return true;
    at += length;
  }
  return false;
}

WaitTotal Waits(const ByteBuffer& bytes, std::uint32_t start, LengthOf length_of) {
  WaitTotal total;
  total.ended = Walk(bytes, start, length_of, [&total](const std::uint8_t* command, std::uint64_t) {
    total.samples += WaitSamples(command);
    if (IsShortWait(*command)) ++total.short_waits;
  });
  return total;
}

}  // namespace

bool WalkVgmCommands(const ByteBuffer& vgm, std::uint32_t start, const CommandVisitor& visit) {
  return Walk(vgm, start, VgmCommandLength, visit);
}

bool WalkPackedCommands(const ByteBuffer& commands, std::uint32_t start, const CommandVisitor& visit) {
  return Walk(commands, start, PackedCommandLength, visit);
}

WaitTotal VgmWaits(const ByteBuffer& vgm, std::uint32_t start) { return Waits(vgm, start, VgmCommandLength); }

WaitTotal PackedWaits(const ByteBuffer& commands, std::uint32_t start) {
  return Waits(commands, start, PackedCommandLength);
}

}  // namespace brevox::testing
