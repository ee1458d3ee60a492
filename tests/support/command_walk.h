#pragma once
// Walks command streams with the format's tables, for tests that look at what
// a stream holds: a VGM file's commands, or the commands a packed stream decodes to.

#include <cstdint>
#include <functional>

#include "format/byte_buffer.h"

namespace brevox::testing {

// Called with each command's first byte and its whole length.
using CommandVisitor = std::function<void(const std::uint8_t* command, std::uint64_t length)>;

// Visits the VGM commands of `vgm` from `start` up to and including the first
// 0x66, each with its VGM length. Returns whether that 0x66 was reached; false
// when a command runs past the end first.
bool WalkVgmCommands(const ByteBuffer& vgm, std::uint32_t start, const CommandVisitor& visit);

// The same over a rewritten stream or a decoded packed stream, where every
// byte that the converter does not keep is a one-byte command.
bool WalkPackedCommands(const ByteBuffer& commands, std::uint32_t start, const CommandVisitor& visit);

// The waits of a walk.
struct WaitTotal {
  std::uint64_t samples = 0;
  // One-byte waits 0x70-0x7F; a DAC write absorbs one sample with each it merges.
  std::uint32_t short_waits = 0;
  bool ended = false;  // the walk reached 0x66
};

WaitTotal VgmWaits(const ByteBuffer& vgm, std::uint32_t start);
WaitTotal PackedWaits(const ByteBuffer& commands, std::uint32_t start);

}  // namespace brevox::testing
