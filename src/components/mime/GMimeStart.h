#pragma once

namespace velmora::mime {

// Starts GMime once per process; every user of GMime calls it first.
void EnsureGMimeStarted();

}  // namespace velmora::mime
