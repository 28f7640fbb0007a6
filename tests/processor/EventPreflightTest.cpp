// EnablePreflight in a run: an event that fails a check goes to nobody and holds back the
// events after it in its pass, while the events before it and other autoresponders' go.
#include "base/Trace.h"
#include "mail/MemorySocket.h"
#include "processor/EventPreflight.h"
#include "processor/EventScheduler.h"
#include "store/DataFolder.h"
#include "store/Schema.h"
#include "tests/support/ClockGuard.h"
#include "tests/support/MemorySmtp.h"
#include "tests/support/TestData.h"
#include "tests/support/TestDatabases.h"
#include "tests/support/TestRunContext.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace ar {
namespace {

using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

class EventPreflightTest : public ::testing::Test {
 public:  // the cases below change events through the fixture
  void SetUp() override {
    SetTraceFile(db.Folder() + "/debug/tracepop.log");
    MakeFolders(db.Folder() + "/content");
    test::WriteWholeFile(db.Folder() + "/logo.gif", "GIF89a");
    first = db.AddAutoresponder("first", true);
    other = db.AddAutoresponder("other", true);
    db.Config().Execute("update tblConfiguration set EnablePreflight=-1");
  }
  void TearDown() override { SetTraceFile(""); }

  // An event that passes every check: a subject, and an HTML body whose one image exists.
  int64_t AddEvent(int64_t autoresponder, const std::string& name) {
    const int64_t event = test::InsertEvent(
        db.Config(), autoresponder,
        {{"EventName", name}, {"EventInterval", 0}, {"Active", true}, {"Subject", "About " + name},
         {"FromAddress", "news@example.com"}, {"FromName", "News"}, {"ReplyToAddress", ""}, {"AttachmentFileName", ""},
         {"PlainTextOnly", false}, {"UseFilesForMessageBodies", false}, {"PlainTextMessage", "Text"}});
    test::WriteWholeFile(ContentFile(event), "<BODY><img src=\"" + db.Folder() + "/logo.gif\"></BODY>");
    return event;
  }
  std::string ContentFile(int64_t event) const {
    return db.Folder() + "/content/" + std::to_string(event) + ".html";
  }
  void Set(int64_t event, const std::string& assignments, Params params = {}) {
    params.push_back(Value(event));
    db.Config().Execute("update tblAutoresponderEvents set " + assignments + " where AutoresponderEventID=?", params);
  }
  void AddSubscriber(int64_t autoresponder, const std::string& address) {
    test::InsertSubscriber(db.Subscribers(), autoresponder, {{"EmailAddress", address}, {"AddedDate", test::Day(2026, 1, 1)}});
  }
  // The immediate pass of both autoresponders; "address:subject" for every message it sent.
  std::vector<std::string> Run() {
    const std::size_t before = smtp.Mails().size();
    for (int64_t id : {first, other}) {
      ctx.currentAutoresponder = id;
      scheduler.ProcessEvents(id, "smtp.example", "", "", false, true);
    }
    std::vector<std::string> sent;
    for (std::size_t i = before; i < smtp.Mails().size(); ++i) {
      const test::DeliveredMail& mail = smtp.Mails()[i];
      const std::size_t to = mail.rcptTo.find('<') + 1, subject = mail.data.find("Subject: ") + 9;
      sent.push_back(mail.rcptTo.substr(to, mail.rcptTo.find('>') - to) + ":" +
                     mail.data.substr(subject, mail.data.find("\r\n", subject) - subject));
    }
    return sent;
  }
  std::string LastStatus(int64_t id) {
    return NullToDefault(db.Config().Scalar("select LastStatus from tblAutoresponders where AutoresponderID=?", {Value(id)}),
                         "");
  }

  test::TestDatabases db;
  test::ClockGuard clock{test::Day(2026, 1, 1, 12)};
  int64_t first = 0, other = 0;
  StatusList status;
  MemorySocket socket;
  test::MemorySmtp smtp{socket};
  RunContext ctx = test::MakeRunContext(db, 0, status, socket);
  EventScheduler scheduler{ctx};
};

TEST_F(EventPreflightTest, EachCauseHoldsTheEventBackAndTheOthersGo) {
  const struct {
    const char* cause;
    std::function<void(EventPreflightTest&, int64_t event)> apply;
  } cases[] = {
      {"the subject is empty", [](auto& t, int64_t e) { t.Set(e, "Subject=?", {"   "}); }},
      {"the attachment ",
       [](auto& t, int64_t e) { t.Set(e, "AttachmentFileName=?", {t.db.Folder() + "/price list.pdf"}); }},
      {"the image file ",
       [](auto& t, int64_t e) {
         test::WriteWholeFile(t.ContentFile(e), "<BODY><IMG alt=\"x\" src=\"file://" + t.db.Folder() + "/gone%20logo.gif\">");
       }},
      {"the HTML body file ",
       [](auto& t, int64_t e) {
         t.Set(e, "UseFilesForMessageBodies=-1, HTMLMessageFile=?, PlainTextMessageFile=?",
               {t.db.Folder() + "/missing.html", t.ContentFile(e)});
       }},
      {"the HTML body file cannot be read",
       [](auto& t, int64_t e) {
         // Larger than any body file is allowed to be (a sparse file: nothing is written).
         ASSERT_EQ(::truncate(t.ContentFile(e).c_str(), static_cast<off_t>(kMaxBodyFileBytes) + 1), 0);
       }},
      {"no plain text body file is named",
       [](auto& t, int64_t e) { t.Set(e, "UseFilesForMessageBodies=-1, HTMLMessageFile=?", {t.ContentFile(e)}); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cause);
    db.Config().Execute("delete from tblAutoresponderEvents");
    db.Config().Execute("update tblAutoresponders set LastStatus=''");
    for (int64_t id : {first, other}) db.Subscribers().Execute("delete from " + SubscriberTable(id));
    ::unlink(TraceFile().c_str());

    AddEvent(first, "welcome");
    const int64_t broken = AddEvent(first, "broken");
    AddEvent(first, "later");
    AddEvent(other, "news");
    c.apply(*this, broken);
    AddSubscriber(first, "a@example.com");
    AddSubscriber(other, "b@example.com");

    EXPECT_THAT(Run(), UnorderedElementsAre("a@example.com:About welcome", "b@example.com:About news"));
    EXPECT_EQ(LastStatus(first), kStatusPreflightFailed);
    EXPECT_EQ(LastStatus(other), "");
    EXPECT_THAT(test::ReadWholeFile(TraceFile()),
                HasSubstr("frmProcess/ProcessEvents: event " + std::to_string(broken) +
                          " (broken) not sent, the preflight check found: " + c.cause));
  }
}

TEST_F(EventPreflightTest, WithTheSwitchOffTheSameEventGoesAndAHeldBackPassResumesExactly) {
  AddEvent(first, "welcome");
  const int64_t broken = AddEvent(first, "broken");
  AddEvent(first, "later");
  Set(broken, "Subject=''");
  AddSubscriber(first, "a@example.com");
  ASSERT_THAT(Run(), UnorderedElementsAre("a@example.com:About welcome"));

  db.Config().Execute("update tblConfiguration set EnablePreflight=0");
  EXPECT_THAT(Run(), UnorderedElementsAre("a@example.com:", "a@example.com:About later"))
      << "the rest of the sequence, and nothing twice";
}

TEST_F(EventPreflightTest, APlainTextOnlyEventNeedsNoHtmlBodyOrImages) {
  const int64_t plain = AddEvent(first, "plain");
  Set(plain, "PlainTextOnly=-1");
  test::WriteWholeFile(ContentFile(plain), "<img src=\"/nowhere/logo.gif\">");
  AddSubscriber(first, "a@example.com");
  EXPECT_THAT(Run(), UnorderedElementsAre("a@example.com:About plain"));
  EXPECT_EQ(LastStatus(first), "");
}

}  // namespace
}  // namespace ar
