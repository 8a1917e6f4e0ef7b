#pragma once

#include "components/mailconverter/MailReader.h"

#include <gmime/gmime.h>

namespace velmora::mailconverter {

// What the page shows of a parsed message and its parts, within limits: the header block,
// the body parts in reading order, files, inline resources and attached messages, with a
// notice and an attached file wherever a limit held something back.
MailContent ReadParsedMessage(GMimeMessage* message, const ReaderLimits& limits);

}  // namespace velmora::mailconverter
