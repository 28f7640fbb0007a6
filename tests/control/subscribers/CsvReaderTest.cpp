// The import file reader: lines and fields in any pieces, tab separation, overlong lines.
#include "control/subscribers/CsvReader.h"

#include "control/subscribers/CsvFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ar::test {
namespace {

using Lines = std::vector<std::vector<std::string>>;

// Every line of the bytes, fed in pieces of `piece` bytes (0: all at once).
Lines Read(std::string_view bytes, std::size_t piece = 0, std::size_t bound = CsvReader::kMaxLineBytes,
           std::vector<bool>* cut = nullptr, char separator = ',') {
  CsvReader reader(separator, bound);
  Lines lines;
  CsvLine line;
  std::size_t at = 0;
  for (;;) {
    const std::size_t size = piece == 0 ? bytes.size() - at : std::min(piece, bytes.size() - at);
    std::string_view input = bytes.substr(at, size);
    const bool atEnd = at + size == bytes.size();
    while (reader.Next(input, atEnd, line) == CsvReader::Result::Line) {
      lines.push_back(line.fields);
      if (cut) cut->push_back(line.cut);
    }
    EXPECT_TRUE(input.empty()) << "NeedMore leaves nothing behind";
    at += size;
    if (atEnd) return lines;
  }
}

struct Case {
  const char* name;
  std::string bytes;
  Lines lines;
};

TEST(CsvReader, SplitsLinesAndFieldsWhateverThePieces) {
  const Case cases[] = {
      {"empty file", "", {}},
      {"LF ends", "Name,Email\nann,ann@example.com\n", {{"Name", "Email"}, {"ann", "ann@example.com"}}},
      {"CR LF ends", "Name,Email\r\nann,ann@example.com\r\n", {{"Name", "Email"}, {"ann", "ann@example.com"}}},
      {"no line end at the end", "a,b\nc", {{"a", "b"}, {"c"}}},
      {"CR at the very end", "a\r", {{"a"}}},
      {"empty line inside", "a\n\nb\n", {{"a"}, {""}, {"b"}}},
      {"empty fields", ",x,\n", {{"", "x", ""}}},
      {"quoted comma", "\"Smith, Ann\",ann@example.com\n", {{"Smith, Ann", "ann@example.com"}}},
      {"doubled quotes", "\"say \"\"hi\"\"\",x\n", {{"say \"hi\"", "x"}}},
      {"line break in quotes", "\"two\r\nlines\",x\r\ny\n", {{"two\r\nlines", "x"}, {"y"}}},
      {"empty quoted field", "\"\",x\n", {{"", "x"}}},
      {"quote inside a plain field", "O\"Brien,x\n", {{"O\"Brien", "x"}}},
      {"text after a closing quote", "\"ab\"cd,x\n", {{"abcd", "x"}}},
      {"a CR alone ends a line too", "a\rb,c\r\n\rd", {{"a"}, {"b", "c"}, {""}, {"d"}}},
      {"a run of CRs is a run of empty lines", "a\r\r\r", {{"a"}, {""}, {""}}},
      {"quote left open to the end", "\"open,x\ny", {{"open,x\ny"}}},
      {"byte order mark passed over", "\xEF\xBB\xBFName,Email\n", {{"Name", "Email"}}},
      {"start like a mark but data", "\xEF\xBBx\n", {{"\xC3\xAF\xC2\xBBx"}}},
      {"UTF-8 kept", "Jos\xC3\xA9,\xE2\x82\xAC\n", {{"Jos\xC3\xA9", "\xE2\x82\xAC"}}},
      {"Windows-1252 line", "Jos\xE9,\x80\n", {{"Jos\xC3\xA9", "\xE2\x82\xAC"}}},
      {"each line judged alone", "\xE9\n\xC3\xA9\n", {{"\xC3\xA9"}, {"\xC3\xA9"}}},
  };
  for (const Case& c : cases) {
    for (std::size_t piece : {0, 1, 2, 3, 7}) {
      EXPECT_EQ(Read(c.bytes, piece), c.lines) << c.name << ", pieces of " << piece;
    }
  }
}

TEST(CsvReader, TabSeparatesWhenAskedTo) {
  EXPECT_EQ(Read("a,b\tc\n", 0, CsvReader::kMaxLineBytes, nullptr, '\t'), (Lines{{"a,b", "c"}}));
}

TEST(CsvReader, AnOverlongLineKeepsItsFieldsWithinTheBoundAndTheNextLinesFollow) {
  // Bound 10: "ann,bob,carol" is cut after 10 bytes; an open quote cannot swallow the file.
  const struct {
    const char* name;
    std::string bytes;
    Lines lines;
    std::vector<bool> cut;
  } cases[] = {
      {"plain", "ann,bob,carol,dave\nx,y\n", {{"ann", "bob", "ca"}, {"x", "y"}}, {true, false}},
      {"exactly the bound", "0123456789\nx\n", {{"0123456789"}, {"x"}}, {false, false}},
      {"open quote", "\"abcdefghijklmnop\nx\n\"y\"\n", {{"abcdefghi"}, {"x"}, {"y"}}, {true, false, false}},
      {"last line without end", "abcdefghijklmnop", {{"abcdefghij"}}, {true}},
  };
  for (const auto& c : cases) {
    for (std::size_t piece : {0, 1, 4}) {
      std::vector<bool> cut;
      EXPECT_EQ(Read(c.bytes, piece, 10, &cut), c.lines) << c.name << ", pieces of " << piece;
      EXPECT_EQ(cut, c.cut) << c.name;
    }
  }
}

TEST(CsvFile, ReadsAFileInPiecesAndTellsHowFarItGot) {
  TempFolder folder;
  std::string content = "Name,Email\r\n";
  for (int i = 0; i < 20000; ++i) content += "reader " + std::to_string(i) + ",r" + std::to_string(i) + "@example.com\r\n";
  WriteWholeFile(folder.File("list.csv"), content);

  CsvFile file(folder.File("list.csv"));
  EXPECT_EQ(file.Percent(), 0);
  CsvLine line;
  int lines = 0;
  int lastPercent = 0;
  while (file.Next(line)) {
    ++lines;
    EXPECT_GE(file.Percent(), lastPercent);
    lastPercent = file.Percent();
    if (lines == 10001) {
      std::size_t end = 0;  // just after the line feed of that line
      for (int i = 0; i < lines; ++i) end = content.find('\n', end) + 1;
      EXPECT_EQ(file.Percent(), static_cast<int>(end * 100 / content.size()));
    }
  }
  EXPECT_EQ(lines, 20001);
  EXPECT_EQ(line.fields, (std::vector<std::string>{"reader 19999", "r19999@example.com"}));
  EXPECT_EQ(file.Percent(), 100);

  EXPECT_THROW(CsvFile(folder.File("missing.csv")), std::runtime_error);
  EXPECT_THROW(CsvFile(folder.Path()), std::runtime_error);
}

}  // namespace
}  // namespace ar::test
