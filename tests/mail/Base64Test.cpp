// Base64 of texts and of files streamed in lines: standard vectors, shapes, missing files, failing sinks.
#include "mail/Base64.h"

#include "base/Trace.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>
#include <stdexcept>
#include <vector>

namespace ar {
namespace {

using test::ReadWholeFile;
using test::TempFolder;
using test::WriteWholeFile;

// OpenSSL's encoder as the independent reference.
std::string Reference(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string Decode(const std::string& line) {
  if (line.empty()) return "";
  std::string out(line.size(), '\0');
  int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(line.data()), static_cast<int>(line.size()));
  EXPECT_GE(n, 0) << line;
  // EVP_DecodeBlock counts the padding as zero bytes.
  if (line.size() >= 2 && line[line.size() - 1] == '=') --n;
  if (line.size() >= 2 && line[line.size() - 2] == '=') --n;
  out.resize(static_cast<std::size_t>(n));
  return out;
}

std::string RandomBytes(std::mt19937& rng, std::size_t n) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(byte(rng));
  return s;
}

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
    lines.push_back(text.substr(from, at - from));
  EXPECT_EQ(from, text.size()) << "text does not end with CR LF";
  return lines;
}

TEST(Base64Text, EncodesTheStandardVectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},           {"f", "Zg=="},          {"fo", "Zm8="},          {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
      {std::string("\0\xff\xfe", 3), "AP/+"},   {"\xfb\xff", "+/8="},   {"user@example.com", "dXNlckBleGFtcGxlLmNvbQ=="},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(Base64_encode(text), expected) << text;
    EXPECT_EQ(EncodeBase64Bytes(text), expected) << text;
  }
}

TEST(Base64Text, LongTextStaysOnOneLine) {
  const std::string encoded = Base64_encode(std::string(100, 'x'));
  EXPECT_EQ(encoded.size(), 136u);
  EXPECT_EQ(encoded.find_first_of("\r\n"), std::string::npos);
}

TEST(Base64Text, RandomTextsMatchTheReferenceAndDecodeBack) {
  std::mt19937 rng(20090105);
  for (std::size_t n = 0; n < 300; ++n) {
    const std::string bytes = RandomBytes(rng, n);
    const std::string encoded = Base64_encode(bytes);
    ASSERT_EQ(encoded, Reference(bytes)) << n;
    ASSERT_EQ(Decode(encoded), bytes) << n;
  }
}

TEST(Base64Text, MemeencodeMapsSixBitValuesAndRefusesOthers) {
  TempFolder folder;
  SetTraceFile(folder.File("pop.log"));
  SetDebugSwitch(false);
  const std::pair<int, std::string> cases[] = {{0, "A"}, {25, "Z"}, {26, "a"}, {51, "z"}, {52, "0"}, {62, "+"}, {63, "/"}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(memeencode(value), expected) << value;
  EXPECT_EQ(ReadWholeFile(folder.File("pop.log")), "");

  EXPECT_EQ(memeencode(-1), "");
  EXPECT_EQ(memeencode(64), "");
  const std::string trace = ReadWholeFile(folder.File("pop.log"));
  EXPECT_NE(trace.find("Base64/memeencode: Error "), std::string::npos) << trace;
  SetTraceFile("");
}

class Base64File : public ::testing::Test {
 protected:
  std::string MakeFile(std::size_t size) {
    std::mt19937 rng(static_cast<unsigned>(size));
    content_ = RandomBytes(rng, size);
    const std::string path = folder_.File("file" + std::to_string(size) + ".bin");
    WriteWholeFile(path, content_);
    return path;
  }
  TempFolder folder_;
  std::string content_;
};

TEST_F(Base64File, LinesCarry54BytesAndEndWithAShortOrEmptyLine) {
  for (std::size_t size : {0u, 1u, 53u, 54u, 55u, 108u, 1000u}) {
    const std::string path = MakeFile(size);
    const std::string text = EncodeFileBase64(path);
    const std::vector<std::string> lines = SplitCrLf(text);
    ASSERT_EQ(lines.size(), size / 54 + 1) << size;
    std::string decoded;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].size(), i + 1 < lines.size() ? 72u : (size % 54 + 2) / 3 * 4) << size << " line " << i;
      decoded += Decode(lines[i]);
    }
    EXPECT_EQ(decoded, content_) << size;

    std::string streamed;
    const long long count = SendFileBase64(path, [&](std::string_view line) { streamed.append(line); });
    EXPECT_EQ(streamed, text) << size;
    EXPECT_EQ(count, static_cast<long long>(lines.size()));
  }
}

TEST_F(Base64File, KnownShapes) {
  EXPECT_EQ(EncodeFileBase64(MakeFile(0)), "\r\n");
  const std::string path55 = MakeFile(55);
  const std::vector<std::string> lines55 = SplitCrLf(EncodeFileBase64(path55));
  ASSERT_EQ(lines55.size(), 2u);
  EXPECT_EQ(lines55[1], Base64_encode(content_.substr(54)));
  EXPECT_EQ(lines55[1].substr(2), "==");
  const std::vector<std::string> lines108 = SplitCrLf(EncodeFileBase64(MakeFile(108)));
  ASSERT_EQ(lines108.size(), 3u);
  EXPECT_EQ(lines108[2], "");
}

TEST_F(Base64File, MissingFileOrFolderGivesNothing) {
  int calls = 0;
  EXPECT_EQ(EncodeFileBase64(folder_.File("absent.bin")), "");
  EXPECT_EQ(SendFileBase64(folder_.File("absent.bin"), [&](std::string_view) { ++calls; }), 0);
  EXPECT_EQ(SendFileBase64(folder_.Path(), [&](std::string_view) { ++calls; }), 0);
  EXPECT_EQ(calls, 0);
}

TEST_F(Base64File, FailingSinkEndsTheStreamingWithItsError) {
  const std::string path = MakeFile(200);
  int calls = 0;
  EXPECT_THROW(SendFileBase64(path,
                              [&](std::string_view) {
                                if (++calls == 2) throw std::runtime_error("send failed");
                              }),
               std::runtime_error);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace ar
