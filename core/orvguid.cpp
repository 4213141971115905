#include "core/orvguid.h"

#include <cstdint>
#include <random>

#include "core/orvliteral.h"

namespace orv {

TORVString GUIDAsString() {
  static thread_local std::mt19937_64 Generator{[] {
    std::random_device Device;
    return (uint64_t{Device()} << 32) ^ Device();
  }()};
  uint8_t Bytes[16];
  for (int K = 0; K < 16; K += 8) {
    uint64_t R = Generator();
    for (int B = 0; B < 8; ++B) Bytes[K + B] = static_cast<uint8_t>(R >> (8 * B));
  }
  Bytes[6] = static_cast<uint8_t>((Bytes[6] & 0x0F) | 0x40);  // version 4
  Bytes[8] = static_cast<uint8_t>((Bytes[8] & 0x3F) | 0x80);  // variant 1
  TORVString Result = u"{";
  for (int K = 0; K < 16; ++K) {
    if (K == 4 || K == 6 || K == 8 || K == 10) Result.push_back(u'-');
    Result += ByteToHexString(Bytes[K]);
  }
  Result.push_back(u'}');
  return Result;
}

}  // namespace orv
