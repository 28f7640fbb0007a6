// The preflight check's lines over element lists, with a fake web address check that
// records what it was asked.
#include "control/events/Preflight.h"

#include "tests/support/TempFolder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

namespace ar::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr const char* kStart = "Testing Subject line...";
constexpr const char* kLinks = "Testing for broken links";
constexpr const char* kComplete = "Complete: Check items above for any errors detected";

PreflightElement Img(std::string src) { return {"IMG", std::move(src), "", "", ""}; }
PreflightElement Link(std::string href) { return {"A", "", std::move(href), "", ""}; }
PreflightElement Anchor(std::string name) { return {"A", "", "", std::move(name), ""}; }

struct CheckRun {
  std::vector<std::string> lines;
  std::vector<std::string> errors;
  std::vector<std::string> asked;  // what the web address check was asked, in order
};

// Only these web addresses respond.
CheckRun Check(const std::vector<PreflightElement>& elements, const std::set<std::string>& responding = {},
          const std::string& subject = "Welcome", const std::string& server = "smtp.example.com") {
  CheckRun run;
  RunPreflightCheck(
      subject, server, elements,
      [&](const std::string& address) {
        run.asked.push_back(address);
        return responding.count(address) > 0;
      },
      [&](const std::string& line, bool error) {
        run.lines.push_back(line);
        if (error) run.errors.push_back(line);
      });
  return run;
}

TEST(Preflight, AnEmptySubjectAndServerAreListedAndTheLinksStillChecked) {
  const CheckRun run = Check({Img("http://gone.example/a.gif")}, {}, "  ", "");
  EXPECT_THAT(run.lines, ElementsAre(kStart, "Subject cannot be blank",
                                     "SMTP Server must be entered in the configuration screen", kLinks,
                                     "Broken image - http://gone.example/a.gif", kComplete));
  EXPECT_THAT(run.errors, ElementsAre("Subject cannot be blank", "SMTP Server must be entered in the configuration screen",
                                      "Broken image - http://gone.example/a.gif"));
}

TEST(Preflight, ADocumentWithoutImagesOrLinksListsOnlyTheFixedLines) {
  const CheckRun run = Check({{"P", "", "", "", ""}, Anchor("top")});
  EXPECT_THAT(run.lines, ElementsAre(kStart, kLinks, kComplete));
  EXPECT_TRUE(run.asked.empty());
}

TEST(Preflight, LinesOfImagesLinksAndBookmarks) {
  TempFolder folder;
  const std::string logo = folder.File("logo 1.gif");
  WriteWholeFile(logo, "GIF89a");
  const std::string missing = folder.File("missing.gif");
  const struct {
    std::string what;
    std::vector<PreflightElement> elements;
    std::vector<std::string> found;  // the lines between kLinks and kComplete
  } cases[] = {
      {"a bookmark with its anchor", {Link("#offer"), Anchor("offer")}, {}},
      {"a bookmark anchor after the link, in lower case tags", {{"a", "", "#end", "", ""}, {"a", "", "", "end", ""}}, {}},
      {"a bookmark without its anchor", {Link("#offer"), Anchor("Offer")}, {"Broken bookmark - offer"}},
      {"the editor's same-document form", {Link("http:///#name"), Anchor("name")}, {}},
      {"the editor's form without its anchor", {Link("http:///#name")}, {"Broken bookmark - name"}},
      {"a bookmark to an element's id", {Link("#terms"), {"DIV", "", "", "", "terms"}}, {}},
      {"the top of the document", {Link("#")}, {}},
      {"an anchor without href is not checked", {Anchor("x")}, {}},
      {"a link that responds", {Link("https://example.com/ok")}, {}},
      {"a link that does not", {Link("https://example.com/gone")}, {"Broken hyperlink - https://example.com/gone"}},
      {"mailto and other schemes are passed over",
       {Link("mailto:sales@example.com"), Link("tel:+123"), Img("cid:logo"), Img("data:image/gif;base64,R0lGOD")},
       {}},
      {"a web image that responds is still not embedded",
       {Img("https://example.com/ok")},
       {"Remote image, not embedded in the message - https://example.com/ok"}},
      {"a web image that does not respond", {Img("http://example.com/gone")}, {"Broken image - http://example.com/gone"}},
      {"file: images present and missing",
       {Img("file://" + folder.Path() + "/logo%201.gif"), Img("file://" + missing)},
       {"Broken image - file://" + missing}},
      {"plain paths present and missing", {Img(logo), Link(missing)}, {"Broken hyperlink - " + missing}},
      {"a file: link with a fragment", {Link("file://localhost" + logo + "#part")}, {}},
      {"an image without a source", {Img("")}, {"Broken image - "}},
  };
  for (const auto& c : cases) {
    const CheckRun run = Check(c.elements, {"https://example.com/ok"});
    std::vector<std::string> expected = {kStart, kLinks};
    expected.insert(expected.end(), c.found.begin(), c.found.end());
    expected.push_back(kComplete);
    EXPECT_THAT(run.lines, ElementsAreArray(expected)) << c.what;
    for (const std::string& asked : run.asked) EXPECT_EQ(asked.rfind("http", 0), 0u) << c.what << ": " << asked;
  }
}

TEST(Preflight, EachWebAddressIsTriedOncePerRunAndEveryUseListed) {
  const CheckRun run =
      Check({Link("http://slow.example/"), Img("http://slow.example/"), Link("http://slow.example/"), Link("http://b.example/")});
  EXPECT_THAT(run.asked, ElementsAre("http://slow.example/", "http://b.example/"));
  EXPECT_THAT(run.errors, ElementsAre("Broken hyperlink - http://slow.example/", "Broken image - http://slow.example/",
                                      "Broken hyperlink - http://slow.example/", "Broken hyperlink - http://b.example/"));
}

}  // namespace
}  // namespace ar::test
