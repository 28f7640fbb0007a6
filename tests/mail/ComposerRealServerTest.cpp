// Every layout of the composer handed to a real Postfix through the SMTP session, once in
// plain TCP with HELO and once over TLS from connect with AUTH LOGIN, read back from the
// mailbox it was delivered to and parsed by an independent MIME reader: the tree of
// parts, the "cid:" references against the Content-IDs, the texts with the wire's
// dot-stuffing undone, and a streamed binary attachment back to its original bytes.
#include "mail/MimeComposer.h"
#include "tests/support/MimeParser.h"
#include "tests/support/RealSmtp.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

namespace ar {
namespace {

using test::Leaves;
using test::ParsedMessage;
using test::ParsedPart;
using test::ParseMimeMessage;

struct Layout {
  const char* name;  // also the local part of the recipient's mailbox
  bool plainTextOnly;
  const char* attachment;  // a file of the test folder, empty for none
  bool images;
  const char* tree;  // the parts as Tree writes them
};

const Layout kLayouts[] = {
    {"layout1", true, "", false, "text/plain"},
    {"layout2", true, "data.bin", false, "multipart/mixed(text/plain application/octet-stream)"},
    {"layout3", false, "", false, "multipart/alternative(text/plain text/html)"},
    {"layout4", false, "", true, "multipart/related(multipart/alternative(text/plain text/html) image/gif image/gif)"},
    {"layout5", false, "data.bin", false,
     "multipart/mixed(multipart/alternative(text/plain text/html) application/octet-stream)"},
    {"layout6", false, "data.bin", true,
     "multipart/mixed(multipart/related(multipart/alternative(text/plain text/html) image/gif image/gif) "
     "application/octet-stream)"},
    // Layout 5 once more with a text attachment, which is written inline and dot-stuffed.
    {"layout5-text", false, "notes.txt", false, "multipart/mixed(multipart/alternative(text/plain text/html) text/plain)"},
};

// Lines that begin with "." test the dot-stuffing on both sides of the wire; the
// ISO-8859-1 bytes of the text parts test that the server passes 8-bit text unchanged.
const std::string kPlainBody = "Hello Bob,\r\n.signature\r\n..two dots\r\nGr\xC3\xBC\xC3\x9F" "e";
const std::string kNotes = "first line\r\n.dot line\r\n\r\nlast";
const std::string kSubjectStart = "Gr\xC3\xBC\xC3\x9F" "e from ";

std::string Html(const std::string& logo, const std::string& photo) {
  return "<p>Hello</p>\r\n.<img src=\"" + logo + "\">\r\n<img width=1 src=\"" + photo + "\">";
}

// The parts of a message as "type(child child ...)".
std::string Tree(const ParsedPart& part) {
  if (part.children.empty()) return part.mimeType;
  std::string out = part.mimeType + "(";
  for (std::size_t i = 0; i < part.children.size(); ++i) out += (i ? " " : "") + Tree(part.children[i]);
  return out + ")";
}

std::string WithoutTrailingCrLf(std::string text) {
  while (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
  return text;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

class ComposerRealServer : public test::RealSmtpTest {
 protected:
  void SetUp() override {
    RealSmtpTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // Large enough to go out in several batches, and not a multiple of 54 bytes.
    files_ = {{"data.bin", RandomBytes(200003, 1)},
              {"logo.gif", "GIF89a" + RandomBytes(1000, 2)},
              {"photo one.jpg", RandomBytes(54, 3)},
              {"notes.txt", kNotes}};
    for (const auto& [name, bytes] : files_) test::WriteWholeFile(Folder().File(name), bytes);
  }

  // Composes every layout, hands each to the server in a session of its own and checks
  // what the server delivered.
  void DeliverEveryLayout(const SmtpSettings& settings, const std::string& transport) {
    std::vector<std::pair<const Layout*, std::string>> sent;  // layout, composed Message-Id
    for (const Layout& layout : kLayouts) {
      SCOPED_TRACE(layout.name);
      MailMessageContent m;
      m.plainTextOnly = layout.plainTextOnly;
      m.subject = kSubjectStart + layout.name;
      m.from = "sender@sender.test";
      m.fromName = "Ann Sender";
      m.to = Box(layout, transport) + "@rcpt.test";
      m.replyTo = "replies@sender.test";
      m.plainTextBody = kPlainBody;
      m.body = layout.images ? Html("file://" + Folder().File("logo.gif"), Folder().File("photo%20one.jpg"))
                             : Html("http://example.com/logo.gif", "http://example.com/photo.gif");
      m.attached = *layout.attachment ? Folder().File(layout.attachment) : "";
      m.emailDomain = "sender.test";
      const std::string message = CreateMailMessage(m);
      ASSERT_FALSE(message.empty());

      std::string trace;
      ASSERT_TRUE(Deliver(settings, m.to, message, m.attached, &trace)) << trace << Server().Log();
      sent.emplace_back(&layout, ParseMimeMessage(message).messageId);
    }
    for (const auto& [layout, messageId] : sent) {
      SCOPED_TRACE(layout->name);
      const std::vector<std::string> box = test::MailboxMessages(Server().WaitForMailbox(Box(*layout, transport), 1));
      ASSERT_EQ(box.size(), 1u);
      const ParsedMessage parsed = ParseMimeMessage(box[0]);
      ASSERT_TRUE(parsed.parsed) << box[0];
      EXPECT_EQ(parsed.messageId, messageId);
      EXPECT_EQ(parsed.subject, kSubjectStart + layout->name);
      EXPECT_EQ(parsed.fromName, "Ann Sender");
      EXPECT_EQ(parsed.fromAddress, "sender@sender.test");
      ExpectParts(*layout, parsed.root, box[0]);
    }
  }

  void ExpectParts(const Layout& layout, const ParsedPart& root, const std::string& delivered) {
    ASSERT_EQ(Tree(root), layout.tree) << delivered;
    const std::vector<const ParsedPart*> leaves = Leaves(root);
    EXPECT_EQ(leaves[0]->params.at("charset"), "ISO-8859-1");
    EXPECT_EQ(WithoutTrailingCrLf(leaves[0]->text), kPlainBody);

    if (!layout.plainTextOnly) {
      const std::string html = WithoutTrailingCrLf(leaves[1]->text);
      EXPECT_EQ(html, layout.images ? Html("cid:logo.gif", "cid:photo one.jpg")
                                    : Html("http://example.com/logo.gif", "http://example.com/photo.gif"));
      // Every image part answers one "cid:" reference of the HTML and holds its file.
      std::set<std::string> contentIds;
      for (const ParsedPart* leaf : leaves) {
        if (leaf->mimeType != "image/gif") continue;
        contentIds.insert(leaf->contentId);
        EXPECT_NE(html.find("src=\"cid:" + leaf->contentId + "\""), std::string::npos) << leaf->contentId;
        EXPECT_EQ(leaf->content, files_.count(leaf->contentId) ? files_.at(leaf->contentId) : "") << leaf->contentId;
      }
      const std::set<std::string> expected =
          layout.images ? std::set<std::string>{"logo.gif", "photo one.jpg"} : std::set<std::string>{};
      EXPECT_EQ(contentIds, expected);
    }

    if (*layout.attachment) {
      const ParsedPart& attachment = *leaves.back();
      EXPECT_EQ(attachment.filename, layout.attachment);
      if (attachment.mimeType == "application/octet-stream") {
        EXPECT_EQ(attachment.transferEncoding, "base64");
        EXPECT_TRUE(attachment.content == files_.at(layout.attachment))
            << "the attachment came back as " << attachment.content.size() << " bytes";
      } else {
        EXPECT_EQ(WithoutTrailingCrLf(attachment.text), kNotes);
      }
    }
  }

  static std::string Box(const Layout& layout, const std::string& transport) {
    return std::string(layout.name) + "-" + transport;
  }

  std::map<std::string, std::string> files_;  // file name, contents
};

TEST_F(ComposerRealServer, EveryLayoutArrivesIntactOverPlainTcpWithHelo) { DeliverEveryLayout(PlainSettings(), "plain"); }

TEST_F(ComposerRealServer, EveryLayoutArrivesIntactOverTlsWithAuthLogin) { DeliverEveryLayout(TlsSettings(), "tls"); }

}  // namespace
}  // namespace ar
