#pragma once
// Synthetic VGM songs of a chosen size and command mix, for measuring the
// converter on inputs far larger than any real song.

#include <cstdint>
#include <string>

#include "format/byte_buffer.h"

namespace brevox {

// The command mix of a generated song.
enum class StreamKind : std::uint8_t {
  // SN76489 writes between short waits.
  kPsg,
  // YM2612 writes on both ports, timer and channel-3 mode writes among them.
  kFm,
  // A data block, seeks and long runs of DAC writes between short waits.
  kPcm,
  // One data block as large as the song allows, then a single wait: the
  // data-block path alone, for the memory check.
  kBlock,
};

// The kind's lower-case name: psg, fm, pcm or block.
const char* StreamKindName(StreamKind kind);

// Sets *kind from its name; false for an unknown name.
bool ParseStreamKind(const std::string& name, StreamKind* kind);

// A well-formed VGM image of exactly `size` bytes (at least 256): header,
// commands of `kind` from 0x40, one 0x66 as the last byte, looping at the
// first command after any data block. The same arguments give the same bytes.
ByteBuffer GenerateVgm(StreamKind kind, std::uint32_t size);

}  // namespace brevox
