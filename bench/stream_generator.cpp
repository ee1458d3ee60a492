#include "bench/stream_generator.h"

#include <algorithm>

#include "format/byte_order.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox {
namespace {

constexpr std::uint32_t kVersion = 0x150;
constexpr std::uint32_t kSn76489Clock = 3579545;
constexpr std::uint32_t kYm2612Clock = 7670453;
// The longest command any kind writes outside its data block: 0xE0 and its offset.
constexpr std::uint32_t kLongestCommand = 1 + kVgmCommands[kPcmSeek].operands;

// A small, fixed pseudo-random sequence, so that runs compare alike.
class Random {
 public:
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  // A value in [0, bound).
  std::uint32_t Below(std::uint32_t bound) { return Next() % bound; }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Next()); }

 private:
  std::uint32_t state_ = 0x9E3779B9u;
};

// Appends commands without passing `limit`, the index kept for the 0x66.
class Writer {
 public:
  Writer(ByteBuffer* image, std::uint32_t limit) : image_(*image), limit_(limit) {}

  bool Room(std::uint32_t length) const { return image_.size() + length <= limit_; }

  void Put(std::uint8_t command) { image_.push_back(command); }
  void Put(std::uint8_t command, std::uint8_t a) {
    Put(command);
    Put(a);
  }
  void Put(std::uint8_t command, std::uint8_t a, std::uint8_t b) {
    Put(command, a);
    Put(b);
  }
  void PutSeek(std::uint32_t offset) {
    Put(kPcmSeek);
    for (std::uint32_t shift = 0; shift < 32; shift += 8) Put(static_cast<std::uint8_t>(offset >> shift));
  }
  void ShortWait(Random& random) { Put(static_cast<std::uint8_t>(kShortWaitFirst | random.Below(16))); }

  // Pads with one-sample waits up to the limit.
  void Fill() {
    while (Room(1)) Put(kShortWaitFirst);
  }

 private:
  ByteBuffer& image_;
  const std::uint32_t limit_;
};

void WritePsg(Writer& out, Random& random) {
  while (out.Room(kLongestCommand)) {
    for (std::uint32_t n = 1 + random.Below(4); n != 0; --n) out.Put(kSn76489Write, random.Byte());
    if (random.Below(8) == 0) {
      out.Put(kWaitSamples, random.Byte(), 0);
    } else {
      out.ShortWait(random);
    }
  }
}

void WriteFm(Writer& out, Random& random) {
  while (out.Room(kLongestCommand)) {
    const std::uint32_t pick = random.Below(16);
    if (pick == 0) {
      // The channel-3 mode lives in the top two bits; repeats of it are dropped.
      out.Put(kYm2612Port0Write, 0x27, static_cast<std::uint8_t>(random.Below(4) << 6 | 0x15));
    } else if (pick == 1) {
      out.Put(kYm2612Port0Write, static_cast<std::uint8_t>(0x25 + random.Below(2)), random.Byte());
    } else if (pick < 8) {
      out.Put(kYm2612Port0Write, static_cast<std::uint8_t>(0x30 + random.Below(0x80)), random.Byte());
    } else if (pick < 13) {
      out.Put(kYm2612Port1Write, static_cast<std::uint8_t>(0x30 + random.Below(0x80)), random.Byte());
    } else if (pick < 15) {
      out.Put(kWaitSamples, random.Byte(), 0);
    } else {
      out.Put(kWait735);
    }
  }
}

void WritePcm(Writer& out, Random& random, std::uint32_t bank_size) {
  while (out.Room(kLongestCommand)) {
    out.PutSeek(random.Below(4) == 0 ? 0 : random.Below(bank_size));
    for (std::uint32_t n = 32 + random.Below(224); n != 0 && out.Room(kLongestCommand); --n) {
      out.Put(static_cast<std::uint8_t>(kDacWriteFirst | random.Below(16)));
      if (random.Below(4) != 0) out.ShortWait(random);
    }
    if (out.Room(kLongestCommand)) out.Put(kYm2612Port0Write, 0x2A, random.Byte());
  }
}

void WriteHeader(ByteBuffer* image, std::uint32_t size) {
  image->assign(kVgmHeaderSize, 0);
  std::uint8_t* header = image->data();
  std::copy(kVgmIdentification, kVgmIdentification + kVgmIdentificationSize, header);
  WriteLe32(header + kEofOffsetField, size - kEofOffsetField);
  WriteLe32(header + kVersionField, kVersion);
  WriteLe32(header + kSn76489ClockField, kSn76489Clock);
  WriteLe32(header + kYm2612ClockField, kYm2612Clock);
  WriteLe32(header + kDataOffsetField, kVgmHeaderSize - kDataOffsetField);
}

// A data block of `bank_size` bytes of noise.
void WriteDataBlock(ByteBuffer* image, Random& random, std::uint32_t bank_size) {
  image->push_back(kDataBlock);
  image->push_back(kEndOfData);
  image->push_back(kYm2612PcmBlockType);
  for (std::uint32_t shift = 0; shift < 32; shift += 8) {
    image->push_back(static_cast<std::uint8_t>(bank_size >> shift));
  }
  for (std::uint32_t i = 0; i < bank_size; ++i) image->push_back(random.Byte());
}

}  // namespace

const char* StreamKindName(StreamKind kind) {
  switch (kind) {
    case StreamKind::kPsg:
      return "psg";
    case StreamKind::kFm:
      return "fm";
    case StreamKind::kPcm:
      return "pcm";
    case StreamKind::kBlock:
      return "block";
  }
  return "";
}

bool ParseStreamKind(const std::string& name, StreamKind* kind) {
  for (const StreamKind candidate : {StreamKind::kPsg, StreamKind::kFm, StreamKind::kPcm, StreamKind::kBlock}) {
    if (name == StreamKindName(candidate)) {
      *kind = candidate;
      return true;
    }
  }
  return false;
}

ByteBuffer GenerateVgm(StreamKind kind, std::uint32_t size) {
  size = std::max<std::uint32_t>(size, 256);
  ByteBuffer image;
  image.reserve(size);
  WriteHeader(&image, size);
  Random random;
  // A bank of an eighth of the song, as large PCM songs carry; the block
  // kind leaves room for its one wait and the end only.
  const std::uint32_t bank_size =
      kind == StreamKind::kBlock ? size - kVgmHeaderSize - kDataBlockHeaderSize - 2 : size / 8;
  if (kind == StreamKind::kPcm || kind == StreamKind::kBlock) WriteDataBlock(&image, random, bank_size);
  WriteLe32(&image[kLoopOffsetField], static_cast<std::uint32_t>(image.size()) - kLoopOffsetField);
  Writer out(&image, size - 1);
  switch (kind) {
    case StreamKind::kPsg:
      WritePsg(out, random);
      break;
    case StreamKind::kFm:
      WriteFm(out, random);
      break;
    case StreamKind::kPcm:
      WritePcm(out, random, bank_size);
      break;
    case StreamKind::kBlock:
      break;
  }
  out.Fill();
  image.push_back(kEndOfData);
  return image;
}

}  // namespace brevox
