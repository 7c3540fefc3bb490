// The attachment step of the mail, calendar and task writers: every staged
// file of the item is embedded into the rich-text item "Attachment" of the
// document and then deleted.
#pragma once

#include "platform/notes/notes.h"
#include "writers/steps.h"
#include "writers/writers.h"

#include <memory>

namespace norvexa::writers {

// When FILES is not empty: yields through CONTEXT, creates the item
// "Attachment" (a step under the writer's policy), then, with every failure
// passed over from the first file on, for each file in order embeds it
// (type 1454, class "", name "Attachment") and yields: from the bytes
// CONTEXT holds in memory for its path (releasing them), else from the file,
// which is deleted if it is still there. A listed path with neither bytes
// held nor a file behind it is passed over; a
// folder is never deleted. FILES itself is left as it is. Returns true when
// the step ran (there were files), which also means STEPS now skips
// failures.
bool EmbedStagedAttachments(Steps& steps, const std::unique_ptr<notes::Document>& document, const StagedFiles& files,
                            const WriterContext& context);

}  // namespace norvexa::writers
