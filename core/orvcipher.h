// The engine's block cipher: Blowfish (64-bit blocks, 16 rounds) in CBC mode.
// Every enciphered section of a file or message is its own chain, restarted
// from the initial vector with Reset.
#pragma once

#include <array>
#include <cstdint>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVBlowfish : public TORVBaseObject {
 public:
  static constexpr int32_t BlockSize = 8;

  // Holds the unkeyed initial tables and a zero vector until Init.
  TORVBlowfish();

  // Runs the key schedule over the first Len bytes of Key (1 to Key.size())
  // and sets the initial vector and the chain to IV, or to 8 zero bytes when
  // IV is empty (a shorter IV is padded with zeros, a longer one cut).
  void Init(const TORVBytes& Key, int32_t Len, const TORVBytes& IV);

  // CBC-enciphers (deciphers) the 8 bytes at Offset in place and moves the
  // chain on. The array variants check that the block lies inside Block.
  void Encrypt(TORVBytes& Block, int32_t Offset);
  void Encrypt(uint8_t* Block, int32_t Offset);
  void Decrypt(TORVBytes& Block, int32_t Offset);
  void Decrypt(uint8_t* Block, int32_t Offset);

  // Restarts the chain from the initial vector; the key schedule stays.
  void Reset();

 private:
  using TBlock = std::array<uint8_t, BlockSize>;

  static void CheckBlock(const TORVBytes& Block, int32_t Offset);
  void EncryptECB(uint8_t* Block) const;
  void DecryptECB(uint8_t* Block) const;
  void CalcEncrypt(uint32_t& Left, uint32_t& Right) const;
  void CalcDecrypt(uint32_t& Left, uint32_t& Right) const;
  static void XorBlock(uint8_t* Block, const TBlock& With);

  TBlock FInitBlock{};
  TBlock FLastBlock{};
  std::array<uint32_t, 18> FPBox{};
  std::array<std::array<uint32_t, 256>, 4> FSBox{};
};

}  // namespace orv
