// The configuration row as the configuration window loads and saves it: every field in
// both directions, the HELO name cut to its column, and the polling cycle that the run
// timer must be able to read as a number.
#include "control/settings/Configuration.h"
#include "tests/support/TestDatabases.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ar {
namespace {

class ConfigurationRow : public ::testing::Test {
 protected:
  RowSet Row() { return db.Config().Query("select * from tblConfiguration"); }

  // A value for every field, as an operator would fill the window.
  static ConfigurationValues Filled() {
    ConfigurationValues v;
    v["SMTPServer"].text = "smtp.example.com:587";
    v["SMTPUsername"].text = "ann@example.com";
    v["SMTPPassword"].text = "pa'ss word";
    v["EnableSMTPSSL"].checked = true;
    v["EnablePreflight"].checked = false;
    v["POPCycleMinutes"].text = " 20 ";
    v["SummaryReportEmail"].text = "a@example.com, b@example.com";
    v["SummaryReportEmailTime"].text = "2:05pm";
    v["EnableDailySummaryEmail"].checked = true;
    v["HELOName"].text = "client.example.com";
    v["SMTPSessions"].text = "16";
    return v;
  }

  test::TestDatabases db;
};

TEST_F(ConfigurationRow, EveryFieldIsSavedInItsColumnAndLoadedBack) {
  SaveConfiguration(db.Config(), Filled());

  RowSet row = Row();
  ASSERT_EQ(row.Count(), 1u);
  EXPECT_EQ(row.Field("SMTPServer").AsText(), "smtp.example.com:587");
  EXPECT_EQ(row.Field("SMTPUsername").AsText(), "ann@example.com");
  EXPECT_EQ(row.Field("SMTPPassword").AsText(), "pa'ss word");
  EXPECT_EQ(row.Field("EnableSMTPSSL"), Value(kYes));
  EXPECT_EQ(row.Field("EnablePreflight"), Value(kNo));
  EXPECT_EQ(row.Field("POPCycleMinutes"), Value(20));  // a number, which the run timer reads
  EXPECT_EQ(row.Field("SummaryReportEmail").AsText(), "a@example.com, b@example.com");
  EXPECT_EQ(row.Field("SummaryReportEmailTime").AsText(), "2:05pm");
  EXPECT_EQ(row.Field("EnableDailySummaryEmail"), Value(kYes));
  EXPECT_EQ(row.Field("HELOName").AsText(), "client.example.com");
  EXPECT_EQ(row.Field("SMTPSessions"), Value(16));

  ConfigurationValues expected = Filled();
  expected["POPCycleMinutes"].text = "20";
  EXPECT_EQ(LoadConfiguration(db.Config()), expected);
}

TEST_F(ConfigurationRow, NullColumnsLoadAsEmptyAndUnchecked) {
  db.Config().Execute(
      "update tblConfiguration set SMTPServer=NULL, EnableSMTPSSL=NULL, POPCycleMinutes=NULL, "
      "EnableDailySummaryEmail='junk', HELOName=NULL");
  const ConfigurationValues v = LoadConfiguration(db.Config());
  ASSERT_EQ(v.size(), ConfigurationFields().size());
  EXPECT_EQ(v.at("SMTPServer"), ConfigurationValue{});
  EXPECT_EQ(v.at("EnableSMTPSSL"), ConfigurationValue{});
  EXPECT_EQ(v.at("POPCycleMinutes"), ConfigurationValue{});
  EXPECT_EQ(v.at("EnableDailySummaryEmail"), ConfigurationValue{}) << "a text in a Yes/No column";
  EXPECT_EQ(v.at("HELOName"), ConfigurationValue{});
}

TEST_F(ConfigurationRow, TheHeloNameIsCutToItsColumnWithoutSplittingACharacter) {
  ConfigurationValues v = Filled();
  v["HELOName"].text = std::string(254, 'h') + "\xC3\xA9" + "tail";  // "é" is the 255th character
  SaveConfiguration(db.Config(), v);
  EXPECT_EQ(Row().Field("HELOName").AsText(), std::string(254, 'h') + "\xC3\xA9");
}

TEST_F(ConfigurationRow, AnEmptyPollingCycleIsStoredAsNull) {
  ConfigurationValues v = Filled();
  v["POPCycleMinutes"].text = "  ";
  SaveConfiguration(db.Config(), v);
  EXPECT_TRUE(Row().Field("POPCycleMinutes").IsNull());
}

TEST_F(ConfigurationRow, APollingCycleThatIsNotAWholeNumberIsRefusedAndNothingIsStored) {
  db.Config().Execute("update tblConfiguration set SMTPServer='before', POPCycleMinutes=15");
  for (const char* typed : {"abc", "15 minutes", "9.5", "-", "99999999999", "1e3"}) {
    ConfigurationValues v = Filled();
    v["POPCycleMinutes"].text = typed;
    try {
      SaveConfiguration(db.Config(), v);
      ADD_FAILURE() << typed << " was stored";
    } catch (const ConfigurationError& e) {
      EXPECT_THAT(e.what(), ::testing::HasSubstr("POP account monitoring cycle (minutes) must be a whole number"));
      EXPECT_THAT(e.what(), ::testing::HasSubstr(typed));
    }
    EXPECT_EQ(Row().Field("SMTPServer").AsText(), "before") << typed;
    EXPECT_EQ(Row().Field("POPCycleMinutes"), Value(15)) << typed;
  }
  // A cycle below one minute would start a run at every tick of the timer.
  for (const char* typed : {"-5", "-1", "0"}) {
    ConfigurationValues v = Filled();
    v["POPCycleMinutes"].text = typed;
    try {
      SaveConfiguration(db.Config(), v);
      ADD_FAILURE() << typed << " was stored";
    } catch (const ConfigurationError& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("The POP account monitoring cycle (minutes) must be a whole number of 1 or more, not \"") +
                    typed + "\"");
    }
    EXPECT_EQ(Row().Field("POPCycleMinutes"), Value(15)) << typed;
  }
  for (const char* typed : {"+30", "1"}) {
    ConfigurationValues v = Filled();
    v["POPCycleMinutes"].text = typed;
    EXPECT_NO_THROW(SaveConfiguration(db.Config(), v)) << typed;
  }
}

TEST_F(ConfigurationRow, TheSessionCountIsAWholeNumberFromOneTo64) {
  db.Config().Execute("update tblConfiguration set SMTPServer='before', SMTPSessions=4");
  for (const char* typed : {"0", "65", "-1", "many", "2.5"}) {
    ConfigurationValues v = Filled();
    v["SMTPSessions"].text = typed;
    try {
      SaveConfiguration(db.Config(), v);
      ADD_FAILURE() << typed << " was stored";
    } catch (const ConfigurationError& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string("The number of SMTP sessions at once must be a whole number from 1 to 64, not \"") + typed +
                    "\"");
    }
    EXPECT_EQ(Row().Field("SMTPServer").AsText(), "before") << typed;
    EXPECT_EQ(Row().Field("SMTPSessions"), Value(4)) << typed;
  }
  const std::pair<const char*, Value> accepted[] = {{"1", 1}, {" 64 ", 64}, {"", Value()}};
  for (const auto& [typed, stored] : accepted) {
    ConfigurationValues v = Filled();
    v["SMTPSessions"].text = typed;
    SaveConfiguration(db.Config(), v);
    EXPECT_EQ(Row().Field("SMTPSessions"), stored) << typed;
  }
}

// A database that velquin has not brought up to date still opens the window.
TEST_F(ConfigurationRow, ADatabaseWithoutTheSessionsColumnLoads) {
  db.Config().Execute("ALTER TABLE tblConfiguration DROP COLUMN SMTPSessions");
  db.Config().Execute("update tblConfiguration set SMTPServer='old.example.com'");
  const ConfigurationValues v = LoadConfiguration(db.Config());
  EXPECT_EQ(v.at("SMTPServer").text, "old.example.com");
  EXPECT_EQ(v.at("SMTPSessions"), ConfigurationValue{});
}

TEST_F(ConfigurationRow, AMissingRowIsMadeBySaving) {
  db.Config().Execute("delete from tblConfiguration");
  EXPECT_EQ(LoadConfiguration(db.Config()).at("SMTPServer"), ConfigurationValue{});
  SaveConfiguration(db.Config(), Filled());
  RowSet row = Row();
  ASSERT_EQ(row.Count(), 1u);
  EXPECT_EQ(row.Field("SMTPServer").AsText(), "smtp.example.com:587");
}

}  // namespace
}  // namespace ar
