#include "core/orvcompressmgr.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/orverror.h"
#include "core/orvstream.h"
#include "base/orvutf8.h"

namespace orv {
namespace {

constexpr int64_t NoLimit = INT64_MAX;

TORVBytes SampleBytes(size_t Count) {
  TORVBytes bytes(Count);
  uint32_t x = 12345;
  for (size_t i = 0; i < Count; ++i) {
    x = x * 1103515245u + 12345u;
    // Half predictable, half noise, so that every level has work to do.
    bytes[i] = (i % 2 == 0) ? static_cast<uint8_t>(i / 7) : static_cast<uint8_t>(x >> 24);
  }
  return bytes;
}

void Fill(TORVMemoryStream& Stream, const TORVBytes& Bytes) {
  Stream.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
}

TORVBytes Contents(TORVMemoryStream& Stream) {
  const uint8_t* start = Stream.GetMemory();
  return start == nullptr ? TORVBytes() : TORVBytes(start, start + Stream.GetSize());
}

TORVBytes CompressBytes(TORVCompressionManager& Manager, const TORVBytes& Bytes) {
  TORVMemoryStream in(1), out(1);
  Fill(in, Bytes);
  in.SetPosition(0);
  Manager.Compress(in, out);
  return Contents(out);
}

TORVBytes DecompressBytes(TORVCompressionManager& Manager, const TORVBytes& Compressed,
                          int64_t MaxOutputSize = NoLimit) {
  TORVMemoryStream in(1), out(1);
  Fill(in, Compressed);
  in.SetPosition(0);
  Manager.Decompress(in, out, MaxOutputSize);
  return Contents(out);
}

// The detail text of the 1201 error that decompressing Compressed raises.
std::string DecompressFailure(TORVCompressionManager& Manager, const TORVBytes& Compressed,
                              int64_t MaxOutputSize = NoLimit) {
  try {
    DecompressBytes(Manager, Compressed, MaxOutputSize);
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), 1201);
    std::string text = StringToUtf8(e.ErrorMsg());
    const std::string prefix = "An error occurred while uncompressing data (";
    EXPECT_EQ(text.rfind(prefix, 0), 0u) << text;
    return text.substr(prefix.size(), text.size() - prefix.size() - 1);
  }
  return "no error";
}

TEST(CompressionManager, LevelOutsideZeroToNineRaises1200AndKeepsLevel) {
  TORVCompressionManager manager;
  EXPECT_EQ(manager.GetCompressionLevel(), 6);
  manager.SetCompressionLevel(3);
  for (int32_t level : {10, -1}) {
    try {
      manager.SetCompressionLevel(level);
      ADD_FAILURE() << level;
    } catch (const EORVException& e) {
      EXPECT_EQ(e.ErrorCode(), 1200);
      EXPECT_EQ(e.ErrorMsg(), u"An error occurred while compressing data (Invalid compression level)");
    }
    EXPECT_EQ(manager.GetCompressionLevel(), 3);
  }
}

TEST(CompressionManager, EveryLevelWritesItsHeaderAndRoundTrips) {
  const uint8_t flags[10] = {0xDA, 0x01, 0x01, 0x5E, 0x5E, 0x9C, 0x9C, 0xDA, 0xDA, 0xDA};
  TORVCompressionManager manager;
  for (size_t size : {size_t(100), size_t(200000)}) {
    TORVBytes data = SampleBytes(size);
    for (int32_t level = 0; level <= 9; ++level) {
      manager.SetCompressionLevel(level);
      TORVBytes compressed = CompressBytes(manager, data);
      ASSERT_GE(compressed.size(), 6u);
      EXPECT_EQ(compressed[0], 0x78) << level;
      EXPECT_EQ(compressed[1], flags[level]) << level;
      uint32_t adler = static_cast<uint32_t>(adler32(1, data.data(), static_cast<uInt>(data.size())));
      size_t n = compressed.size();
      EXPECT_EQ(compressed[n - 4], static_cast<uint8_t>(adler >> 24));
      EXPECT_EQ(compressed[n - 3], static_cast<uint8_t>(adler >> 16));
      EXPECT_EQ(compressed[n - 2], static_cast<uint8_t>(adler >> 8));
      EXPECT_EQ(compressed[n - 1], static_cast<uint8_t>(adler));
      EXPECT_EQ(DecompressBytes(manager, compressed), data) << level << " " << size;
    }
  }
}

TEST(CompressionManager, OutputIsReadableByStandardZlib) {
  TORVCompressionManager manager;
  TORVBytes data = SampleBytes(5000);
  for (int32_t level : {0, 2, 5, 9}) {
    manager.SetCompressionLevel(level);
    TORVBytes compressed = CompressBytes(manager, data);
    TORVBytes plain(data.size());
    uLongf plainSize = static_cast<uLongf>(plain.size());
    ASSERT_EQ(uncompress(plain.data(), &plainSize, compressed.data(), static_cast<uLong>(compressed.size())), Z_OK);
    EXPECT_EQ(plain, data) << level;
  }
}

TEST(CompressionManager, CompressesFromInputPositionAndWritesAtOutputPosition) {
  TORVCompressionManager manager;
  TORVBytes data = SampleBytes(100);
  TORVMemoryStream in(1), out(1);
  Fill(in, data);
  in.SetPosition(32);
  TORVBytes header = {1, 2, 3, 4, 5};
  Fill(out, header);
  manager.Compress(in, out);
  EXPECT_EQ(in.GetPosition(), 100);
  EXPECT_EQ(out.GetPosition(), out.GetSize());
  TORVBytes written = Contents(out);
  EXPECT_EQ(TORVBytes(written.begin(), written.begin() + 5), header);

  // Decompress from behind the header; bytes after the stream stay unread.
  TORVBytes trailing = {9, 9, 9};
  out.SetPosition(out.GetSize());
  Fill(out, trailing);
  out.SetPosition(5);
  TORVMemoryStream plain(1);
  Fill(plain, {7});
  manager.Decompress(out, plain, NoLimit);
  EXPECT_EQ(out.GetPosition(), out.GetSize() - 3);
  TORVBytes expected = {7};
  expected.insert(expected.end(), data.begin() + 32, data.end());
  EXPECT_EQ(Contents(plain), expected);
}

TEST(CompressionManager, EmptyInputRoundTrips) {
  TORVCompressionManager manager;
  TORVBytes compressed = CompressBytes(manager, {});
  EXPECT_EQ(compressed[0], 0x78);
  EXPECT_TRUE(DecompressBytes(manager, compressed).empty());
}

TEST(CompressionManager, DamagedStreamsRaise1201WithTheFault) {
  TORVCompressionManager manager;
  TORVBytes good = CompressBytes(manager, SampleBytes(100));
  auto with = [&](size_t Index, uint8_t Value) {
    TORVBytes bytes = good;
    bytes[Index] = Value;
    return bytes;
  };
  struct Case {
    TORVBytes input;
    const char* detail;
  } cases[] = {
      {with(good.size() - 1, static_cast<uint8_t>(good.back() ^ 0x01)), "Incorrect data check"},
      {with(0, 0x79), "Unknown compression method"},
      {with(1, 0x9D), "Incorrect header check"},
      // CINFO 8 asks for a 64 KB window; the check bits are right.
      {{0x88, 0x98, 0x03, 0x00}, "Invalid window size"},
      // FDICT set with right check bits, followed by a dictionary id.
      {{0x78, 0xBB, 0, 0, 0, 1, 0x03, 0x00}, "Missing dictionary"},
      {{0x78, 0x9C, 0x07}, "Invalid block type"},
      // A stored block whose NLEN is not the complement of LEN.
      {{0x78, 0x9C, 0x01, 0x05, 0x00, 0x00, 0x00}, "Invalid stored block lengths"},
      // A dynamic block whose code-length code is over-subscribed.
      {{0x78, 0x9C, 0x05, 0x00, 0x92, 0x04, 0, 0, 0, 0, 0, 0, 0, 0}, "Data error"},
  };
  for (const auto& c : cases) EXPECT_EQ(DecompressFailure(manager, c.input), c.detail);
  // A failed call leaves the manager usable.
  EXPECT_EQ(DecompressBytes(manager, good), SampleBytes(100));
}

TEST(CompressionManager, TruncatedInputRaises1201) {
  TORVCompressionManager manager;
  TORVBytes data = SampleBytes(300000);  // more than one read of input
  TORVBytes good = CompressBytes(manager, data);
  for (size_t keep : {size_t(0), size_t(1), size_t(2), size_t(3), good.size() / 2, good.size() - 4, good.size() - 1}) {
    TORVBytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(keep));
    EXPECT_EQ(DecompressFailure(manager, cut), "Unexpected end of compressed data") << keep;
  }
}

TEST(CompressionManager, DecompressedSizeIsBoundedByCaller) {
  TORVCompressionManager manager;
  manager.SetCompressionLevel(9);
  TORVBytes zeros(1 << 20, 0);
  TORVBytes compressed = CompressBytes(manager, zeros);
  ASSERT_LT(compressed.size(), 2000u);
  EXPECT_EQ(DecompressFailure(manager, compressed, 100000), "Uncompressed data exceeds the limit of 100000 bytes");
  EXPECT_EQ(DecompressFailure(manager, compressed, (1 << 20) - 1),
            "Uncompressed data exceeds the limit of 1048575 bytes");
  EXPECT_EQ(DecompressBytes(manager, compressed, 1 << 20), zeros);
}

TEST(CompressionManager, OnLogIsCalledOnlyThroughDoLog) {
  class TLoggingManager : public TORVCompressionManager {
   public:
    using TORVCompressionManager::DoLog;
  };
  TLoggingManager manager;
  std::vector<TORVString> logged;
  manager.DoLog(u"nobody listens");
  manager.SetOnLog([&](const TORVString& Msg) { logged.push_back(Msg); });
  CompressBytes(manager, SampleBytes(10));
  EXPECT_TRUE(logged.empty());
  manager.DoLog(u"hello");
  EXPECT_EQ(logged, std::vector<TORVString>{u"hello"});
}

}  // namespace
}  // namespace orv
