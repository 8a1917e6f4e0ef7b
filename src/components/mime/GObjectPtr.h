#pragma once

#include "util/GObjectPtr.h"

namespace velmora::mime {

using velmora::Adopt;
using velmora::GObjectPtr;

// Starts GMime once per process; every user of GMime calls it first.
void EnsureGMimeStarted();

}  // namespace velmora::mime
