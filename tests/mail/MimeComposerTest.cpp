// The MIME composer's six layouts, streamed attachments, and what each header carries.
#include "mail/MimeComposer.h"

#include "base/DayNumber.h"
#include "base/Trace.h"
#include "mail/Base64.h"
#include "mail/MimeComposerImages.h"
#include "tests/support/MimeParser.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>

namespace ar {
namespace {

using test::Leaves;
using test::ParsedMessage;
using test::ParsedPart;
using test::ParseMimeMessage;
using test::ReadWholeFile;
using test::TempFolder;
using test::WriteWholeFile;

// Each text followed by CR LF.
std::string Lines(std::initializer_list<std::string> lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

const std::string kMixed = "MixedBoundary.11111111.11111111";
const std::string kAlt = "AlternativeBoundary.22222222.22222222";
const std::string kRel = "RelatedBoundary.33333333.33333333";
const std::string kPreamble = "This message is in MIME format and may not be readable by your email reader";

const std::string kHeaders = Lines({"From: Ann Sender<ann@example.com>", "To: bob@example.org",
                                    "Message-Id: <20090105140309.-123456@example.com>", "Subject: Welcome",
                                    "Date: Mon, 5 Jan 2009 14:03:09 +0100"});
const std::string kMimeVersion = Lines({"MIME-Version: 1.0"});
const std::string kReplyTo = Lines({"Reply-To: replies@example.com"});
const std::string kPlainPart = Lines({"Content-Type: text/plain; charset=\"ISO-8859-1\"",
                                      "Content-Transfer-Encoding: 8bit", "", "Hello Bob,", "..signature"});
const std::string kHtmlHead = Lines({"Content-Type: text/html; charset=\"ISO-8859-1\"", "Content-Transfer-Encoding: 8bit", ""});
const std::string kHtmlPlain = kHtmlHead + Lines({"<p>Hello</p>", ""});
const std::string kHtmlWithImages =
    kHtmlHead + Lines({"<p>Hello</p><img src=\"cid:logo.gif\"><img width=1 src=\"cid:photo one.jpg\">", ""});
const std::string kImageParts =
    Lines({"--" + kRel, "Content-Type: image/gif; name=\"logo.gif\"", "Content-Transfer-Encoding: base64",
           "Content-ID: <logo.gif>", "", "R0lGODlh", "", "--" + kRel, "Content-Type: image/gif; name=\"photo one.jpg\"",
           "Content-Transfer-Encoding: base64", "Content-ID: <photo one.jpg>", "",
           "QUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFBQUFB", "QUFBQUFB", ""});
const std::string kBinaryPart =
    Lines({"--" + kMixed, "Content-Type: application/octet-stream; name=\"data.bin\"",
           "Content-Transfer-Encoding: base64", "Content-Disposition: attachment; filename=\"data.bin\"", ""}) +
    "*****ATTACHMENT*****";

class MimeComposer : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDebugSwitch(false);
    SetTraceFile(folder_.File("pop.log"));
    env_.now = [] { return ToDayNumber(CivilTime{2009, 1, 5, 14, 3, 9, 0}); };
    env_.tickCount = [] { return -123456; };
    env_.biasMinutes = -60;
    env_.logStatus = [this](const std::string& line) { status_.push_back(line); };
    WriteWholeFile(folder_.File("logo.gif"), "GIF89a");
    WriteWholeFile(folder_.File("photo one.jpg"), std::string(60, 'A'));
    WriteWholeFile(folder_.File("data.bin"), "binary");
  }
  void TearDown() override { SetTraceFile(""); }

  // The message of the layout tests; images adds two local images to the HTML body.
  MailMessageContent Content(bool plainTextOnly, const std::string& attachment, bool images) const {
    MailMessageContent m;
    m.plainTextOnly = plainTextOnly;
    m.subject = "  Welcome ";
    m.from = " ann@example.com ";
    m.fromName = " Ann Sender ";
    m.to = "bob@example.org ";
    m.replyTo = "replies@example.com";
    m.plainTextBody = "Hello Bob,\r\n.signature";
    m.body = images ? "<p>Hello</p><img src=\"file://" + folder_.File("logo.gif") + "\"><img width=1 src=\"" +
                          folder_.File("photo%20one.jpg") + "\">"
                    : "<p>Hello</p>";
    m.attached = attachment.empty() ? "" : folder_.File(attachment);
    m.emailDomain = "example.com";
    return m;
  }

  std::string Compose(MailMessageContent& m) { return CreateMailMessage(m, env_); }
  std::string Trace() const { return ReadWholeFile(folder_.File("pop.log")); }

  // What the SMTP session puts on the wire: the marker replaced by the streamed lines.
  static std::string Streamed(const std::string& message, const std::string& path) {
    const std::size_t at = message.find("*****ATTACHMENT*****");
    EXPECT_NE(at, std::string::npos);
    std::string lines;
    SendFileBase64(path, [&](std::string_view line) { lines.append(line); });
    return message.substr(0, at) + lines + message.substr(at + 20);
  }

  static void ExpectMultipart(const ParsedPart& part, const std::string& type, const std::string& boundary,
                              std::size_t children) {
    EXPECT_EQ(part.mimeType, type);
    EXPECT_EQ(part.params.count("boundary") ? part.params.at("boundary") : "", boundary);
    EXPECT_EQ(part.children.size(), children) << type;
  }
  static void ExpectAlternative(const ParsedPart& part, const std::string& html) {
    ExpectMultipart(part, "multipart/alternative", kAlt, 2);
    if (part.children.size() != 2) return;
    EXPECT_EQ(part.children[0].mimeType, "text/plain");
    EXPECT_EQ(part.children[0].text, "Hello Bob,\r\n..signature\r\n");
    EXPECT_EQ(part.children[1].mimeType, "text/html");
    EXPECT_EQ(part.children[1].text.substr(0, html.size()), html);
  }
  // The images of a related part: Content-IDs match the body's "cid:" references and the
  // contents are the files.
  void ExpectImages(const ParsedPart& related) {
    ASSERT_EQ(related.children.size(), 3u);
    const std::string& html = related.children[0].children.at(1).text;
    const std::pair<std::string, std::string> images[] = {{"logo.gif", "GIF89a"}, {"photo one.jpg", std::string(60, 'A')}};
    for (std::size_t i = 0; i < 2; ++i) {
      const ParsedPart& image = related.children[i + 1];
      EXPECT_EQ(image.mimeType, "image/gif");
      EXPECT_EQ(image.transferEncoding, "base64");
      EXPECT_EQ(image.contentId, images[i].first);
      EXPECT_NE(html.find("src=\"cid:" + image.contentId + "\""), std::string::npos) << image.contentId;
      EXPECT_EQ(image.content, images[i].second);
    }
  }

  TempFolder folder_;
  ComposerEnvironment env_;
  std::vector<std::string> status_;
};

// ---- The six layouts, byte for byte and through an independent parser.

TEST_F(MimeComposer, Layout1PlainTextOnly) {
  MailMessageContent m = Content(true, "", false);
  const std::string message = Compose(m);
  EXPECT_EQ(message, kHeaders + kReplyTo + kPlainPart);

  const ParsedMessage parsed = ParseMimeMessage(message);
  ASSERT_TRUE(parsed.parsed);
  EXPECT_EQ(parsed.root.mimeType, "text/plain");
  EXPECT_EQ(parsed.root.params.at("charset"), "ISO-8859-1");
  EXPECT_EQ(parsed.root.text, "Hello Bob,\r\n..signature\r\n");
  EXPECT_EQ(parsed.fromName, "Ann Sender");
  EXPECT_EQ(parsed.fromAddress, "ann@example.com");
  EXPECT_EQ(parsed.messageId, "20090105140309.-123456@example.com");
  EXPECT_EQ(parsed.subject, "Welcome");
}

TEST_F(MimeComposer, Layout2PlainTextWithAttachment) {
  MailMessageContent m = Content(true, "data.bin", false);
  const std::string message = Compose(m);
  EXPECT_EQ(message, kHeaders + kReplyTo + Lines({"Content-Type: multipart/mixed; boundary=\"" + kMixed + "\"", "",
                                                  "--" + kMixed}) +
                         kPlainPart + kBinaryPart + Lines({"", "--" + kMixed + "--"}));

  const ParsedMessage parsed = ParseMimeMessage(Streamed(message, m.attached));
  ExpectMultipart(parsed.root, "multipart/mixed", kMixed, 2);
  ASSERT_EQ(parsed.root.children.size(), 2u);
  EXPECT_EQ(parsed.root.children[0].text, "Hello Bob,\r\n..signature");  // the CR LF before a boundary is the boundary's
  EXPECT_EQ(parsed.root.children[1].mimeType, "application/octet-stream");
  EXPECT_EQ(parsed.root.children[1].filename, "data.bin");
  EXPECT_EQ(parsed.root.children[1].content, "binary");
}

TEST_F(MimeComposer, Layout3HtmlWithoutAttachmentOrImages) {
  MailMessageContent m = Content(false, "", false);
  const std::string message = Compose(m);
  EXPECT_EQ(message, kHeaders + kMimeVersion + kReplyTo +
                         Lines({"Content-Type: multipart/alternative; boundary=\"" + kAlt + "\"", "", "--" + kAlt}) +
                         kPlainPart + Lines({"", "--" + kAlt}) + kHtmlPlain + Lines({"", "--" + kAlt + "--"}));

  const ParsedMessage parsed = ParseMimeMessage(message);
  ExpectAlternative(parsed.root, "<p>Hello</p>");
}

TEST_F(MimeComposer, Layout4HtmlWithImages) {
  MailMessageContent m = Content(false, "", true);
  const std::string message = Compose(m);
  EXPECT_EQ(message, kHeaders + kMimeVersion + kReplyTo +
                         Lines({"Content-Type: multipart/related; boundary=\"" + kRel + "\"", "", kPreamble, "",
                                "--" + kRel, "Content-Type: multipart/alternative; boundary=\"" + kAlt + "\"", "",
                                "--" + kAlt}) +
                         kPlainPart + Lines({"", "--" + kAlt}) + kHtmlWithImages + Lines({"--" + kAlt + "--", ""}) +
                         kImageParts + Lines({"--" + kRel + "--", ""}));
  EXPECT_EQ(m.body, "<p>Hello</p><img src=\"cid:logo.gif\"><img width=1 src=\"cid:photo one.jpg\">");

  const ParsedMessage parsed = ParseMimeMessage(message);
  ExpectMultipart(parsed.root, "multipart/related", kRel, 3);
  EXPECT_NE(parsed.root.prologue.find(kPreamble), std::string::npos);
  ASSERT_FALSE(parsed.root.children.empty());
  ExpectAlternative(parsed.root.children[0], "<p>Hello</p><img src=\"cid:logo.gif\">");
  ExpectImages(parsed.root);
}

TEST_F(MimeComposer, Layout5HtmlWithAttachment) {
  MailMessageContent m = Content(false, "data.bin", false);
  const std::string message = Compose(m);
  EXPECT_EQ(message, kHeaders + kMimeVersion + kReplyTo +
                         Lines({"Content-Type: multipart/mixed; boundary=\"" + kMixed + "\"", "", kPreamble, "",
                                "--" + kMixed, "Content-Type: multipart/alternative; boundary=\"" + kAlt + "\"", "",
                                "--" + kAlt}) +
                         kPlainPart + Lines({"", "--" + kAlt}) + kHtmlPlain + Lines({"--" + kAlt + "--", ""}) +
                         kBinaryPart + Lines({"", "--" + kMixed + "--"}));

  const ParsedMessage parsed = ParseMimeMessage(Streamed(message, m.attached));
  ExpectMultipart(parsed.root, "multipart/mixed", kMixed, 2);
  ASSERT_EQ(parsed.root.children.size(), 2u);
  ExpectAlternative(parsed.root.children[0], "<p>Hello</p>");
  EXPECT_EQ(parsed.root.children[1].content, "binary");
}

TEST_F(MimeComposer, Layout6HtmlWithImagesAndAttachment) {
  MailMessageContent m = Content(false, "data.bin", true);
  const std::string message = Compose(m);
  EXPECT_EQ(message, kHeaders + kMimeVersion + kReplyTo +
                         Lines({"Content-Type: multipart/mixed; boundary=\"" + kMixed + "\"", "", kPreamble, "",
                                "--" + kMixed, "Content-Type: multipart/related; boundary=\"" + kRel + "\"", "",
                                "--" + kRel, "Content-Type: multipart/alternative; boundary=\"" + kAlt + "\"", "",
                                "--" + kAlt}) +
                         kPlainPart + Lines({"", "--" + kAlt}) + kHtmlWithImages + Lines({"--" + kAlt + "--", ""}) +
                         kImageParts + Lines({"--" + kRel + "--", ""}) + kBinaryPart +
                         Lines({"", "--" + kMixed + "--"}));

  const ParsedMessage parsed = ParseMimeMessage(Streamed(message, m.attached));
  ExpectMultipart(parsed.root, "multipart/mixed", kMixed, 2);
  ASSERT_EQ(parsed.root.children.size(), 2u);
  ExpectMultipart(parsed.root.children[0], "multipart/related", kRel, 3);
  ExpectImages(parsed.root.children[0]);
  EXPECT_EQ(parsed.root.children[1].content, "binary");
}

TEST_F(MimeComposer, StreamedBinaryAttachmentsDecodeBackToTheirBytes) {
  std::mt19937 rng(7);
  for (std::size_t size : {0u, 1u, 53u, 54u, 55u, 108u}) {
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(rng());
    const std::string name = "attach" + std::to_string(size) + ".pdf";
    WriteWholeFile(folder_.File(name), bytes);
    for (bool plainTextOnly : {true, false}) {
      MailMessageContent m = Content(plainTextOnly, name, !plainTextOnly);
      const std::string wire = Streamed(Compose(m), m.attached);
      // One empty line stands between the last base64 line and the closing boundary.
      EXPECT_NE(wire.find("\r\n\r\n--" + kMixed + "--\r\n"), std::string::npos) << size;
      const ParsedMessage parsed = ParseMimeMessage(wire);
      const std::vector<const ParsedPart*> leaves = Leaves(parsed.root);
      ASSERT_FALSE(leaves.empty());
      EXPECT_EQ(leaves.back()->mimeType, "application/octet-stream");
      EXPECT_EQ(leaves.back()->filename, name);
      EXPECT_EQ(leaves.back()->content, bytes) << size << (plainTextOnly ? " plain" : " html");
    }
  }
}

TEST_F(MimeComposer, TextAttachmentIsWrittenInline) {
  WriteWholeFile(folder_.File("NOTES.TXT"), "line one\r\n.dot line\nlast");
  MailMessageContent m = Content(false, "NOTES.TXT", false);
  const std::string message = Compose(m);
  const std::string part = Lines({"--" + kMixed, "Content-Type: text/plain; name=\"NOTES.TXT\"",
                                  "Content-Transfer-Encoding: 8bit",
                                  "Content-Disposition: attachment; filename=\"NOTES.TXT\"", "", "line one",
                                  "..dot line", "last", "", "--" + kMixed + "--"});
  ASSERT_GE(message.size(), part.size());
  EXPECT_EQ(message.substr(message.size() - part.size()), part);
  EXPECT_EQ(message.find("*****ATTACHMENT*****"), std::string::npos);

  const ParsedMessage parsed = ParseMimeMessage(message);
  ASSERT_EQ(parsed.root.children.size(), 2u);
  EXPECT_EQ(parsed.root.children[1].filename, "NOTES.TXT");
  EXPECT_EQ(parsed.root.children[1].text, "line one\r\n..dot line\r\nlast\r\n");
}

// ---- Header lines.

TEST_F(MimeComposer, HeaderLineVariants) {
  MailMessageContent m = Content(true, "", false);
  m.fromName = "";
  m.replyTo = "";
  m.characterSet = "UTF-8";
  const std::string expected =
      Lines({"From: ann@example.com", "To: bob@example.org", "Message-Id: <20090105140309.-123456@example.com>",
             "Subject: Welcome", "Date: Mon, 5 Jan 2009 14:03:09 +0100", "Content-Type: text/plain; charset=\"UTF-8\""});
  EXPECT_EQ(Compose(m).substr(0, expected.size()), expected);

  MailMessageContent c = Content(false, "", false);
  c.cc = " carol@example.net ";
  c.subject = "Line one\r\nBcc: victim@example.com";
  c.to = "bob@example.org\nBcc: other@example.com";
  const std::string message = Compose(c);
  EXPECT_NE(message.find("\r\nTo: bob@example.org Bcc: other@example.com\r\nCc: carol@example.net\r\nMessage-Id:"),
            std::string::npos);
  EXPECT_NE(message.find("\r\nSubject: Line one  Bcc: victim@example.com\r\n"), std::string::npos);
  EXPECT_EQ(ParseMimeMessage(message).headers.count("Bcc"), 0u);
}

TEST_F(MimeComposer, DisplayNamesThatNeedQuotingOrEncoding) {
  const std::pair<std::string, std::string> cases[] = {
      {"Smith, John", "From: \"Smith, John\"<ann@example.com>"},
      {"Ann \"The\" Sender", "From: \"Ann \\\"The\\\" Sender\"<ann@example.com>"},
      {"J. R. Sender", "From: J. R. Sender<ann@example.com>"},
      {"J\xC3\xBCrgen M\xC3\xBCller", "From: =?ISO-8859-1?Q?J=FCrgen_M=FCller?= <ann@example.com>"},
  };
  for (const auto& [name, line] : cases) {
    MailMessageContent m = Content(false, "", false);
    m.fromName = name;
    const std::string message = Compose(m);
    EXPECT_EQ(message.substr(0, message.find("\r\n")), line);
    const ParsedMessage parsed = ParseMimeMessage(message);
    EXPECT_EQ(parsed.fromName, name);
    EXPECT_EQ(parsed.fromAddress, "ann@example.com");
  }
}

// A FromAddress typed with a display name of its own: the header carries the event's
// name and the address part only, never brackets inside brackets.
TEST_F(MimeComposer, SenderTypedWithANameOfItsOwn) {
  struct Case {
    const char* fromName;
    const char* from;
    const char* line;
  };
  const Case cases[] = {
      {"Course Team", "News <news@example.com>", "From: Course Team<news@example.com>"},
      {"Course Team", " < news@example.com > ", "From: Course Team<news@example.com>"},
      {"Course Team", "news@example.com", "From: Course Team<news@example.com>"},
      {"", "News <news@example.com>", "From: News <news@example.com>"},
  };
  for (const Case& c : cases) {
    MailMessageContent m = Content(false, "", false);
    m.fromName = c.fromName;
    m.from = c.from;
    const std::string message = Compose(m);
    EXPECT_EQ(message.substr(0, message.find("\r\n")), c.line) << c.from;
    EXPECT_EQ(ParseMimeMessage(message).fromAddress, "news@example.com") << c.from;
  }
}

TEST(MessageIdTicks, NeverRepeatWithinASecond) {
  TickSequence ticks;
  struct Step {
    std::int32_t tick;
    std::int32_t expected;
  };
  // The last two: the counter wraps, and so does the sequence.
  const Step steps[] = {{500, 500}, {500, 501}, {500, 502}, {501, 503}, {900, 900}, {2147483647, 2147483647},
                        {2147483647, INT32_MIN}, {INT32_MIN, INT32_MIN + 1}};
  for (const Step& s : steps) EXPECT_EQ(ticks.Next(s.tick), s.expected) << s.tick;
}

// ---- Bodies: dot-stuffing, line endings, charsets.

TEST_F(MimeComposer, DotStuffingAndLineEndingsReachTheCaller) {
  const std::pair<std::string, std::string> cases[] = {
      {".", ".."},
      {".first\r\nsecond", "..first\r\nsecond"},
      {"a\r\n.\r\nb", "a\r\n..\r\nb"},
      {"a\r\n..b", "a\r\n...b"},
      {"a.b\r\n x.", "a.b\r\n x."},
      {"unix\n.dot\rold mac", "unix\r\n..dot\r\nold mac"},
  };
  for (const auto& [in, out] : cases) {
    MailMessageContent m = Content(false, "", false);
    m.plainTextBody = in;
    m.body = in;
    ASSERT_FALSE(Compose(m).empty());
    EXPECT_EQ(m.plainTextBody, out);
    EXPECT_EQ(m.body, out);
  }
  MailMessageContent m = Content(false, "", false);
  Compose(m);
  EXPECT_EQ(m.characterSet, "ISO-8859-1");
}

TEST_F(MimeComposer, TextPartsMatchTheirDeclaredCharset) {
  struct Case {
    std::string text, charset;
  } cases[] = {
      {"Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln", "ISO-8859-1"},
      {"Preis: 5 \xE2\x82\xAC", "UTF-8"},
  };
  for (const Case& c : cases) {
    WriteWholeFile(folder_.File("note.txt"), c.text);
    MailMessageContent m = Content(false, "note.txt", false);
    m.subject = c.text;
    m.plainTextBody = c.text;
    m.body = "<p>" + c.text + "</p>";
    const std::string message = Compose(m);
    EXPECT_NE(message.find("Content-Type: text/plain; charset=\"" + c.charset + "\"\r\n"), std::string::npos);
    EXPECT_NE(message.find("Content-Type: text/plain; charset=\"" + c.charset + "\"; name=\"note.txt\"\r\n"),
              std::string::npos);
    EXPECT_NE(message.find("Subject: =?" + c.charset + "?Q?"), std::string::npos);
    EXPECT_EQ(m.plainTextBody, c.text);  // the caller keeps its text

    const ParsedMessage parsed = ParseMimeMessage(message);
    EXPECT_EQ(parsed.subject, c.text);
    const std::vector<const ParsedPart*> leaves = Leaves(parsed.root);
    ASSERT_EQ(leaves.size(), 3u);
    EXPECT_EQ(leaves[0]->params.at("charset"), c.charset);
    EXPECT_EQ(leaves[0]->text, c.text + "\r\n");
    EXPECT_EQ(leaves[1]->params.at("charset"), c.charset);
    EXPECT_EQ(leaves[1]->text, "<p>" + c.text + "</p>\r\n");
    EXPECT_EQ(leaves[2]->text, c.text + "\r\n");
  }
}

TEST_F(MimeComposer, TextAttachmentInWindows1252IsConverted) {
  WriteWholeFile(folder_.File("legacy.txt"), "caf\xE9 \x80\r\n");
  MailMessageContent m = Content(true, "legacy.txt", false);
  const std::string message = Compose(m);
  EXPECT_NE(message.find("Content-Type: text/plain; charset=\"UTF-8\"; name=\"legacy.txt\"\r\n"), std::string::npos);
  EXPECT_NE(message.find("\r\n\r\ncaf\xC3\xA9 \xE2\x82\xAC\r\n\r\n--" + kMixed + "--"), std::string::npos);
}

TEST_F(MimeComposer, FileNamesOutsideAsciiUseTheParameterEncoding) {
  const std::string name = "Preisliste M\xC3\xA4rz.pdf";
  WriteWholeFile(folder_.File(name), "%PDF");
  MailMessageContent m = Content(false, name, false);
  const std::string message = Compose(m);
  EXPECT_NE(message.find("Content-Type: application/octet-stream; name*=UTF-8''Preisliste%20M%C3%A4rz.pdf\r\n"
                         "Content-Transfer-Encoding: base64\r\n"
                         "Content-Disposition: attachment; filename*=UTF-8''Preisliste%20M%C3%A4rz.pdf\r\n"),
            std::string::npos);
  const ParsedMessage parsed = ParseMimeMessage(Streamed(message, m.attached));
  const std::vector<const ParsedPart*> leaves = Leaves(parsed.root);
  ASSERT_FALSE(leaves.empty());
  EXPECT_EQ(leaves.back()->filename, name);
  EXPECT_EQ(leaves.back()->params.at("name"), name);
  EXPECT_EQ(leaves.back()->content, "%PDF");
}

// ---- Images.

TEST_F(MimeComposer, ImageReferencesCollectedAndRewritten) {
  struct Case {
    std::string body, rewritten;
    std::vector<std::string> contentIds;
  } cases[] = {
      {"<img src=\"a.gif\"><IMG SRC=\"a.gif\">", "<img src=\"cid:a.gif\"><IMG SRC=\"cid:a.gif\">", {"a.gif"}},
      {"<img src=\"pics/a.gif\"><img src=\"PICS/A.GIF\">", "<img src=\"cid:a.gif\"><img src=\"PICS/A.GIF\">", {"a.gif"}},
      {"<img src=\"http://x.org/a.gif\"><img src=\"HTTP://x.org/b.gif\">",
       "<img src=\"http://x.org/a.gif\"><img src=\"HTTP://x.org/b.gif\">",
       {}},
      {"<img src=\"https://x.org/a.gif\"><img src=\"data:image/gif;base64,R0lG\"><img src=\"cid:c.gif\">",
       "<img src=\"https://x.org/a.gif\"><img src=\"data:image/gif;base64,R0lG\"><img src=\"cid:c.gif\">",
       {}},
      {"<img src=\"file:///C|/My%20Pictures/a%20b.gif\">", "<img src=\"cid:a b.gif\">", {"a b.gif"}},
      {"<img src=\"C:\\pics\\c.gif\">", "<img src=\"cid:c.gif\">", {"c.gif"}},
      {"<img\r\nsrc=\"d.gif\">", "<img\r\nsrc=\"cid:d.gif\">", {"d.gif"}},
      {"<img alt=\"\"> <script src=\"x.js\"></script>", "<img alt=\"\"> <script src=\"x.js\"></script>", {}},
      {"<img src=\"\">", "<img src=\"\">", {}},
      {"<img src=\"e.gif\" onmouseover=\"this.src='f.gif'\"><img src=\"f.gif\">",
       "<img src=\"cid:e.gif\" onmouseover=\"this.src='cid:f.gif'\"><img src=\"cid:f.gif\">",
       {"e.gif", "f.gif"}},
  };
  for (const Case& c : cases) {
    std::string body = c.body;
    const std::vector<InlineImage> images = RewriteImages(body);
    EXPECT_EQ(body, c.rewritten) << c.body;
    std::vector<std::string> ids;
    for (const InlineImage& image : images) ids.push_back(image.contentId);
    EXPECT_EQ(ids, c.contentIds) << c.body;
  }
}

TEST(MimeComposerImagePaths, FileUrlsNameAbsolutePaths) {
  const std::pair<std::string, std::string> cases[] = {
      {"file:///home/ann/logo.gif", "/home/ann/logo.gif"},
      {"FILE:///home/ann/My%20Logo%281%29.gif", "/home/ann/My Logo(1).gif"},
      {"/srv/pics/a%zz.gif", "/srv/pics/a%zz.gif"},
      {"pics/a.gif", "pics/a.gif"},
      {"file:///home/ann/trailing%2", "/home/ann/trailing%2"},
  };
  for (const auto& [reference, path] : cases) EXPECT_EQ(ImagePathOf(reference), path) << reference;
}

TEST_F(MimeComposer, TwentyImagesFitAndATwentyFirstFails) {
  std::string body;
  for (int i = 1; i <= 20; ++i) body += "<img src=\"img" + std::to_string(i) + ".gif\">";
  body += "<img src=\"IMG1.GIF\">";  // the same image in other letters adds no entry
  MailMessageContent m = Content(false, "", false);
  m.body = body;
  const std::string message = Compose(m);
  std::size_t parts = 0;
  for (std::size_t at = 0; (at = message.find("Content-Type: image/gif", at)) != std::string::npos; ++at) ++parts;
  EXPECT_EQ(parts, 20u);
  EXPECT_EQ(Trace(), "");

  MailMessageContent more = Content(false, "", false);
  more.body = body + "<img src=\"img21.gif\">";
  EXPECT_EQ(Compose(more), "");
  EXPECT_NE(Trace().find("ProcessStatus_CreateMailMessage: More than 20 images in the HTML body"), std::string::npos);
}

TEST_F(MimeComposer, UnreadableImageGivesAnEmptyPart) {
  MailMessageContent m = Content(false, "", false);
  m.body = "<img src=\"" + folder_.File("missing.gif") + "\">";
  const std::string message = Compose(m);
  EXPECT_NE(message.find("Content-ID: <missing.gif>\r\n\r\n\r\n--" + kRel + "--"), std::string::npos);
  EXPECT_EQ(Trace(), "");
}

// ---- Failures.

TEST_F(MimeComposer, MissingAttachmentIsReportedInTheStatusList) {
  MailMessageContent m = Content(false, "absent.pdf", false);
  EXPECT_EQ(Compose(m), "");
  EXPECT_EQ(status_, std::vector<std::string>{"Attachment not found: " + folder_.File("absent.pdf")});
  EXPECT_EQ(Trace(), "");
}

TEST_F(MimeComposer, ComposeErrorsWriteAForcedTraceLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"<iframe src=\"x.html\"></iframe>", "Image source without an <img tag before it"},
      {"<p>*****ATTACHMENT*****</p>", "The message text holds the attachment marker"},
  };
  for (const auto& [body, error] : cases) {
    WriteWholeFile(folder_.File("pop.log"), "");
    MailMessageContent m = Content(false, "data.bin", false);
    m.body = body;
    EXPECT_EQ(Compose(m), "") << body;
    EXPECT_NE(Trace().find(" ProcessStatus_CreateMailMessage: " + error + "\r\n"), std::string::npos) << Trace();
  }
  EXPECT_TRUE(status_.empty());

  // The marker in a body is harmless when the attachment is written inline.
  WriteWholeFile(folder_.File("notes.txt"), "notes");
  MailMessageContent m = Content(false, "notes.txt", false);
  m.body = "<p>*****ATTACHMENT*****</p>";
  EXPECT_FALSE(Compose(m).empty());
}

}  // namespace
}  // namespace ar
