// The messaging layer's fixed points in a store file: the node identifiers
// every store has, the node types of folders, messages, attachments and
// their tables, where a message's recipient and attachment tables sit, the
// layout of the named-property map's streams ([MS-PST] NAMEID) and of the
// entry identifiers that name a store's objects ([MS-PST] EntryID). Header
// only: the store reader and the reader-independent item layer share it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace norvexa::outlook::pst {

// ---------------------------------------------------------------------------
// Nodes
// ---------------------------------------------------------------------------
// The fixed node identifiers every store has.
inline constexpr std::uint32_t kNidMessageStore = 0x21;  // NID_MESSAGE_STORE
inline constexpr std::uint32_t kNidNameToIdMap = 0x61;   // NID_NAME_TO_ID_MAP
inline constexpr std::uint32_t kNidRootFolder = 0x122;   // NID_ROOT_FOLDER
// The node Outlook gives the top of the visible hierarchy in every file it
// writes, for files whose message store no longer says which it is.
inline constexpr std::uint32_t kNidConventionalIpmSubtree = 0x8022;
// The subnodes of a message that hold its tables.
inline constexpr std::uint32_t kNidRecipientTable = 0x692;   // NID_RECIPIENT_TABLE
inline constexpr std::uint32_t kNidAttachmentTable = 0x671;  // NID_ATTACHMENT_TABLE
// Node types (nidType, see NidType in ndb_layout.h).
inline constexpr std::uint32_t kNidTypeNormalFolder = 0x02;          // NID_TYPE_NORMAL_FOLDER
inline constexpr std::uint32_t kNidTypeSearchFolder = 0x03;          // NID_TYPE_SEARCH_FOLDER
inline constexpr std::uint32_t kNidTypeNormalMessage = 0x04;         // NID_TYPE_NORMAL_MESSAGE
inline constexpr std::uint32_t kNidTypeAttachment = 0x05;            // NID_TYPE_ATTACHMENT
inline constexpr std::uint32_t kNidTypeHierarchyTable = 0x0D;        // NID_TYPE_HIERARCHY_TABLE
inline constexpr std::uint32_t kNidTypeContentsTable = 0x0E;         // NID_TYPE_CONTENTS_TABLE
inline constexpr std::uint32_t kNidTypeSearchContentsTable = 0x10;   // NID_TYPE_SEARCH_CONTENTS_TABLE

// ---------------------------------------------------------------------------
// The named-property map
// ---------------------------------------------------------------------------
// NAMEID, 8 bytes each in the entry stream: dwPropertyID (the number of a
// numbered name, else the offset of the name in the string stream), then
// N (bit 0: named by a string) and wGuid (the other 15 bits), then wPropIdx.
inline constexpr std::size_t kNameIdSize = 8;
inline constexpr std::size_t kNameIdGuidAt = 4;       // N and wGuid
inline constexpr std::size_t kNameIdIndexAt = 6;      // wPropIdx
inline constexpr std::uint16_t kNameIdStringBit = 0x1;
inline constexpr int kNameIdGuidShift = 1;
// wGuid: 1 is PS_MAPI, 2 PS_PUBLIC_STRINGS, and from 3 on the GUIDs of the
// GUID stream in order.
inline constexpr std::uint16_t kNameIdGuidPsMapi = 1;
inline constexpr std::uint16_t kNameIdGuidPublicStrings = 2;
inline constexpr std::uint16_t kNameIdGuidFirstInStream = 3;
inline constexpr std::size_t kGuidSize = 16;
// A name in the string stream: its length in bytes (4 bytes), then UTF-16LE.
inline constexpr std::size_t kNameLengthSize = 4;

// ---------------------------------------------------------------------------
// Entry identifiers
// ---------------------------------------------------------------------------
// EntryID: rgbFlags (4 bytes), uid (the store's 16-byte provider UID), nid.
inline constexpr std::size_t kEntryIdNidAt = 20;
inline constexpr std::size_t kEntryIdSize = 24;

}  // namespace norvexa::outlook::pst
