// Character sets: UTF-8 or Windows-1252 text files, wire text, encoded words and MIME parameters.
#include "mail/Charset.h"
#include "mail/CharsetEncodedWord.h"

#include "tests/support/MimeParser.h"

#include <gtest/gtest.h>

namespace ar {
namespace {

TEST(Charset, Utf8Validity) {
  const std::pair<std::string, bool> cases[] = {
      {"plain ascii", true},
      {"caf\xC3\xA9", true},
      {"\xE2\x82\xAC", true},          // euro sign
      {"\xF0\x9F\x98\x80", true},      // four-byte sequence
      {"caf\xE9", false},              // a Windows-1252 byte
      {"\xC0\xAF", false},             // overlong "/"
      {"\xE0\x80\xAF", false},         // overlong three-byte form
      {"\xED\xA0\x80", false},         // surrogate
      {"\xF4\x90\x80\x80", false},     // above U+10FFFF
      {"\xC3", false},                 // cut off at the end
      {"\xE2\x82", false},
      {"\x80", false},                 // lone continuation byte
  };
  for (const auto& [text, valid] : cases) EXPECT_EQ(IsValidUtf8(text), valid) << text;
}

TEST(Charset, TextFilesAreUtf8ElseWindows1252) {
  EXPECT_EQ(TextFileBytesToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
  EXPECT_EQ(TextFileBytesToUtf8("\xEF\xBB\xBFhello"), "hello");
  EXPECT_EQ(TextFileBytesToUtf8("caf\xE9 \x80 \x93x\x94 \x81"),
            "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xC2\x81");
  EXPECT_EQ(Latin1ToUtf8("\xFC\xDF"), "\xC3\xBC\xC3\x9F");
}

TEST(Charset, WireTextMatchesTheDeclaredCharset) {
  struct Case {
    std::string text, declared, charset, bytes;
  } cases[] = {
      {"Hello", "ISO-8859-1", "ISO-8859-1", "Hello"},
      {"Hello", "windows-1251", "windows-1251", "Hello"},
      {"Gr\xC3\xBC\xC3\x9F" "e", "ISO-8859-1", "ISO-8859-1", "Gr\xFC\xDF" "e"},
      {"Gr\xC3\xBC\xC3\x9F" "e", "iso-8859-1", "iso-8859-1", "Gr\xFC\xDF" "e"},
      {"5 \xE2\x82\xAC", "ISO-8859-1", "UTF-8", "5 \xE2\x82\xAC"},
      {"Gr\xC3\xBC\xC3\x9F" "e", "UTF-8", "UTF-8", "Gr\xC3\xBC\xC3\x9F" "e"},
      {"Gr\xC3\xBC\xC3\x9F" "e", "KOI8-R", "UTF-8", "Gr\xC3\xBC\xC3\x9F" "e"},
      {"caf\xE9 \x80", "ISO-8859-1", "UTF-8", "caf\xC3\xA9 \xE2\x82\xAC"},  // not UTF-8: read as Windows-1252
      {"caf\xE9", "ISO-8859-1", "ISO-8859-1", "caf\xE9"},
  };
  for (const Case& c : cases) {
    const WireText wire = ToWireText(c.text, c.declared);
    EXPECT_EQ(wire.charset, c.charset) << c.text << " as " << c.declared;
    EXPECT_EQ(wire.bytes, c.bytes) << c.text << " as " << c.declared;
  }
}

TEST(CharsetEncodedWord, AsciiStaysAndOtherTextBecomesEncodedWords) {
  EXPECT_EQ(EncodeHeaderText("Welcome aboard", "ISO-8859-1"), "Welcome aboard");
  EXPECT_EQ(EncodeHeaderText("\xC3\xA9t\xC3\xA9 (a_b=c?)", "UTF-8"), "=?UTF-8?Q?=C3=A9t=C3=A9_=28a=5Fb=3Dc=3F=29?=");
  EXPECT_EQ(EncodeHeaderText("Gr\xC3\xBC\xC3\x9F" "e", "ISO-8859-1"), "=?ISO-8859-1?Q?Gr=FC=DFe?=");
  EXPECT_EQ(EncodeHeaderText("\xC3\x9Cn\xC3\xAF" "c\xC3\xB6" "d\xC3\xA9 \xE2\x82\xAC" "uro", "ISO-8859-1"),
            "=?UTF-8?Q?=C3=9Cn=C3=AFc=C3=B6d=C3=A9_=E2=82=ACuro?=");
}

TEST(CharsetEncodedWord, MimeParameters) {
  const std::pair<std::string, std::string> cases[] = {
      {"report.pdf", "name=\"report.pdf\""},
      {"say \"hi\".txt", "name=\"say \\\"hi\\\".txt\""},
      {"a\r\nX-Evil: 1.bin", "name*=UTF-8''a%0D%0AX-Evil%3A%201.bin"},
      {"M\xC3\xA4rz.pdf", "name*=UTF-8''M%C3%A4rz.pdf"},
      {"M\xE4rz.pdf", "name*=UTF-8''M%C3%A4rz.pdf"},  // not UTF-8: read as Windows-1252
  };
  for (const auto& [value, parameter] : cases) EXPECT_EQ(MimeParameter("name", value), parameter) << value;
}

TEST(CharsetEncodedWord, LongTextIsFoldedWithoutSplittingCharacters) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "\xE6\x97\xA5\xE6\x9C\xAC ";  // two CJK characters and a blank
  text += "end";
  for (const char* declared : {"ISO-8859-1", "UTF-8"}) {
    const std::string encoded = EncodeHeaderText(text, declared);
    const std::string field = "Subject: " + encoded;
    std::size_t from = 0, words = 0;
    while (from < field.size()) {
      std::size_t end = field.find("\r\n", from);
      if (end == std::string::npos) end = field.size();
      EXPECT_LE(end - from, 76u) << field.substr(from, end - from);
      from = end + 2;
      ++words;
    }
    EXPECT_GT(words, 3u);
    const test::ParsedMessage parsed = test::ParseMimeMessage(field + "\r\n\r\nbody\r\n");
    EXPECT_EQ(parsed.subject, text) << encoded;
  }
  // Latin-1 text folds too and decodes back.
  std::string latin(100, 'a');
  latin += "\xC3\xA9";
  EXPECT_EQ(test::ParseMimeMessage("Subject: " + EncodeHeaderText(latin, "ISO-8859-1") + "\r\n\r\n").subject, latin);
}

}  // namespace
}  // namespace ar
