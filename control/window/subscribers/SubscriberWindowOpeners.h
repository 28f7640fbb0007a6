#pragma once
// The openers of the autoresponder editor's subscriber windows: import, export and find,
// each modal over the editor that asks for it and working on that editor's list.
#include "control/program/ControlContext.h"

namespace ar {

// Puts the three openers into Openers(); the context must outlive them.
void PutInSubscriberOpeners(const ControlContext& context);

}  // namespace ar
