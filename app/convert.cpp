#include "app/convert.h"

#include <new>

#include "input/load_input.h"
#include "packer/pack.h"
#include "spc/spc_file.h"

namespace brevox {

ExitStatus Convert(const std::string& input_path, const std::string& output_path,
                   const std::string& player_path, OutputSink& sink) {
  try {
    ByteBuffer read_back;
    LoadedInput input;
    if (!LoadInput(input_path, &read_back, &input, sink)) return ExitStatus::kFailure;
    PackResult packing;
    if (!PackVgm(std::move(input), &packing, sink) || !packing.fits) return ExitStatus::kFailure;
    if (!WriteSpcFile(output_path, packing.packed, player_path, sink)) return ExitStatus::kFailure;
    return ExitStatus::kSuccess;
  } catch (const std::bad_alloc&) {
    sink.Printf("Error: out of memory\n");
    return ExitStatus::kFailure;
  }
}

}  // namespace brevox
