// The configuration row read once: no row, a value only one reader cannot use, a column
// an older database lacks.
#include "store/ConfigurationRow.h"
#include "tests/support/TestDatabases.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ar {
namespace {

TEST(ConfigurationRow, EachAccessorConvertsOnlyItsOwnColumn) {
  test::TestDatabases db;
  db.Config().Execute("update tblConfiguration set SMTPServer='relay.test:587', EnableSMTPSSL='yes please',"
                      " POPCycleMinutes=NULL, SMTPSessions=4");
  const ConfigurationRow row = ConfigurationRow::Read(db.Config());
  ASSERT_TRUE(row.Exists());
  EXPECT_EQ(row.SmtpServer(), "relay.test:587");
  EXPECT_THROW((void)row.SmtpTls(), std::runtime_error) << "the text fails the reader of that column alone";
  EXPECT_EQ(row.PopCycleMinutes(15), 15);
  EXPECT_EQ(row.SmtpSessions().AsInteger(), 4);

  db.Config().Execute("delete from tblConfiguration");
  const ConfigurationRow none = ConfigurationRow::Read(db.Config());
  EXPECT_FALSE(none.Exists());
  EXPECT_EQ(none.SmtpServer(), "");
  EXPECT_FALSE(none.EnableDailySummaryEmail());
  EXPECT_TRUE(none.SmtpSessions().IsNull());
}

TEST(ConfigurationRow, AColumnAnOlderDatabaseLacksReadsAsNull) {
  test::TestDatabases db;
  db.Config().Execute("ALTER TABLE tblConfiguration DROP COLUMN SMTPSessions");
  const ConfigurationRow row = ConfigurationRow::Read(db.Config());
  EXPECT_TRUE(row.SmtpSessions().IsNull());
  EXPECT_TRUE(row.Field("NoSuchColumn").IsNull());
}

}  // namespace
}  // namespace ar
