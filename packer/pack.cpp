#include "packer/pack.h"

#include <memory>

#include "packer/codec.h"
#include "packer/header_fixup.h"

namespace brevox {

bool PackVgm(LoadedInput input, PackResult* result, OutputSink& sink) {
  const std::uint32_t input_size = input.size;
  const std::uint32_t data_start = input.data_start;
  // Room for the largest stream: one flag byte per eight commands, two padded groups.
  ReserveLarge(&result->packed, std::size_t{input_size} + input_size / 8 + 32);
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
