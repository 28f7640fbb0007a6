#include "processor/ProcessRun.h"

#include "base/Clock.h"
#include "base/Trace.h"
#include "processor/DelayedPass.h"
#include "processor/StatusTexts.h"
#include "store/ConfigurationRow.h"

#include <stdexcept>

namespace ar {

ProcessRun::ProcessRun(RunContext& context, MailboxReader& mailbox, EventProcessor& events, int64_t autoresponderId)
    : ctx_(context), mailbox_(mailbox), events_(events), autoresponderId_(autoresponderId) {}

void ProcessRun::StartUp() {
  ctx_.SetSMTPProblemStatus(false);
  ctx_.SetPOPProblemStatus(false);
}

SmtpSettings ProcessRun::ReadSettings() {
  const ConfigurationRow row = ConfigurationRow::Read(*ctx_.config);
  if (!row.Exists()) throw std::runtime_error("tblConfiguration holds no row");
  return SmtpSettingsFromConfiguration(row);
}

std::string ProcessRun::FilterSql(const char* keyword) const {
  return autoresponderId_ != 0 ? std::string(keyword) + "tblAutoresponders.AutoresponderID=?" : std::string();
}

Params ProcessRun::FilterParams() const {
  if (autoresponderId_ == 0) return {};
  return {static_cast<long long>(autoresponderId_)};
}

RunOutcome ProcessRun::Run() {
  try {
    const SmtpSettings settings = ReadSettings();
    if (settings.server.empty()) {
      ctx_.LogStatus("Error: SMTP server not specified");
      ctx_.SetSMTPProblemStatus(true);
      CloseDatabases();
      return RunOutcome::SmtpServerNotSpecified;
    }
    if (autoresponderId_ != 0) ctx_.LogStatus("Processing autoresponder ID: " + std::to_string(autoresponderId_));
    else ctx_.LogStatus("Processing all autoresponders");

    ctx_.config->Execute("update tblAutoresponders set LastStatus=''");
    MailboxPhase();
    if (!Stopping() && !IsBlackoutDay()) EventPhase(settings);
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:Timer1_Timer: ") + e.what(), true);
  }
  if (Stopping()) ctx_.LogStatus("Run stopped by request");
  Finish();
  // Nobody could be told through the database: the program says so itself.
  if (notRecorded_ && !statusRecorded_) return RunOutcome::SendingStoppedUnrecorded;
  return RunOutcome::Completed;
}

void ProcessRun::MailboxPhase() {
  ctx_.LogStatus("Adding new subscribers");
  RowSet rs = ctx_.config->Query("select * from tblAutoresponders where Active<>0 " + FilterSql(" AND "), FilterParams());
  for (; !rs.Eof() && !Stopping(); rs.MoveNext()) {
    ctx_.currentAutoresponder = rs.Field("AutoresponderID").AsInteger();
    ctx_.SetLastAutoresponderStatus("OK");
    const std::string server = NullToDefault(rs.Field("POPServer"), "");
    if (server.empty()) continue;
    // A Null in the other mailbox columns reads as empty (or off), so that one
    // half-filled row cannot stop the run for every other autoresponder.
    mailbox_.ReadPOP(server, NullToDefault(rs.Field("POPUsername"), ""), NullToDefault(rs.Field("POPPassword"), ""),
                     NullToDefault(rs.Field("EnablePOPSSL"), false), ctx_.currentAutoresponder,
                     NullToDefault(rs.Field("ResponseServerType"), ""),
                     NullToDefault(rs.Field("ResponseIMAPFolder"), ""));
  }
}

bool ProcessRun::IsBlackoutDay() {
  const RowSet rs =
      ctx_.config->Query("select * from tblBlackoutDays where yyyymmdd(BlackoutDay)=yyyymmdd(now())");
  return !rs.Eof();
}

void ProcessRun::EventPhase(const SmtpSettings& s) {
  ctx_.LogStatus("Processing event emails");
  RowSet rs = ctx_.config->Query("select * from tblAutoresponders" + FilterSql(" WHERE "), FilterParams());
  for (; !rs.Eof() && !Stopping(); rs.MoveNext()) {
    const int64_t id = rs.Field("AutoresponderID").AsInteger();
    ctx_.currentAutoresponder = id;
    if (Ended(events_.ProcessEvents(id, s.server, s.userName, s.password, s.tls, true))) return;

    const std::string timeOfDay = NullToDefault(rs.Field("TimeOfDayToRespond"), "");
    switch (DecideDelayedPass(timeOfDay, rs.Field("LastRespondTime"), NowDays())) {
      case DelayedPassDecision::RunEveryTime:
        if (Ended(events_.ProcessEvents(id, s.server, s.userName, s.password, s.tls, false))) return;
        break;
      case DelayedPassDecision::RunAndRecordTime: {
        const PassEnd end = events_.ProcessEvents(id, s.server, s.userName, s.password, s.tls, false);
        // A pass that did not get through every due subscriber is tried again at the
        // next run, not a day later.
        if (end == PassEnd::Completed)
          ctx_.config->Execute("update tblAutoresponders set LastRespondTime=now() where AutoresponderID=?",
                               {static_cast<long long>(id)});
        if (Ended(end)) return;
        break;
      }
      case DelayedPassDecision::InvalidTimeOfDay:
        // Only this autoresponder's delayed pass waits for a time the operator can fix.
        TracePop("frmProcess:Timer1_Timer: autoresponder " + std::to_string(id) +
                     ": TimeOfDayToRespond is not a time of day: " + timeOfDay,
                 true);
        break;
      case DelayedPassDecision::Skip: break;
    }
  }
}

bool ProcessRun::Ended(PassEnd end) {
  if (end == PassEnd::Stopped) {
    ctx_.SetLastAutoresponderStatus(kStatusStopped);
    return true;
  }
  if (end != PassEnd::NotRecorded) return false;
  // Every autoresponder's marks go to the same file: whatever another pass sent now
  // could not be recorded either, and would go again at every run.
  ctx_.LogStatus(kStatusNotRecorded);
  ctx_.SetSMTPProblemStatus(true);
  notRecorded_ = true;
  try {
    ctx_.config->Execute("update tblAutoresponders set LastStatus=? where AutoresponderID=?",
                         {std::string(kStatusNotRecorded), static_cast<long long>(ctx_.currentAutoresponder)});
    statusRecorded_ = true;
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:SetLastAutoresponderStatus: ") + e.what(), true);
  }
  return true;
}

void ProcessRun::CloseDatabases() {
  if (ctx_.closeDatabases) {
    ctx_.closeDatabases();
  } else {
    ctx_.config->Close();
    ctx_.subscribers->Close();
  }
}

void ProcessRun::Finish() {
  try {
    ctx_.config->Execute("update tblStatus set LastOstrelRun=now(), LastNewSubscribers=?, LastEmailsSent=?",
                         {static_cast<long long>(ctx_.newSubscribers), static_cast<long long>(ctx_.emailsSent)});
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:Timer1_Timer: ") + e.what(), true);
  }
  CloseDatabases();
  ctx_.LogStatus("POP check completed");
}

}  // namespace ar
