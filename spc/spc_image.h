#pragma once
// The SPC snapshot (format version 0.30): header, 64 KB of sound RAM holding
// the player program and the packed stream, and the DSP registers.

#include <cstddef>
#include <cstdint>

#include "format/byte_buffer.h"
#include "format/sound_ram.h"

namespace brevox {

constexpr std::size_t kSpcFileSize = 0x10200;
constexpr std::size_t kSpcHeaderSize = 0x100;
constexpr std::size_t kSpcDspOffset = kSpcHeaderSize + kSoundRamSize;
constexpr std::size_t kSpcDspRegisters = 128;
// The sound CPU's test register; players need its normal value there.
constexpr std::uint16_t kTestRegisterAddress = 0x00F0;
constexpr std::uint8_t kTestRegisterValue = 0x0A;
constexpr std::uint8_t kDspFlagRegister = 0x6C;
// Echo-buffer writes off, so that no player wipes RAM with an echo buffer.
constexpr std::uint8_t kDspFlagEchoWritesOff = 0x20;
// Player bytes beyond the end of a short player file.
constexpr std::uint8_t kMissingPlayerByte = 0xFF;

// Builds the 66048-byte image from the player file's bytes (only the first
// 4352 are used) and a packed stream of at most 61120 bytes.
ByteBuffer BuildSpcImage(const ByteBuffer& player, const ByteBuffer& packed);

}  // namespace brevox
