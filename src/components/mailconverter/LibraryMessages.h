#pragma once

namespace velmora::mailconverter {

// Messages of the C libraries under the converter (GLib, GMime) go to Qt's message handler,
// where the program decides what shows, instead of straight to standard error. Process-wide;
// the first call from any thread sets it up.
void RouteLibraryMessages();

}  // namespace velmora::mailconverter
