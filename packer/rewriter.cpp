#include "packer/rewriter.h"

#include <array>
#include <cstring>

#include "format/byte_order.h"
#include "format/packed_stream.h"
#include "format/vgm_commands.h"
#include "format/vgm_header.h"

namespace brevox {
namespace {

constexpr std::uint8_t kYm2612TimerALow = 0x25;
constexpr std::uint8_t kYm2612TimerB = 0x26;
constexpr std::uint8_t kYm2612TimerControl = 0x27;

// What the pass does with a command byte, and the command's VGM length. Most
// commands are copied as they are; one lookup picks the way for each.
struct Step {
  enum Action : std::uint8_t { kCopy, kLeftOut, kYm2612Port0, kPcmSeek, kDacWrite, kDataBlock };
  Action action = kCopy;
  std::uint8_t length = 1;
};

constexpr std::array<Step, 256> MakeSteps() {
  std::array<Step, 256> steps{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    const CommandInfo& info = kVgmCommands[byte];
    Step::Action action = Step::kCopy;
    if (info.kind == CommandKind::kLeftOut) action = Step::kLeftOut;
    if (info.kind == CommandKind::kDataBlock) action = Step::kDataBlock;
    if (byte == kYm2612Port0Write) action = Step::kYm2612Port0;
    if (byte == kPcmSeek) action = Step::kPcmSeek;
    if (IsDacWrite(static_cast<std::uint8_t>(byte))) action = Step::kDacWrite;
    steps[byte] = {action, static_cast<std::uint8_t>(1 + info.operands)};
  }
  return steps;
}

constexpr std::array<Step, 256> kSteps = MakeSteps();

// Where the GD3 tag begins, when it lies among the command bytes; else 0.
std::uint32_t Gd3Start(const LoadedInput& input) {
  const std::uint32_t field = ReadLe32(&input.image[kGd3OffsetField]);
  if (field == 0) return 0;
  const std::uint64_t start = std::uint64_t{kGd3OffsetField} + field;
  return start > input.data_start && start < input.size ? static_cast<std::uint32_t>(start) : 0;
}

class Rewriter {
 public:
  Rewriter(LoadedInput* input, OutputSink& sink)
      : in_(input->image.data()), out_(input->rewritten.data()), size_(input->size),
        loop_(input->loop_position), gd3_(Gd3Start(*input)), read_(input->data_start),
        write_(input->data_start), next_event_(input->data_start), sink_(sink) {}

  bool Run(RewriteResult* result) {
    result->loop_position = loop_;
    bool loop_found = false;
    for (;;) {
      // The loop point, the tag and the end are rare; one comparison per command finds them.
      if (read_ >= next_event_) {
        if (read_ == loop_) {
          result->loop_position = write_;
          loop_found = true;
        }
        if (read_ == size_ || (read_ == gd3_ && in_[read_] != kEndOfData)) {
          result->end_added = true;
          out_[write_++] = kEndOfData;
          break;
        }
        next_event_ = NextEvent();
      }
      const std::uint8_t command = in_[read_];
      if (command == kEndOfData) {
        out_[write_++] = kEndOfData;
        ++read_;
        break;
      }
      if (!RewriteOne(command)) return false;
    }
    CopyTail();
    result->length = write_;
    result->left_out = left_out_;
    if (loop_ != kNoLoopPosition && !loop_found) {
      result->loop_dropped = true;
      result->loop_position = kNoLoopPosition;
    }
    return true;
  }

 private:
  std::uint32_t Remaining() const { return size_ - read_; }

  // The first of the loop position, the tag start and the end that lies past read_.
  std::uint32_t NextEvent() const {
    std::uint32_t next = size_;
    if (loop_ > read_ && loop_ < next) next = loop_;
    if (gd3_ > read_ && gd3_ < next) next = gd3_;
    return next;
  }

  // Rewrites the command at read_; false after printing the error.
  bool RewriteOne(std::uint8_t command) {
    const Step step = kSteps[command];
    if (step.action == Step::kDacWrite) {
      RewriteDacWrite(command);
      return true;
    }
    if (step.action == Step::kDataBlock) return RewriteDataBlock();
    if (step.length > Remaining()) {
      ReportUnexpectedEnd(sink_);
      return false;
    }
    switch (step.action) {
      case Step::kLeftOut:
        // Nothing written, so the command written last stays what it was, as for a dropped write.
        left_out_ = true;
        break;
      case Step::kYm2612Port0:
        RewriteYm2612Port0();
        break;
      case Step::kPcmSeek:
        if (ReadLe32(&in_[read_ + 1]) == 0) {
          Emit(&kShortSeek, 1);
        } else {
          Emit(&in_[read_], step.length);
        }
        break;
      default:
        Emit(&in_[read_], step.length);
        break;
    }
    read_ += step.length;
    return true;
  }

  void RewriteYm2612Port0() {
    const std::uint8_t reg = in_[read_ + 1];
    const std::uint8_t value = in_[read_ + 2];
    if (reg == kYm2612TimerALow || reg == kYm2612TimerB) return;
    if (reg == kYm2612TimerControl) {
      const auto mode = static_cast<std::uint8_t>(value >> 6);
      if (mode == channel3_mode_) return;
      channel3_mode_ = mode;
    }
    Emit(&in_[read_], 3);
  }

  // A DAC write absorbs the waits after it, or else the wait before it.
  void RewriteDacWrite(std::uint8_t command) {
    unsigned wait = command & 0x0F;
    ++read_;
    if (read_ < size_ && IsShortWait(in_[read_])) {
      // A wait at the loop point stays a command, or every repetition would be shorter.
      while (read_ < next_event_ && IsShortWait(in_[read_])) {
        const unsigned absorbed = in_[read_] & 0x0F;
        if (wait + absorbed >= 16) break;
        wait += absorbed;
        ++read_;
      }
    } else if (has_last_ && IsShortWait(out_[last_]) && wait + (out_[last_] & 0x0Fu) < 16) {
      out_[last_] = static_cast<std::uint8_t>(kDacWriteFirst | (wait + (out_[last_] & 0x0Fu)));
      return;
    }
    const auto merged = static_cast<std::uint8_t>(kDacWriteFirst | wait);
    Emit(&merged, 1);
  }

  // Copies a YM2612 PCM bank block whole and leaves out a block of any other type.
  bool RewriteDataBlock() {
    if (Remaining() >= 2 && in_[read_ + 1] != kEndOfData) {
      ReportIllegalDataBlock(in_[read_ + 1], sink_);
      return false;
    }
    if (Remaining() < kDataBlockHeaderSize) {
      ReportUnexpectedEnd(sink_);
      return false;
    }
    const std::uint64_t length = DataBlockLength(&in_[read_]);
    if (length > Remaining()) {
      ReportUnexpectedEnd(sink_);
      return false;
    }
    if (in_[read_ + kDataBlockTypeOffset] == kYm2612PcmBlockType) {
      Emit(&in_[read_], static_cast<std::uint32_t>(length));
    } else {
      left_out_ = true;
    }
    read_ += static_cast<std::uint32_t>(length);
    return true;
  }

  void Emit(const std::uint8_t* bytes, std::uint32_t length) {
    // Most commands are one to three bytes; a call per command would cost more than the copy.
    if (length <= 3) {
      for (std::uint32_t k = 0; k < length; ++k) out_[write_ + k] = bytes[k];
    } else {
      std::memmove(&out_[write_], bytes, length);
    }
    last_ = write_;
    has_last_ = true;
    write_ += length;
  }

  void CopyTail() {
    const std::uint32_t tail = size_ - read_;
    if (tail != 0) std::memmove(&out_[write_], &in_[read_], tail);
    write_ += tail;
  }

  const std::uint8_t* in_;
  std::uint8_t* out_;
  const std::uint32_t size_;
  const std::uint32_t loop_;
  const std::uint32_t gd3_;
  std::uint32_t read_;
  std::uint32_t write_;
  // No loop point, tag start or end lies in [read_, next_event_).
  std::uint32_t next_event_;
  std::uint32_t last_ = 0;
  bool has_last_ = false;
  bool left_out_ = false;
  std::uint8_t channel3_mode_ = 0;
  OutputSink& sink_;
};

}  // namespace

void ReportUnexpectedEnd(OutputSink& sink) { sink.Printf("\nError: unexpected end of vgm data\n"); }

void ReportIllegalDataBlock(std::uint8_t second_byte, OutputSink& sink) {
  sink.Printf("Illegal command: 0x67 0x%02x\n", second_byte);
}

bool RewriteCommands(LoadedInput* input, ByteBuffer* packed, RewriteResult* result, OutputSink& sink) {
  // Without command data there is nothing to pack, not even an end-of-data command.
  if (input->data_start >= input->size) {
    ReportUnexpectedEnd(sink);
    return false;
  }
  const std::uint8_t* header = input->image.data();
  packed->insert(packed->end(), header, header + input->data_start);
  std::memcpy(input->rewritten.data(), header, input->data_start);
  return Rewriter(input, sink).Run(result);
}

}  // namespace brevox
