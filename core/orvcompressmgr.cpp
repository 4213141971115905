#include "core/orvcompressmgr.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "base/orvutf8.h"

namespace orv {

namespace {

constexpr int WindowBits = 15;
constexpr int MemoryLevel = 8;
constexpr int32_t ChunkSize = 65536;
// Deflate with a 32 KB window.
constexpr uint8_t CMF = 0x78;

// The FLEVEL bits of the header: the engine's files and peers expect these,
// which differ from the library's own choice for levels 0, 2 and 5.
uint8_t HeaderLevel(int32_t Level) {
  switch (Level) {
    case 1:
    case 2:
      return 0;
    case 3:
    case 4:
      return 1;
    case 5:
    case 6:
      return 2;
    default:
      return 3;
  }
}

// FLG with the level bits and the check bits that make CMF * 256 + FLG a
// multiple of 31 (no preset dictionary).
uint8_t HeaderFlags(int32_t Level) {
  unsigned flags = static_cast<unsigned>(HeaderLevel(Level)) << 6;
  flags += 31 - (CMF * 256u + flags) % 31;
  return static_cast<uint8_t>(flags);
}

// The detail text for a failure of the decompressor.
TORVString InflateErrorText(int Result, const char* Msg) {
  if (Result == Z_NEED_DICT) return u"Missing dictionary";
  if (Result == Z_MEM_ERROR) return u"Memory error";
  if (Result == Z_STREAM_ERROR) return u"Stream error";
  if (Msg == nullptr) return Result == Z_BUF_ERROR ? u"Buffer error" : u"Data error";
  std::string text(Msg);
  // Code-length sets the decoder cannot build (over-subscribed, incomplete
  // or too large) are data errors of the stream.
  if (text.size() > 4 && text.compare(text.size() - 4, 4, " set") == 0) return u"Data error";
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return AsciiToString(text);
}

// The fault of a stream header, in the order the format's readers test it
// (method before check bits); empty when the header is acceptable.
TORVString HeaderFault(uint8_t StreamCMF, uint8_t StreamFLG) {
  if ((StreamCMF & 0x0F) != Z_DEFLATED) return u"Unknown compression method";
  if ((StreamCMF >> 4) + 8 > WindowBits) return u"Invalid window size";
  if ((StreamCMF * 256u + StreamFLG) % 31 != 0) return u"Incorrect header check";
  if ((StreamFLG & 0x20) != 0) return u"Missing dictionary";
  return TORVString();
}

}  // namespace

struct TORVCompressionManager::TState {
  z_stream Deflater{};
  z_stream Inflater{};
  bool DeflaterReady = false;
  bool InflaterReady = false;
  std::vector<uint8_t> InBuffer = std::vector<uint8_t>(ChunkSize);
  std::vector<uint8_t> OutBuffer = std::vector<uint8_t>(ChunkSize);

  ~TState() {
    if (DeflaterReady) deflateEnd(&Deflater);
    if (InflaterReady) inflateEnd(&Inflater);
  }
};

TORVCompressionManager::TORVCompressionManager() : FState(std::make_unique<TState>()) {
  if (deflateInit2(&FState->Deflater, FCompressionLevel, Z_DEFLATED, WindowBits, MemoryLevel, Z_DEFAULT_STRATEGY) !=
      Z_OK)
    throw std::bad_alloc();
  FState->DeflaterReady = true;
  if (inflateInit2(&FState->Inflater, WindowBits) != Z_OK) throw std::bad_alloc();
  FState->InflaterReady = true;
}

TORVCompressionManager::~TORVCompressionManager() = default;

void TORVCompressionManager::SetCompressionLevel(int32_t Value) {
  if (Value < 0 || Value > 9) CompressError(u"Invalid compression level");
  FCompressionLevel = Value;
}

void TORVCompressionManager::CompressError(const TORVString& Msg) {
  RaiseError(ORV_COMPRESS_ERROR, {Msg});
}

void TORVCompressionManager::DecompressError(const TORVString& Msg) {
  RaiseError(ORV_DECOMPRESS_ERROR, {Msg});
}

void TORVCompressionManager::DoLog(const TORVString& Msg) {
  if (FOnLog) FOnLog(Msg);
}

void TORVCompressionManager::Compress(TORVMemoryStream& InStream, TORVMemoryStream& OutStream) {
  z_stream& z = FState->Deflater;
  uint8_t* in = FState->InBuffer.data();
  uint8_t* out = FState->OutBuffer.data();
  if (deflateReset(&z) != Z_OK || deflateParams(&z, FCompressionLevel, Z_DEFAULT_STRATEGY) != Z_OK)
    CompressError(u"Stream error");
  int64_t total = 0;
  int flush = Z_NO_FLUSH;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (z.avail_in == 0 && flush == Z_NO_FLUSH) {
      int32_t got = InStream.Read(in, ChunkSize);
      z.next_in = in;
      z.avail_in = static_cast<uInt>(got);
      if (got < ChunkSize) flush = Z_FINISH;
    }
    z.next_out = out;
    z.avail_out = ChunkSize;
    result = deflate(&z, flush);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
      CompressError(z.msg != nullptr ? AsciiToString(z.msg) : TORVString(u"Stream error"));
    }
    int32_t produced = ChunkSize - static_cast<int32_t>(z.avail_out);
    if (total <= 1 && total + produced > 1) out[1 - total] = HeaderFlags(FCompressionLevel);
    if (produced > 0) OutStream.Write(out, produced);
    total += produced;
  }
}

void TORVCompressionManager::Decompress(TORVMemoryStream& InStream, TORVMemoryStream& OutStream,
                                        int64_t MaxOutputSize) {
  z_stream& z = FState->Inflater;
  uint8_t* in = FState->InBuffer.data();
  uint8_t* out = FState->OutBuffer.data();
  if (inflateReset(&z) != Z_OK) DecompressError(u"Stream error");
  z.next_in = in;
  z.avail_in = 0;
  int64_t written = 0;
  bool inputEnded = false;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (z.avail_in == 0 && !inputEnded) {
      int32_t got = InStream.Read(in, ChunkSize);
      z.next_in = in;
      z.avail_in = static_cast<uInt>(got);
      inputEnded = got < ChunkSize;
      if (written == 0 && z.total_in == 0 && got >= 2) {
        TORVString fault = HeaderFault(in[0], in[1]);
        if (!fault.empty()) DecompressError(fault);
      }
    }
    z.next_out = out;
    z.avail_out = ChunkSize;
    result = inflate(&z, Z_NO_FLUSH);
    int32_t produced = ChunkSize - static_cast<int32_t>(z.avail_out);
    if (produced > 0) {
      if (produced > MaxOutputSize - written) {
        DecompressError(FormatString(u"Uncompressed data exceeds the limit of %s bytes",
                                     {IntToString(MaxOutputSize)}));
      }
      OutStream.Write(out, produced);
      written += produced;
    }
    if (result == Z_STREAM_END) break;
    if (result == Z_OK) continue;
    if (result == Z_BUF_ERROR && z.avail_in == 0 && !inputEnded) continue;
    if (result == Z_BUF_ERROR && z.avail_in == 0) DecompressError(u"Unexpected end of compressed data");
    DecompressError(InflateErrorText(result, z.msg));
  }
  // Leave the input behind the stream; bytes read ahead go back.
  InStream.SetPosition(InStream.GetPosition() - static_cast<int64_t>(z.avail_in));
}

}  // namespace orv
