#pragma once
// The encoder of the packed stream: commands gathered eight at a time into
// flag groups, where every SN76489 write loses its command byte to a flag bit.

#include <cstdint>

#include "packer/byte_buffer.h"

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

// Flag-group encoder: a flag byte, then exactly eight entries.
class FlagCodec : public Codec {
 public:
  // Entries per group.
  static constexpr std::int32_t kGroupEntries = 8;

  explicit FlagCodec(ByteBuffer& output) : output(output) {}

  void WriteRaw(std::uint8_t byte) override;
  void AddCommand(std::uint8_t command) override;
  void Flush() override;
  std::int32_t Query(std::uint32_t value) override;
  void AddOperand(std::uint8_t byte) override;
  void AddOperands(const std::uint8_t* bytes, std::uint32_t count) override;

 private:
  // Bit i set: entry i is an SN76489 write and stores only its operand.
  std::uint8_t flags = 0;
  // Entries in the group under construction, 0 to 8.
  std::int32_t count = 0;
  // The packed stream; it outlives the encoder.
  ByteBuffer& output;
  // Stored bytes of the group under construction, in arrival order.
  ByteBuffer pending;
};

}  // namespace brevox
