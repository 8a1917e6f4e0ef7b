#include "components/StandardComponents.h"

namespace velmora {

void RegisterStandardComponents() {}

}  // namespace velmora
