#include "components/StandardComponents.h"

#include "components/mailconverter/MailConverterX.h"

namespace velmora {

void RegisterStandardComponents() {
    mailconverter::RegisterComponent();
}

}  // namespace velmora
