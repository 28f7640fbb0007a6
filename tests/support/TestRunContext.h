#pragma once
// A processing run's context over the test databases, for tests of the run's parts.
#include "processor/RunContext.h"
#include "tests/support/TestDatabases.h"

namespace ar::test {

inline RunContext MakeRunContext(TestDatabases& db, int64_t autoresponderId, StatusList& status, Socket& socket) {
  RunContext ctx;
  ctx.dataFolder = db.Folder();
  ctx.config = &db.Config();
  ctx.subscribers = &db.Subscribers();
  ctx.status = &status;
  ctx.socket = &socket;
  ctx.currentAutoresponder = autoresponderId;
  return ctx;
}

}  // namespace ar::test
