#pragma once
// Writes the SPC image to disk all or nothing: into a temporary file beside
// the output (with no name at all where the file system allows), renamed onto
// the output path only once complete. A symbolic link at the output path,
// dangling or not, has its target replaced and stays; the new file keeps the
// permission bits of the file it replaces. Devices are written in place.

#include <string>

#include "format/output_sink.h"
#include "format/byte_buffer.h"

namespace brevox {

// The player program, looked for in the current working directory.
constexpr const char* kPlayerFileName = "s-smp_player.bin";

// Writes the image of `packed` with the player read from `player_path` to
// `output_path`. Returns false after printing the error; the output path is
// then as it was before, and no temporary file remains.
bool WriteSpcFile(const std::string& output_path, const ByteBuffer& packed,
                  const std::string& player_path, OutputSink& sink);

}  // namespace brevox
