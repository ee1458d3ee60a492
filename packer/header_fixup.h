#pragma once
// Last step of packing: the final group, the tail, the header offsets moved
// to the packed layout, the rest of the progress bar, the size report and
// the limit that the sound RAM sets.

#include <cstdint>
#include <memory>

#include "format/byte_buffer.h"
#include "format/output_sink.h"
#include "packer/codec.h"
#include "packer/encoder_pass.h"
#include "packer/rewriter.h"

namespace brevox {

// Flushes and destroys the encoder, appends the tail of `rewritten`, rewrites
// fields 0x04, 0x14 and 0x1C of the header copy in *packed, completes the
// bar and prints the size report and any warnings. Returns whether the
// packed stream fits in sound RAM (kMaxPackedSize), after printing the error
// when it does not.
bool FinishPackedStream(std::unique_ptr<Codec> codec, const ByteBuffer& rewritten,
                        const RewriteResult& rewrite, const EncodeResult& encode,
                        std::uint32_t input_size, ByteBuffer* packed, OutputSink& sink);

}  // namespace brevox
