#pragma once

// Deterministic demo mail: the same bytes in, the same store out, on every run.

#include <QString>

namespace velmora::notesstore {

class StoreWriter;

// A small database of believable mail covering the awkward cases: hidden and
// non-folder views, nested, orphan, duplicate and case-variant folders, names files
// cannot carry, several scripts, placeholders, drafts, junk, attachments of several
// kinds (one of 5 MiB), same-named attachments, OLE objects and links.
void GenerateDemo(StoreWriter& writer);

// What the generated mail's bodies hold: plain text only, or a third each of plain text, HTML
// mail (MIME) and formatted rich text (CD records).
enum class ScaledMix { Plain, Formatted };

// A large database for benchmarks: messages documents spread over the standard views and
// messages / 100 user folders (at least one), nested two levels deep.
void GenerateScaled(StoreWriter& writer, int messages, ScaledMix mix = ScaledMix::Plain);

// The demo's five-mebibyte attachment is this many bytes long.
inline constexpr int kDemoLargeAttachmentBytes = 5 * 1024 * 1024;

}  // namespace velmora::notesstore
