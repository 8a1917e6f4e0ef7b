#include "components/StandardComponents.h"

#include "components/mailconverter/MailConverterX.h"
#include "components/mime/MimeComponent.h"
#include "components/notesstore/StoreSession.h"
#include "components/nsf/NsfSession.h"

namespace velmora {

void RegisterStandardComponents() {
    notesstore::RegisterComponent();
    // Replaces the store-only session: real .nsf files and stores, chosen by content.
    nsf::RegisterComponent();
    mime::RegisterComponent();
    mailconverter::RegisterComponent();
}

}  // namespace velmora
