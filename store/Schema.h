#pragma once
// The tables of the two database files. The build makes autoresponder.tem and
// subscribers.tem from these definitions; the control program creates and drops the
// subscriber table of each autoresponder.
#include "store/Connection.h"

#include <cstdint>
#include <string>

namespace ar {

// Every table of autoresponder.sto with its initial rows (one configuration row, one
// status row).
void CreateAutoresponderSchema(Connection& config);
// Adds what a database made by an earlier version lacks: the SMTPSessions column of
// tblConfiguration. Runs at the control program's start; a database already up to date
// is left as it is.
void UpgradeAutoresponderSchema(Connection& config);

// tblConfiguration.SMTPSessions: how many SMTP sessions a pass of the processor may run
// at once, 1 to this; Null means one.
inline constexpr int kMaxSmtpSessions = 64;

// subscribers.sto: the de-duplication scratch table and no subscriber table.
void CreateSubscribersSchema(Connection& subscribers);

// "[12]": the subscriber table of autoresponder 12 as statements write it.
std::string SubscriberTable(int64_t autoresponderId);

// Creates the subscriber table of an autoresponder, its address index and the
// AddedDate default (the current date-time).
void CreateSubscriberTable(Connection& subscribers, int64_t autoresponderId);
// Drops it; a table that does not exist is not an error.
void DropSubscriberTable(Connection& subscribers, int64_t autoresponderId);

// Makes a new database file at path from scratch (the build's .tem files, tests).
Connection CreateDatabaseFile(const std::string& path);

}  // namespace ar
