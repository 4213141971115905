// 4 KB reads and writes through the buffered file manager against plain
// positioned reads and writes on the same file, and span reads in 1 MB.
// Each buffered case also reports BufferedToPlain: its time per operation
// over the plain call's, measured in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/orvplatformfile.h"
#include "base/orvutf8.h"
#include "storage/orvosfilemgr.h"

namespace orv {
namespace {

constexpr int32_t BlockBytes = 4096;
constexpr int64_t FileBytes = 32LL << 20;  // four times the default cache
constexpr int64_t Blocks = FileBytes / BlockBytes;

// One data file per process, made once and removed at exit.
class BenchFile {
 public:
  BenchFile() {
    std::string Pattern = (std::filesystem::temp_directory_path() / "orvbench-XXXXXX").string();
    if (mkdtemp(Pattern.data()) == nullptr) std::abort();
    FFolder = Pattern;
    FName = Utf8ToString((FFolder / "bench.dat").string());
    TORVPlatformOpenMode Mode;
    Mode.Create = true;
    TORVFileHandle Handle = PlatformFileOpen(FName, Mode);
    std::vector<uint8_t> Chunk(1 << 20, 0x5A);
    for (int64_t Offset = 0; Offset < FileBytes; Offset += Chunk.size())
      PlatformFileWrite(Handle, Offset, static_cast<int32_t>(Chunk.size()), Chunk.data());
    PlatformFileClose(Handle);
  }
  ~BenchFile() {
    std::error_code Error;
    std::filesystem::remove_all(FFolder, Error);
  }
  const TORVString& Name() const { return FName; }

 private:
  std::filesystem::path FFolder;
  TORVString FName;
};

BenchFile& File() {
  static BenchFile Instance;
  return Instance;
}

class SharedBufferedManager : public TORVBufferedOSFileManager {
 public:
  bool GetExclusiveFileAccess() override { return false; }
};

std::vector<int64_t> Offsets(bool Random, size_t Count) {
  std::vector<int64_t> Result(Count);
  std::mt19937_64 Generator(42);
  for (size_t I = 0; I < Count; ++I)
    Result[I] = (Random ? static_cast<int64_t>(Generator() % Blocks) : static_cast<int64_t>(I % Blocks)) * BlockBytes;
  return Result;
}

// Nanoseconds per plain pread/pwrite over the same offsets.
double PlainNanos(bool Write, const std::vector<int64_t>& At) {
  TORVPlatformOpenMode Mode;
  TORVFileHandle Handle = PlatformFileOpen(File().Name(), Mode);
  std::vector<uint8_t> Buffer(BlockBytes, 1);
  auto Start = std::chrono::steady_clock::now();
  for (int64_t Offset : At) {
    if (Write) {
      PlatformFileWrite(Handle, Offset, BlockBytes, Buffer.data());
    } else {
      PlatformFileRead(Handle, Offset, BlockBytes, Buffer.data());
    }
  }
  auto Elapsed = std::chrono::steady_clock::now() - Start;
  PlatformFileClose(Handle);
  return std::chrono::duration<double, std::nano>(Elapsed).count() / static_cast<double>(At.size());
}

void Plain(benchmark::State& State, bool Write, bool Random) {
  std::vector<int64_t> At = Offsets(Random, 1 << 16);
  TORVPlatformOpenMode Mode;
  TORVFileHandle Handle = PlatformFileOpen(File().Name(), Mode);
  std::vector<uint8_t> Buffer(BlockBytes, 1);
  size_t Next = 0;
  for (auto _ : State) {
    int64_t Offset = At[Next++ % At.size()];
    int32_t Moved = Write ? PlatformFileWrite(Handle, Offset, BlockBytes, Buffer.data())
                          : PlatformFileRead(Handle, Offset, BlockBytes, Buffer.data());
    benchmark::DoNotOptimize(Moved);
  }
  PlatformFileClose(Handle);
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * BlockBytes);
}

void Buffered(benchmark::State& State, bool Write, bool Random) {
  std::vector<int64_t> At = Offsets(Random, 1 << 16);
  double PlainPerOp = PlainNanos(Write, At);
  SharedBufferedManager Manager;
  Manager.Initialize();
  {
    auto Stream = Manager.OpenFile(File().Name(), TORVFileOptions());
    TORVFile* FileObject = Stream->GetFileObject();
    std::vector<uint8_t> Buffer(BlockBytes, 1);
    size_t Next = 0;
    auto Start = std::chrono::steady_clock::now();
    for (auto _ : State) {
      int64_t Offset = At[Next++ % At.size()];
      int32_t Moved = Write ? FileObject->Write(Offset, BlockBytes, Buffer.data())
                            : FileObject->Read(Offset, BlockBytes, Buffer.data());
      benchmark::DoNotOptimize(Moved);
    }
    auto Elapsed = std::chrono::steady_clock::now() - Start;
    double PerOp = std::chrono::duration<double, std::nano>(Elapsed).count() /
                   static_cast<double>(std::max<int64_t>(State.iterations(), 1));
    State.counters["BufferedToPlain"] = PerOp / PlainPerOp;
    Stream->Close();  // writes what the cache still holds; the timed loop is over
  }
  Manager.Reset();
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * BlockBytes);
}

void BM_PlainSequentialRead4K(benchmark::State& State) { Plain(State, false, false); }
void BM_BufferedSequentialRead4K(benchmark::State& State) { Buffered(State, false, false); }
void BM_PlainRandomRead4K(benchmark::State& State) { Plain(State, false, true); }
void BM_BufferedRandomRead4K(benchmark::State& State) { Buffered(State, false, true); }
void BM_PlainSequentialWrite4K(benchmark::State& State) { Plain(State, true, false); }
void BM_BufferedSequentialWrite4K(benchmark::State& State) { Buffered(State, true, false); }
void BM_PlainRandomWrite4K(benchmark::State& State) { Plain(State, true, true); }
void BM_BufferedRandomWrite4K(benchmark::State& State) { Buffered(State, true, true); }

// Reads the file front to back in 1 MB spans through a freshly opened cache:
// each span should cost one disk read (DiskReadsPerSpan 1).
void BM_BufferedSpanRead1MB(benchmark::State& State) {
  constexpr int32_t Span = 1 << 20;
  SharedBufferedManager Manager;
  Manager.Initialize();
  std::vector<uint8_t> Buffer(Span);
  int64_t Spans = 0;
  int64_t DiskReads = 0;
  for (auto _ : State) {
    State.PauseTiming();
    auto Stream = Manager.OpenFile(File().Name(), TORVFileOptions());
    TORVFile* FileObject = Stream->GetFileObject();
    State.ResumeTiming();
    for (int64_t Offset = 0; Offset < FileBytes; Offset += Span) {
      benchmark::DoNotOptimize(FileObject->Read(Offset, Span, Buffer.data()));
      ++Spans;
    }
    State.PauseTiming();
    TORVIOStatistics Statistics;
    FileObject->GetIOStatistics(Statistics);
    DiskReads += Statistics.Reads;
    Stream->Close();
    State.ResumeTiming();
  }
  Manager.Reset();
  State.counters["DiskReadsPerSpan"] = static_cast<double>(DiskReads) / static_cast<double>(std::max<int64_t>(Spans, 1));
  State.SetBytesProcessed(static_cast<int64_t>(State.iterations()) * FileBytes);
}

// Repeated runs of each case report their median (beside the mean, spread
// and variation).
void Repeated(benchmark::internal::Benchmark* Case) { Case->Repetitions(5)->ReportAggregatesOnly(true); }

BENCHMARK(BM_PlainSequentialRead4K)->Apply(Repeated);
BENCHMARK(BM_BufferedSequentialRead4K)->Apply(Repeated);
BENCHMARK(BM_PlainRandomRead4K)->Apply(Repeated);
BENCHMARK(BM_BufferedRandomRead4K)->Apply(Repeated);
BENCHMARK(BM_PlainSequentialWrite4K)->Apply(Repeated);
BENCHMARK(BM_BufferedSequentialWrite4K)->Apply(Repeated);
BENCHMARK(BM_PlainRandomWrite4K)->Apply(Repeated);
BENCHMARK(BM_BufferedRandomWrite4K)->Apply(Repeated);
BENCHMARK(BM_BufferedSpanRead1MB)->Apply(Repeated)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orv
