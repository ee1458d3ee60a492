#pragma once
// The packer's three steps in order, in memory: rewrite, encode, fix up.

#include <cstdint>

#include "format/byte_buffer.h"
#include "format/loaded_input.h"
#include "format/output_sink.h"
#include "packer/encoder_pass.h"
#include "packer/rewriter.h"

namespace brevox {

// A finished packing, kept whole so that callers can check it.
struct PackResult {
  // Header copy, flag groups, tail.
  ByteBuffer packed;
  // The rewritten stream; only its first rewrite.length bytes are in use.
  ByteBuffer rewritten;
  RewriteResult rewrite;
  EncodeResult encode;
  // The packed stream is at most kMaxPackedSize bytes long.
  bool fits = false;
};

// Packs a loaded input, releasing its image once the rewrite is done. Returns
// false after printing the error when the input is malformed; a result that
// does not fit returns true with fits false, after printing the size error.
bool PackVgm(LoadedInput input, PackResult* result, OutputSink& sink);

}  // namespace brevox
