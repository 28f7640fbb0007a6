#include "control/Preflight.h"

namespace ar {

void RunPreflightCheck(const std::string&, const std::string&, const std::vector<PreflightElement>&,
                       const UrlCheck&, const PreflightLine& list) {
  list("Complete: Check items above for any errors detected", false);
}

}  // namespace ar
