#pragma once
// One conversion, from the input path to the SPC file at the output path.

#include <string>

#include "app/exit_status.h"
#include "format/output_sink.h"

namespace brevox {

// Converts `input_path` into `output_path`, with the player read from
// `player_path`, writing every message to `sink`. Owns every buffer of the
// conversion. Returns kSuccess, or kFailure after one error message.
ExitStatus Convert(const std::string& input_path, const std::string& output_path,
                   const std::string& player_path, OutputSink& sink);

}  // namespace brevox
