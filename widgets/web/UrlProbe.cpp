#include "widgets/web/UrlProbe.h"

namespace ar {

UrlProbe::UrlProbe(QObject* parent) : QObject(parent) {}

bool UrlProbe::Responds(const std::string&, int) { return true; }

}  // namespace ar
