// Throughput of the packer's passes and of a whole in-memory conversion on
// generated songs, beside memcpy of the same size as the ceiling.

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <utility>

#include "format/output_sink.h"
#include "bench/stream_generator.h"
#include "input/load_input.h"
#include "packer/codec.h"
#include "packer/encoder_pass.h"
#include "packer/header_fixup.h"
#include "packer/pack.h"
#include "packer/rewriter.h"
#include "spc/spc_image.h"

namespace brevox {
namespace {

constexpr std::uint32_t kSmall = 1u << 20;
constexpr std::uint32_t kLarge = 64u << 20;

// Drops all console text, so that the sink costs nothing measurable.
class NullSink : public OutputSink {
 public:
  void Write(const char* /*data*/, std::size_t /*size*/) override {}
};

// Each song is generated once per process and shared by the benchmarks.
const ByteBuffer& Song(StreamKind kind, std::uint32_t size) {
  static std::map<std::pair<StreamKind, std::uint32_t>, ByteBuffer> songs;
  auto found = songs.find({kind, size});
  if (found == songs.end()) found = songs.emplace(std::make_pair(kind, size), GenerateVgm(kind, size)).first;
  return found->second;
}

StreamKind KindOf(const benchmark::State& state) { return static_cast<StreamKind>(state.range(0)); }
std::uint32_t SizeOf(const benchmark::State& state) { return static_cast<std::uint32_t>(state.range(1)); }

// Loads the song as the converter would; aborts the benchmark when it cannot.
bool Prepare(benchmark::State& state, LoadedInput* input) {
  NullSink sink;
  if (!PrepareInput(Song(KindOf(state), SizeOf(state)), "bench.vgm", InputEncoding::kPlain, input, sink)) {
    state.SkipWithError("the generated song does not load");
    return false;
  }
  return true;
}

void Finish(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * SizeOf(state));
  state.SetLabel(StreamKindName(KindOf(state)));
}

void BM_Rewrite(benchmark::State& state) {
  LoadedInput input;
  if (!Prepare(state, &input)) return;
  NullSink sink;
  ByteBuffer packed;
  for (auto _ : state) {
    packed.clear();
    RewriteResult result;
    if (!RewriteCommands(&input, &packed, &result, sink)) state.SkipWithError("rewrite failed");
    benchmark::DoNotOptimize(input.rewritten.data());
  }
  Finish(state);
}

void BM_Encode(benchmark::State& state) {
  LoadedInput input;
  if (!Prepare(state, &input)) return;
  NullSink sink;
  ByteBuffer header;
  RewriteResult rewrite;
  if (!RewriteCommands(&input, &header, &rewrite, sink)) {
    state.SkipWithError("rewrite failed");
    return;
  }
  // Touched once here, so that no iteration pays the first page faults that others do not.
  ByteBuffer packed(input.size + input.size / 8 + 32);
  for (auto _ : state) {
    packed.assign(header.begin(), header.end());
    FlagCodec codec(packed);
    EncodeResult result;
    if (!EncodeCommands(input.rewritten, rewrite.length, input.data_start, rewrite.loop_position,
                        packed, codec, &result, sink)) {
      state.SkipWithError("encode failed");
    }
    codec.Flush();
    benchmark::DoNotOptimize(packed.data());
  }
  Finish(state);
}

// Load from memory, pack and build the image: all a conversion does but file I/O.
void BM_Convert(benchmark::State& state) {
  const ByteBuffer& song = Song(KindOf(state), SizeOf(state));
  const ByteBuffer player(kPlayerSize, 0);
  NullSink sink;
  for (auto _ : state) {
    state.PauseTiming();
    ByteBuffer image = song;
    state.ResumeTiming();
    LoadedInput input;
    PackResult result;
    if (!PrepareInput(std::move(image), "bench.vgm", InputEncoding::kPlain, &input, sink) ||
        !PackVgm(std::move(input), &result, sink)) {
      state.SkipWithError("conversion failed");
    }
    // Songs this large never fit; the image is built from the stream's first bytes all the same.
    if (result.packed.size() > kMaxPackedSize) result.packed.resize(kMaxPackedSize);
    benchmark::DoNotOptimize(BuildSpcImage(player, result.packed).data());
  }
  Finish(state);
}

void BM_Memcpy(benchmark::State& state) {
  const ByteBuffer& song = Song(StreamKind::kPsg, SizeOf(state));
  ByteBuffer copy(song.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), song.data(), song.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * SizeOf(state));
}

void AllKinds(benchmark::internal::Benchmark* bench) {
  bench->ArgNames({"kind", "size"});
  for (const std::int64_t size : {kSmall, kLarge}) {
    for (const StreamKind kind : {StreamKind::kPsg, StreamKind::kFm, StreamKind::kPcm}) {
      bench->Args({static_cast<std::int64_t>(kind), size});
    }
  }
  bench->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Memcpy)->ArgNames({"kind", "size"})->Args({0, kSmall})->Args({0, kLarge})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rewrite)->Apply(AllKinds);
BENCHMARK(BM_Encode)->Apply(AllKinds);
BENCHMARK(BM_Convert)->Apply(AllKinds);

}  // namespace
}  // namespace brevox

BENCHMARK_MAIN();
