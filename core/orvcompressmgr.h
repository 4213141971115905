// Compression of memory-stream contents in the zlib format (RFC 1950).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVMemoryStream;

using TORVCompressionLogEvent = std::function<void(const TORVString& Msg)>;

// Compresses and decompresses streams for one session or server thread at a
// time. The working state of both directions is allocated once and reset at
// every call.
class TORVCompressionManager : public TORVBaseObject {
 public:
  TORVCompressionManager();
  ~TORVCompressionManager() override;

  int32_t GetCompressionLevel() const { return FCompressionLevel; }
  // 0 (stored) to 9 (strongest); anything else raises ORV_COMPRESS_ERROR and keeps the level.
  void SetCompressionLevel(int32_t Value);

  // Compresses InStream from its position to its end into one zlib stream
  // written at OutStream's position. InStream ends at its end, OutStream
  // behind the written bytes. The header's level bits follow the level rule
  // of the engine's format, not the library's.
  void Compress(TORVMemoryStream& InStream, TORVMemoryStream& OutStream);

  // Reads one zlib stream from InStream's position and writes the
  // decompressed bytes at OutStream's position; InStream ends behind the
  // stream. Input that is damaged, ends before the stream's trailer, or
  // would decompress to more than MaxOutputSize bytes raises ORV_DECOMPRESS_ERROR; what was
  // written before the error stays in OutStream for the caller to discard.
  void Decompress(TORVMemoryStream& InStream, TORVMemoryStream& OutStream, int64_t MaxOutputSize);

  const TORVCompressionLogEvent& GetOnLog() const { return FOnLog; }
  void SetOnLog(TORVCompressionLogEvent Value) { FOnLog = std::move(Value); }

 protected:
  [[noreturn]] virtual void CompressError(const TORVString& Msg);
  [[noreturn]] virtual void DecompressError(const TORVString& Msg);
  virtual void DoLog(const TORVString& Msg);

 private:
  struct TState;

  int32_t FCompressionLevel = 6;
  std::unique_ptr<TState> FState;
  TORVCompressionLogEvent FOnLog;
};

}  // namespace orv
