#include "components/StandardComponents.h"

#include "components/mime/MimeComponent.h"

namespace velmora {

void RegisterStandardComponents() {
    mime::RegisterComponent();
}

}  // namespace velmora
