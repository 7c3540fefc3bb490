// The MIMEEntity and MIMEHeader objects over the parts of an open MIME edit.
#pragma once

#include "platform/notes/mime_tree.h"

#include <memory>

namespace norvexa::notes::internal {

// The entity for NODE, a part of the tree of EDIT. Every call of it throws
// NotesError once EDIT is gone.
std::unique_ptr<MIMEEntity> MakeEntity(const std::shared_ptr<MimeEdit>& edit, MimeNode* node);

// A new, blank top part appended to the tree of EDIT, and its entity.
std::unique_ptr<MIMEEntity> AddTopPart(const std::shared_ptr<MimeEdit>& edit);

}  // namespace norvexa::notes::internal
