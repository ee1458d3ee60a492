#include "packer/pack.h"

#include <memory>

#include "format/packed_stream.h"
#include "packer/codec.h"
#include "packer/header_fixup.h"

namespace brevox {

bool PackVgm(LoadedInput input, PackResult* result, OutputSink& sink) {
  const std::uint32_t input_size = input.size;
  const std::uint32_t data_start = input.data_start;
  // Room for the largest stream: one flag byte per group of commands, two padded groups.
  const std::size_t padded_groups = std::size_t{2} * (1 + kGroupEntries);
  ReserveLarge(&result->packed, std::size_t{input_size} + input_size / kGroupEntries + padded_groups);
  std::unique_ptr<Codec> codec = std::make_unique<FlagCodec>(result->packed);
  if (!RewriteCommands(&input, &result->packed, &result->rewrite, sink)) return false;
  ByteBuffer().swap(input.image);
  result->rewritten = std::move(input.rewritten);
  if (!EncodeCommands(result->rewritten, result->rewrite.length, data_start,
                      result->rewrite.loop_position, result->packed, *codec, &result->encode, sink)) {
    return false;
  }
  result->fits = FinishPackedStream(std::move(codec), result->rewritten, result->rewrite,
                                    result->encode, input_size, &result->packed, sink);
  return true;
}

}  // namespace brevox
