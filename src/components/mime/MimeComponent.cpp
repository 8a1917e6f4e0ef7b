#include "components/mime/MimeComponent.h"

#include "automation/Automation.h"
#include "components/mime/GMimeMailComposer.h"
#include "components/mime/GMimeMailMessage.h"

namespace velmora::mime {

void RegisterComponent() {
    auto& registry = automation::Registry::Instance();
    registry.Register(kMailMessageClassId, [] { return std::make_shared<GMimeMailMessage>(); });
    registry.Register(kMailComposerClassId, [] { return std::make_shared<GMimeMailComposer>(); });
}

}  // namespace velmora::mime
