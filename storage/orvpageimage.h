// Little-endian integers at a byte address of a page buffer, read and
// written without casting the buffer to another type.
#pragma once

#include <cstdint>
#include <cstring>

namespace orv {

inline int32_t ReadPageInt(const uint8_t* Data) {
  int32_t Result;
  std::memcpy(&Result, Data, sizeof(Result));
  return Result;
}

inline void WritePageInt(uint8_t* Data, int32_t Value) { std::memcpy(Data, &Value, sizeof(Value)); }

inline uint16_t ReadPageWord(const uint8_t* Data) {
  uint16_t Result;
  std::memcpy(&Result, Data, sizeof(Result));
  return Result;
}

inline void WritePageWord(uint8_t* Data, int32_t Value) {
  const auto Word = static_cast<uint16_t>(Value);
  std::memcpy(Data, &Word, sizeof(Word));
}

}  // namespace orv
