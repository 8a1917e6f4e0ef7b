#pragma once

namespace velmora {

// Registers our stand-ins for the outside components under their class names.
// Called once by the program and by tests that run the whole road.
void RegisterStandardComponents();

}  // namespace velmora
