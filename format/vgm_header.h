#pragma once
// The VGM header: the fields that the converter, its checks and its test and
// bench generators read or write, all 32-bit little-endian unless noted.

#include <cstdint>

namespace brevox {

// The header of every VGM file is at least this long; commands may follow at once.
constexpr std::uint32_t kVgmHeaderSize = 0x40;

// Bytes 0-3 of every VGM file.
constexpr char kVgmIdentification[] = "Vgm ";
constexpr std::uint32_t kVgmIdentificationSize = sizeof kVgmIdentification - 1;

// End-of-file offset, relative to the field.
constexpr std::uint32_t kEofOffsetField = 0x04;
// Version in BCD; the converter marks every copy by setting its low byte to 0x51.
constexpr std::uint32_t kVersionField = 0x08;
constexpr std::uint8_t kMarkedVersionByte = 0x51;
constexpr std::uint32_t kSn76489ClockField = 0x0C;
constexpr std::uint32_t kYm2413ClockField = 0x10;
// GD3 tag offset, relative to the field; 0 for no tag.
constexpr std::uint32_t kGd3OffsetField = 0x14;
// Samples of all waits of the song.
constexpr std::uint32_t kTotalSamplesField = 0x18;
// Loop offset, relative to the field; 0 for no loop.
constexpr std::uint32_t kLoopOffsetField = 0x1C;
// Samples of the waits from the loop point to the end.
constexpr std::uint32_t kLoopSamplesField = 0x20;
// Recording frame rate: 50, 60 or 0.
constexpr std::uint32_t kRateField = 0x24;
// SN76489 noise feedback pattern (16-bit), shift register width and flags (8-bit each).
constexpr std::uint32_t kSn76489FeedbackField = 0x28;
constexpr std::uint32_t kSn76489ShiftWidthField = 0x2A;
constexpr std::uint32_t kSn76489FlagsField = 0x2B;
constexpr std::uint32_t kYm2612ClockField = 0x2C;
constexpr std::uint32_t kYm2151ClockField = 0x30;
// Data offset, relative to the field.
constexpr std::uint32_t kDataOffsetField = 0x34;

// A loop offset of 0 gives this loop position, at which no command can begin.
constexpr std::uint32_t kNoLoopPosition = kLoopOffsetField;

// True when the 4 bytes at `header` are "Vgm ".
bool HasVgmIdentification(const std::uint8_t* header);

// Index of the first command of the file whose header (at least 0x40 bytes) is
// at `header`: field 0x34 + 0x34, modulo 2^32, raised to 0x40 when below.
std::uint32_t DataStart(const std::uint8_t* header);

// Index of the loop point: field 0x1C + 0x1C, modulo 2^32; kNoLoopPosition without a loop.
std::uint32_t LoopPosition(const std::uint8_t* header);

}  // namespace brevox
