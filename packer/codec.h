#pragma once
// The encoder of the packed stream: commands gathered eight at a time into
// flag groups, where every SN76489 write loses its command byte to a flag bit.

#include <cstddef>
#include <cstdint>

#include "format/byte_buffer.h"
#include "format/packed_stream.h"
#include "format/vgm_commands.h"

namespace brevox {

// The encoder interface; the driver holds the encoder only through it.
class Codec {
 public:
  virtual ~Codec() = default;
  // Appends `byte` to the output directly, outside any group.
  virtual void WriteRaw(std::uint8_t byte) = 0;
  // Adds `command` as the next entry of the group under construction.
  virtual void AddCommand(std::uint8_t command) = 0;
  // Closes the group under construction, padding it to eight entries.
  virtual void Flush() = 0;
  // Asks the encoder about `value`; this encoder has nothing to tell: 0.
  virtual std::int32_t Query(std::uint32_t value) = 0;
  // Appends an operand byte to the most recent entry.
  virtual void AddOperand(std::uint8_t byte) = 0;
  // Appends `count` operand bytes to the most recent entry, as AddOperand would one by one.
  virtual void AddOperands(const std::uint8_t* bytes, std::uint32_t count) {
    for (std::uint32_t k = 0; k < count; ++k) AddOperand(bytes[k]);
  }
};

// Flag-group encoder: a flag byte, then exactly eight entries. Final, and its
// per-byte operations inline, so that a pass that knows it can call them directly.
class FlagCodec final : public Codec {
 public:
  explicit FlagCodec(ByteBuffer& output) : output(output) {}

  void WriteRaw(std::uint8_t byte) override;
  void AddCommand(std::uint8_t command) override {
    // A full group waits for the ninth command, so the eighth entry's operands still join it.
    if (count == kFullGroup) Flush();
    if (command == kSn76489Write) {
      flags = static_cast<std::uint8_t>(flags | (1u << count));
    } else {
      pending.push_back(command);
    }
    ++count;
  }
  void Flush() override;
  std::int32_t Query(std::uint32_t value) override;
  void AddOperand(std::uint8_t byte) override { pending.push_back(byte); }
  // A data block's bytes go straight to the packed stream, behind the group's
  // bytes so far and a place kept for its flag byte, so that a block as large
  // as the song is never held twice.
  void AddOperands(const std::uint8_t* bytes, std::uint32_t count) override;

 private:
  // `count` of a full group.
  static constexpr std::int32_t kFullGroup = kGroupEntries;
  static constexpr std::size_t kNoFlagSlot = static_cast<std::size_t>(-1);

  // Bit i set: entry i is an SN76489 write and stores only its operand.
  std::uint8_t flags = 0;
  // Entries in the group under construction, 0 to 8.
  std::int32_t count = 0;
  // The packed stream; it outlives the encoder.
  ByteBuffer& output;
  // Stored bytes of the group under construction, in arrival order, after
  // those already in the packed stream.
  ByteBuffer pending;
  // Where the flag byte of the group under construction goes in the packed
  // stream once part of the group is there, or kNoFlagSlot.
  std::size_t flag_slot = kNoFlagSlot;
};

}  // namespace brevox
