#pragma once
// A data folder seeded from the build's initial databases, with an autoresponder, its
// events and its subscribers, for tests that run the real ostrel.
#include "store/Value.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempFolder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ar::test {

class OstrelFolder {
 public:
  OstrelFolder();

  const std::string& Path() const { return folder_.Path(); }
  void SetSmtpServer(const std::string& server);
  int64_t AddAutoresponder(const std::string& name);
  // A plain-text event whose subject is its name.
  int64_t AddEvent(int64_t autoresponder, const std::string& name, int interval);
  // prefix00000@rcpt.test and on, added daysAgo days ago; with lastEvent, they had that
  // event on the day they were added.
  void AddSubscribers(int64_t autoresponder, const std::string& prefix, int count, int daysAgo,
                      const Value& lastEvent = Value());
  // The address AddSubscribers gave the i-th subscriber of the prefix.
  static std::string Address(const std::string& prefix, int i);

  // The environment of an ostrel run on this folder, without a display, plus extra.
  std::vector<std::string> Environment(const std::vector<std::string>& extra = {}) const;
  void ConfigExecute(const std::string& sql, const std::vector<Value>& params = {});
  // One statement's first value on the subscriber or the configuration database.
  Value SubscriberScalar(const std::string& sql, const std::vector<Value>& params = {}) const;
  Value ConfigScalar(const std::string& sql, const std::vector<Value>& params = {}) const;

 private:
  TempFolder folder_;
};

}  // namespace ar::test
