#include "processor/RunContext.h"

#include "base/Trace.h"
#include "store/Value.h"

namespace ar {

void RunContext::LogStatus(const std::string& message) const {
  if (status) status->LogStatus(message);
}

void RunContext::SetLastAutoresponderStatus(const std::string& status) const {
  try {
    config->Execute("update tblAutoresponders set LastStatus=? where AutoresponderID=?",
                    {status, static_cast<long long>(currentAutoresponder)});
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:SetLastAutoresponderStatus: ") + e.what(), true);
  }
}

void RunContext::SetSMTPProblemStatus(bool problem) const {
  try {
    config->Execute("update tblStatus set LastSMTPStatus=?", {YesNo(problem)});
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:SetSMTPProblemStatus: ") + e.what(), true);
  }
}

void RunContext::SetPOPProblemStatus(bool problem) const {
  try {
    config->Execute("update tblStatus set LastPOPStatus=?", {YesNo(problem)});
  } catch (const std::exception& e) {
    TracePop(std::string("frmProcess:SetPOPProblemStatus: ") + e.what(), true);
  }
}

}  // namespace ar
