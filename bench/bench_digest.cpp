// Throughput of the MD5 digest and the Blowfish cipher, beside the machine's
// memcpy for scale. Nothing is asserted; the figures are bytes per second.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/orvcipher.h"
#include "core/orvdigest.h"
#include "core/orvstream.h"
#include "base/orvtype.h"

namespace {

using namespace orv;

TORVBytes Payload(int64_t Size) {
  TORVBytes bytes(static_cast<std::size_t>(Size));
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 131 + 7);
  return bytes;
}

void BM_Memcpy(benchmark::State& state) {
  const TORVBytes source = Payload(state.range(0));
  TORVBytes target(source.size());
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Memcpy)->Arg(4096)->Arg(65536)->Arg(1 << 20);

void BM_MD5(benchmark::State& state) {
  const TORVBytes source = Payload(state.range(0));
  TORVDigest digest;
  for (auto _ : state) {
    digest.SetAsBytes(source);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MD5)->Arg(64)->Arg(4096)->Arg(65536)->Arg(1 << 20);

// A stream section enciphered in place, as table buffers and messages are.
void BM_BlowfishEncryptStream(benchmark::State& state) {
  TORVDigest password;
  password.SetAsString(u"benchmark password");
  TORVMemoryStream stream(1);
  stream.InitEncryption(password);
  const TORVBytes source = Payload(state.range(0));
  stream.Write(source, 0, static_cast<int32_t>(source.size()));
  for (auto _ : state) {
    stream.SetPosition(0);
    stream.Encrypt(0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BlowfishEncryptStream)->Arg(4096)->Arg(65536)->Arg(1 << 20);

void BM_BlowfishDecryptStream(benchmark::State& state) {
  TORVDigest password;
  password.SetAsString(u"benchmark password");
  TORVMemoryStream stream(1);
  stream.InitEncryption(password);
  const TORVBytes source = Payload(state.range(0));
  stream.Write(source, 0, static_cast<int32_t>(source.size()));
  for (auto _ : state) {
    stream.SetPosition(0);
    stream.Decrypt(0);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BlowfishDecryptStream)->Arg(4096)->Arg(65536)->Arg(1 << 20);

// The key schedule runs once per Init (521 block encipherments).
void BM_BlowfishInit(benchmark::State& state) {
  const TORVBytes key = Payload(16);
  TORVBlowfish cipher;
  for (auto _ : state) {
    cipher.Init(key, 16, {});
    benchmark::DoNotOptimize(cipher);
  }
}
BENCHMARK(BM_BlowfishInit);

}  // namespace
