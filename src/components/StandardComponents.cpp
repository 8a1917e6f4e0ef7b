#include "components/StandardComponents.h"

#include "components/mailconverter/MailConverterX.h"
#include "components/mime/MimeComponent.h"
#include "components/notesstore/StoreSession.h"

namespace velmora {

void RegisterStandardComponents() {
    notesstore::RegisterComponent();
    mime::RegisterComponent();
    mailconverter::RegisterComponent();
}

}  // namespace velmora
