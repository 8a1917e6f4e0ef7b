#include "components/StandardComponents.h"

#include "components/mailconverter/MailConverterX.h"
#include "components/mime/MimeComponent.h"

namespace velmora {

void RegisterStandardComponents()
{
    mime::RegisterComponent();
    mailconverter::RegisterComponent();
}

}  // namespace velmora
