#include "components/StandardComponents.h"

#include "components/notesstore/StoreSession.h"

namespace velmora {

void RegisterStandardComponents() {
    notesstore::RegisterComponent();
}

}  // namespace velmora
