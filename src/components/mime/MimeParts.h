#pragma once

// What a MIME entity holds, for callers that keep clear of GMime's headers.

#include <QByteArray>
#include <QStringList>

namespace velmora::mime {

// The file names of the entity's parts (attachments and named inline parts), in order; none
// when the bytes are no MIME entity.
QStringList AttachedFileNames(const QByteArray& entity);

}  // namespace velmora::mime
