#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "security/Base64Decoder.h"
#include "security/Base64Encoder.h"
#include "security/KRCFBase64.h"
#include "security/SHA1.h"

namespace {

std::string Words(const unsigned int digest[5]) {
  char text[45];
  std::snprintf(text, sizeof text, "%08X %08X %08X %08X %08X", digest[0], digest[1], digest[2],
                digest[3], digest[4]);
  return text;
}

}  // namespace

// ---- SHA-1 ----------------------------------------------------------------------------------

TEST(SHA1, MatchesFips180Vectors) {
  unsigned int digest[5];
  SHA1 sha;
  sha << "abc";
  ASSERT_TRUE(sha.Result(digest));
  EXPECT_EQ(Words(digest), "A9993E36 4706816A BA3E2571 7850C26C 9CD0D89D");

  // The 448-bit message, given through every input form.
  sha.Reset();
  const std::string message = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
  sha.Input(message.data(), 10);
  sha.Input(reinterpret_cast<const unsigned char*>(message.data()) + 10, 10);
  sha.Input(message[20]);
  sha.Input(static_cast<unsigned char>(message[21]));
  sha << message[22] << static_cast<unsigned char>(message[23])
      << reinterpret_cast<const unsigned char*>(message.substr(24).c_str());
  ASSERT_TRUE(sha.Result(digest));
  EXPECT_EQ(Words(digest), "84983E44 1C3BD26E BAAE4AA1 F95129E5 E54670F1");

  // A million "a" crosses many blocks.
  sha.Reset();
  const std::string thousand(1000, 'a');
  for (int i = 0; i < 1000; ++i) sha.Input(thousand.data(), 1000);
  ASSERT_TRUE(sha.Result(digest));
  EXPECT_EQ(Words(digest), "34AA973C D4C4DAA4 F61EEB2B DBAD2731 6534016F");
}

TEST(SHA1, ResultIsStableAndInputAfterItCorrupts) {
  SHA1 sha;
  sha << "abc";
  unsigned int first[5], second[5];
  ASSERT_TRUE(sha.Result(first));
  ASSERT_TRUE(sha.Result(second));
  EXPECT_EQ(Words(first), Words(second));
  EXPECT_FALSE(sha.Result(nullptr));

  sha << "more";
  EXPECT_FALSE(sha.Result(second));
  sha.Reset();
  sha << "abc";
  ASSERT_TRUE(sha.Result(second));
  EXPECT_EQ(Words(first), Words(second));
}

// ---- Base64 ---------------------------------------------------------------------------------

namespace {

struct Rfc4648Case {
  std::string plain;
  std::string encoded;
};
const std::vector<Rfc4648Case> kRfc4648 = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

std::vector<uint8_t> BytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

}  // namespace

TEST(Base64, EncodesRfc4648Vectors) {
  for (const auto& c : kRfc4648) {
    SCOPED_TRACE(c.plain);
    char out[16] = {};
    const int n = Base64Encoder().Encode(reinterpret_cast<const unsigned char*>(c.plain.data()),
                                         static_cast<unsigned int>(c.plain.size()), out, 0);
    EXPECT_EQ(std::string(out, static_cast<size_t>(n)), c.encoded);
    EXPECT_EQ(KRCFBase64CreateEncodedString(BytesOf(c.plain)), c.encoded);
  }
}

TEST(Base64, DecodesRfc4648VectorsWholeAndInPieces) {
  for (const auto& c : kRfc4648) {
    SCOPED_TRACE(c.encoded);
    unsigned char out[16];
    Base64Decoder whole;
    int n = whole.Decode(c.encoded.data(), static_cast<unsigned int>(c.encoded.size()), out);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(n)), c.plain);

    // One character per call: the unfinished group carries over.
    Base64Decoder pieces;
    std::string decoded;
    for (char ch : c.encoded) {
      n = pieces.Decode(&ch, 1, out);
      decoded.append(reinterpret_cast<char*>(out), static_cast<size_t>(n));
    }
    EXPECT_EQ(decoded, c.plain);

    const std::vector<uint8_t> data = KRCFBase64CreateDecodedData(c.encoded);
    EXPECT_EQ(std::string(data.begin(), data.end()), c.plain);
  }
}

TEST(Base64, DecoderSkipsForeignCharactersAndStopsAtPadding) {
  unsigned char out[16];
  Base64Decoder decoder;
  const std::string text = "YW Jj\n";
  int n = decoder.Decode(text.data(), static_cast<unsigned int>(text.size()), out);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(n)), "abc");

  Base64Decoder ended;
  const std::string padded = "YWI=YWJj";
  n = ended.Decode(padded.data(), static_cast<unsigned int>(padded.size()), out);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), static_cast<size_t>(n)), "ab");
  EXPECT_EQ(ended.Decode("YWJj", 4, out), 0) << "nothing after the padding, in any later call";
  EXPECT_EQ(Base64Decoder().Decode(nullptr, 4, out), 0);
}

TEST(Base64, EncoderBreaksLongLinesOnlyWhenAsked) {
  const std::vector<uint8_t> data(60, 0xFF);  // 80 characters
  char out[100];
  EXPECT_EQ(Base64Encoder().Encode(data.data(), 60, out, 0), 80);
  const int n = Base64Encoder().Encode(data.data(), 60, out, 1);
  ASSERT_EQ(n, 81);
  EXPECT_EQ(std::string(out, static_cast<size_t>(n)),
            std::string(76, '/') + "\n" + std::string(4, '/'));
}

TEST(Base64, CreateDecodedDataFollowsLengthRules) {
  EXPECT_TRUE(KRCFBase64CreateDecodedData("YWI").empty()) << "fewer than 4 characters";
  EXPECT_TRUE(KRCFBase64CreateDecodedData("").empty());
  // Characters outside the alphabet are not checked: they count as "A" (zero bits).
  const std::vector<uint8_t> data = KRCFBase64CreateDecodedData("Y*Jj");
  EXPECT_EQ(data, (std::vector<uint8_t>{0x60, 0x02, 0x63}));
  // A final single character adds nothing; the length is three quarters, rounded down.
  EXPECT_EQ(KRCFBase64CreateDecodedData("YWJjZ").size(), 3u);
}
