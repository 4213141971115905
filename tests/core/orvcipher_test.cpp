#include "core/orvcipher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/orverror.h"

namespace orv {
namespace {

TORVBytes Hex(const std::string& Text) {
  TORVBytes bytes;
  for (std::size_t i = 0; i + 1 < Text.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(Text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

struct TVector {
  const char* Key;
  const char* Plain;
  const char* Cipher;
};

// The published single-block vectors with 8-byte keys.
const std::vector<TVector> EcbVectors = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
};

// A first block from the zero vector is enciphered exactly as in ECB mode.
TEST(Blowfish, ReproducesPublishedEcbVectors) {
  TORVBlowfish cipher;
  for (const TVector& v : EcbVectors) {
    SCOPED_TRACE(v.Key);
    const TORVBytes key = Hex(v.Key);
    cipher.Init(key, static_cast<int32_t>(key.size()), {});
    TORVBytes block = Hex(v.Plain);
    cipher.Encrypt(block, 0);
    EXPECT_EQ(block, Hex(v.Cipher));
    cipher.Reset();
    cipher.Decrypt(block, 0);
    EXPECT_EQ(block, Hex(v.Plain));
  }
}

// The published variable-key-length vectors: prefixes of one long key.
TEST(Blowfish, KeyScheduleUsesOnlyTheFirstLenBytes) {
  const TORVBytes key = Hex("F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677");
  const std::vector<std::pair<int32_t, const char*>> expected = {
      {1, "F9AD597C49DB005E"},  {2, "E91D21C1D961A6D6"},  {3, "E9C2B70A1BC65CF3"},
      {4, "BE1E639408640F05"},  {5, "B39E44481BDB1E6E"},  {6, "9457AA83B1928C0D"},
      {7, "8BB77032F960629D"},  {8, "E87A244E2CC85E82"},  {9, "15750E7A4F4EC577"},
      {10, "122BA70B3AB64AE0"}, {11, "3A833C9AFFC537F6"}, {12, "9409DA87A90F6BF2"},
      {13, "884F80625060B8B4"}, {14, "1F85031C19E11968"}, {15, "79D9373A714CA34F"},
      {16, "93142887EE3BE15C"},
  };
  TORVBlowfish cipher;
  for (const auto& [len, cipherText] : expected) {
    SCOPED_TRACE(len);
    cipher.Init(key, len, {});
    TORVBytes block = Hex("FEDCBA9876543210");
    cipher.Encrypt(block, 0);
    EXPECT_EQ(block, Hex(cipherText));
  }
}

TEST(Blowfish, CbcChainsBlocksAndResetRestartsTheChain) {
  TORVBlowfish cipher;
  cipher.Init(Hex("00112233445566778899AABBCCDDEEFF"), 16, {});
  const TORVBytes plain = Hex("4142434445464748" "4142434445464748" "4142434445464748");
  TORVBytes data = plain;
  for (int32_t offset = 0; offset < 24; offset += 8) cipher.Encrypt(data, offset);
  // Equal plain blocks give different cipher blocks inside one chain.
  EXPECT_NE(TORVBytes(data.begin(), data.begin() + 8), TORVBytes(data.begin() + 8, data.begin() + 16));
  EXPECT_NE(TORVBytes(data.begin() + 8, data.begin() + 16), TORVBytes(data.begin() + 16, data.end()));
  // Each block is the previous cipher block XORed in before enciphering.
  TORVBytes second(plain.begin() + 8, plain.begin() + 16);
  for (int i = 0; i < 8; ++i) second[i] ^= data[i];
  cipher.Reset();
  cipher.Encrypt(second, 0);  // from the zero vector, so plain ECB
  EXPECT_EQ(second, TORVBytes(data.begin() + 8, data.begin() + 16));

  // After Reset the first block enciphers as at the start.
  cipher.Reset();
  TORVBytes again(plain.begin(), plain.begin() + 8);
  cipher.Encrypt(again, 0);
  EXPECT_EQ(again, TORVBytes(data.begin(), data.begin() + 8));

  // A later call deciphers block by block after a Reset.
  cipher.Reset();
  for (int32_t offset = 0; offset < 24; offset += 8) cipher.Decrypt(data, offset);
  EXPECT_EQ(data, plain);
}

TEST(Blowfish, InitialVectorStartsTheChain) {
  const TORVBytes key = Hex("0123456789ABCDEF");
  const TORVBytes iv = Hex("FEDCBA9876543210");
  TORVBlowfish withVector;
  withVector.Init(key, 8, iv);
  TORVBytes block = Hex("0000000000000000");
  withVector.Encrypt(block, 0);

  TORVBlowfish plainEcb;
  plainEcb.Init(key, 8, {});
  TORVBytes expected = iv;  // zero XOR IV
  plainEcb.Encrypt(expected, 0);
  EXPECT_EQ(block, expected);

  withVector.Reset();
  withVector.Decrypt(block, 0);
  EXPECT_EQ(block, Hex("0000000000000000"));
}

TEST(Blowfish, RawBufferVariantMatchesArrayVariantAtAnOffset) {
  const TORVBytes key = Hex("0123456789ABCDEF0123456789ABCDEF");
  TORVBlowfish a;
  TORVBlowfish b;
  a.Init(key, 16, {});
  b.Init(key, 16, {});
  TORVBytes first = Hex("00FFEEDDCCBBAA99887766554433221100");
  TORVBytes second = first;
  a.Encrypt(first, 3);
  b.Encrypt(second.data(), 3);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first[0], 0x00);
  EXPECT_EQ(first[11], 0x55);  // bytes after the block stay
}

TEST(Blowfish, BadKeyLengthOrBlockOutsideBufferRaises) {
  TORVBlowfish cipher;
  const TORVBytes key = Hex("0011223344556677");
  EXPECT_THROW(cipher.Init(key, 0, {}), EORVBaseException);
  EXPECT_THROW(cipher.Init(key, 9, {}), EORVBaseException);
  cipher.Init(key, 8, {});
  TORVBytes block(12, 0);
  EXPECT_THROW(cipher.Encrypt(block, 5), EORVBaseException);
  EXPECT_THROW(cipher.Decrypt(block, -1), EORVBaseException);
  EXPECT_NO_THROW(cipher.Encrypt(block, 4));
}

}  // namespace
}  // namespace orv
