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
  unsigned Flags = static_cast<unsigned>(HeaderLevel(Level)) << 6;
  Flags += 31 - (CMF * 256u + Flags) % 31;
  return static_cast<uint8_t>(Flags);
}

// The detail text for a failure of the decompressor.
TORVString InflateErrorText(int Result, const char* Msg) {
  if (Result == Z_NEED_DICT) return u"Missing dictionary";
  if (Result == Z_MEM_ERROR) return u"Memory error";
  if (Result == Z_STREAM_ERROR) return u"Stream error";
  if (Msg == nullptr) return Result == Z_BUF_ERROR ? u"Buffer error" : u"Data error";
  std::string Text(Msg);
  // Code-length sets the decoder cannot build (over-subscribed, incomplete
  // or too large) are data errors of the stream.
  if (Text.size() > 4 && Text.compare(Text.size() - 4, 4, " set") == 0) return u"Data error";
  if (!Text.empty() && Text[0] >= 'a' && Text[0] <= 'z') Text[0] = static_cast<char>(Text[0] - 'a' + 'A');
  return AsciiToString(Text);
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
  // zlib refuses only when it has no memory or is not the library built
  // against; either way the engine reports it as its own error.
  int32_t Status =
      deflateInit2(&FState->Deflater, FCompressionLevel, Z_DEFLATED, WindowBits, MemoryLevel, Z_DEFAULT_STRATEGY);
  if (Status != Z_OK) CompressError(u"Cannot set up the compressor: " + AsciiToString(zError(Status)));
  FState->DeflaterReady = true;
  Status = inflateInit2(&FState->Inflater, WindowBits);
  if (Status != Z_OK) DecompressError(u"Cannot set up the decompressor: " + AsciiToString(zError(Status)));
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
  z_stream& Z = FState->Deflater;
  uint8_t* In = FState->InBuffer.data();
  uint8_t* Out = FState->OutBuffer.data();
  if (deflateReset(&Z) != Z_OK || deflateParams(&Z, FCompressionLevel, Z_DEFAULT_STRATEGY) != Z_OK)
    CompressError(u"Stream error");
  int64_t Total = 0;
  int Flush = Z_NO_FLUSH;
  int Result = Z_OK;
  while (Result != Z_STREAM_END) {
    if (Z.avail_in == 0 && Flush == Z_NO_FLUSH) {
      int32_t Got = InStream.Read(In, ChunkSize);
      Z.next_in = In;
      Z.avail_in = static_cast<uInt>(Got);
      if (Got < ChunkSize) Flush = Z_FINISH;
    }
    Z.next_out = Out;
    Z.avail_out = ChunkSize;
    Result = deflate(&Z, Flush);
    if (Result != Z_OK && Result != Z_STREAM_END && Result != Z_BUF_ERROR) {
      CompressError(Z.msg != nullptr ? AsciiToString(Z.msg) : TORVString(u"Stream error"));
    }
    int32_t Produced = ChunkSize - static_cast<int32_t>(Z.avail_out);
    if (Total <= 1 && Total + Produced > 1) Out[1 - Total] = HeaderFlags(FCompressionLevel);
    if (Produced > 0) OutStream.Write(Out, Produced);
    Total += Produced;
  }
}

void TORVCompressionManager::Decompress(TORVMemoryStream& InStream, TORVMemoryStream& OutStream,
                                        int64_t MaxOutputSize) {
  z_stream& Z = FState->Inflater;
  uint8_t* In = FState->InBuffer.data();
  uint8_t* Out = FState->OutBuffer.data();
  if (inflateReset(&Z) != Z_OK) DecompressError(u"Stream error");
  Z.next_in = In;
  Z.avail_in = 0;
  int64_t Written = 0;
  bool InputEnded = false;
  int Result = Z_OK;
  while (Result != Z_STREAM_END) {
    if (Z.avail_in == 0 && !InputEnded) {
      int32_t Got = InStream.Read(In, ChunkSize);
      Z.next_in = In;
      Z.avail_in = static_cast<uInt>(Got);
      InputEnded = Got < ChunkSize;
      if (Written == 0 && Z.total_in == 0 && Got >= 2) {
        TORVString Fault = HeaderFault(In[0], In[1]);
        if (!Fault.empty()) DecompressError(Fault);
      }
    }
    Z.next_out = Out;
    Z.avail_out = ChunkSize;
    Result = inflate(&Z, Z_NO_FLUSH);
    int32_t Produced = ChunkSize - static_cast<int32_t>(Z.avail_out);
    if (Produced > 0) {
      if (Produced > MaxOutputSize - Written) {
        DecompressError(FormatString(u"Uncompressed data exceeds the limit of %s bytes",
                                     {IntToString(MaxOutputSize)}));
      }
      OutStream.Write(Out, Produced);
      Written += Produced;
    }
    if (Result == Z_STREAM_END) break;
    if (Result == Z_OK) continue;
    if (Result == Z_BUF_ERROR && Z.avail_in == 0 && !InputEnded) continue;
    if (Result == Z_BUF_ERROR && Z.avail_in == 0) DecompressError(u"Unexpected end of compressed data");
    DecompressError(InflateErrorText(Result, Z.msg));
  }
  // Leave the input behind the stream; bytes read ahead go back.
  InStream.SetPosition(InStream.GetPosition() - static_cast<int64_t>(Z.avail_in));
}

}  // namespace orv
