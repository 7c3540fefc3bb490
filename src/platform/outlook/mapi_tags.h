// MAPI property identifiers, property types, named-property sets and the
// few other MAPI constants that the store access reads and pstgen writes,
// each defined here once under its MAPI name. Header only, with nothing but
// the standard library, so that the store reader, the libpff reader,
// norvexa-inspect and pstgen share it without linking one another.
//
// Names: PR_X is the property identifier (the high 16 bits of a tag) under
// the name MAPI's headers give the property; a property those headers do
// not name carries its [MS-OXPROPS] or [MS-PST] name, PidTagX. A store may
// hold a text property in either string type, so the readers look a
// property up by its identifier; Tag() makes a whole tag where one is
// needed (outlook.h's PR_SENDER_NAME, for example, is the 8-bit tag of the
// identifier PR_SENDER_NAME here). A named property is PidLidX (a number in
// a property set) or PidNameX (a name in a property set).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace norvexa::outlook::mapi {

// ---------------------------------------------------------------------------
// Property types and tags
// ---------------------------------------------------------------------------
inline constexpr std::uint16_t PT_SHORT = 0x0002;
inline constexpr std::uint16_t PT_LONG = 0x0003;
inline constexpr std::uint16_t PT_FLOAT = 0x0004;
inline constexpr std::uint16_t PT_DOUBLE = 0x0005;
inline constexpr std::uint16_t PT_CURRENCY = 0x0006;
inline constexpr std::uint16_t PT_APPTIME = 0x0007;
inline constexpr std::uint16_t PT_ERROR = 0x000A;
inline constexpr std::uint16_t PT_BOOLEAN = 0x000B;
inline constexpr std::uint16_t PT_OBJECT = 0x000D;
inline constexpr std::uint16_t PT_I8 = 0x0014;
inline constexpr std::uint16_t PT_STRING8 = 0x001E;
inline constexpr std::uint16_t PT_UNICODE = 0x001F;
inline constexpr std::uint16_t PT_SYSTIME = 0x0040;
inline constexpr std::uint16_t PT_CLSID = 0x0048;
inline constexpr std::uint16_t PT_BINARY = 0x0102;
// The bit that makes a type multi-valued, and the multi-valued types used.
inline constexpr std::uint16_t MV_FLAG = 0x1000;
inline constexpr std::uint16_t PT_MV_STRING8 = MV_FLAG | PT_STRING8;
inline constexpr std::uint16_t PT_MV_UNICODE = MV_FLAG | PT_UNICODE;
inline constexpr std::uint16_t PT_MV_BINARY = MV_FLAG | PT_BINARY;

// The tag of property ID with type TYPE: the identifier in the high 16 bits,
// the type in the low 16.
constexpr std::uint32_t Tag(std::uint16_t id, std::uint16_t type) {
  return (static_cast<std::uint32_t>(id) << 16) | type;
}
// The identifier and the type of TAG.
constexpr std::uint16_t PropId(std::uint32_t tag) { return static_cast<std::uint16_t>(tag >> 16); }
constexpr std::uint16_t PropType(std::uint32_t tag) { return static_cast<std::uint16_t>(tag & 0xFFFF); }

// The bytes a value of fixed-size type TYPE takes in a property context or a
// table row; 0 for a variable-size type (texts, binaries, objects,
// multi-valued types), whose values are stored apart.
constexpr std::size_t FixedSize(std::uint16_t type) {
  switch (type) {
    case PT_BOOLEAN: return 1;
    case PT_SHORT: return 2;
    case PT_LONG: case PT_FLOAT: case PT_ERROR: return 4;
    case PT_DOUBLE: case PT_CURRENCY: case PT_APPTIME: case PT_I8: case PT_SYSTIME: return 8;
    case PT_CLSID: return 16;
    default: return 0;
  }
}

// ---------------------------------------------------------------------------
// Property identifiers, by number
// ---------------------------------------------------------------------------
inline constexpr std::uint16_t PR_IMPORTANCE = 0x0017;
inline constexpr std::uint16_t PR_REPLY_TIME = 0x0030;
inline constexpr std::uint16_t PR_MESSAGE_CLASS = 0x001A;
inline constexpr std::uint16_t PR_SENSITIVITY = 0x0036;
inline constexpr std::uint16_t PR_SUBJECT = 0x0037;
inline constexpr std::uint16_t PR_CLIENT_SUBMIT_TIME = 0x0039;
inline constexpr std::uint16_t PR_SENT_REPRESENTING_ENTRYID = 0x0041;
inline constexpr std::uint16_t PR_SENT_REPRESENTING_NAME = 0x0042;
inline constexpr std::uint16_t PR_MESSAGE_TO_ME = 0x0057;
inline constexpr std::uint16_t PR_MESSAGE_CC_ME = 0x0058;
inline constexpr std::uint16_t PR_START_DATE = 0x0060;
inline constexpr std::uint16_t PR_END_DATE = 0x0061;
inline constexpr std::uint16_t PR_SENT_REPRESENTING_ADDRTYPE = 0x0064;
inline constexpr std::uint16_t PR_SENT_REPRESENTING_EMAIL_ADDRESS = 0x0065;
inline constexpr std::uint16_t PR_TRANSPORT_MESSAGE_HEADERS = 0x007D;
inline constexpr std::uint16_t PR_CONVERSATION_TOPIC = 0x0070;
inline constexpr std::uint16_t PR_CONVERSATION_INDEX = 0x0071;
inline constexpr std::uint16_t PR_RECIPIENT_TYPE = 0x0C15;
inline constexpr std::uint16_t PR_SENDER_ENTRYID = 0x0C19;
inline constexpr std::uint16_t PR_SENDER_NAME = 0x0C1A;
inline constexpr std::uint16_t PR_SENDER_SEARCH_KEY = 0x0C1D;
inline constexpr std::uint16_t PR_SENDER_ADDRTYPE = 0x0C1E;
inline constexpr std::uint16_t PR_SENDER_EMAIL_ADDRESS = 0x0C1F;
inline constexpr std::uint16_t PR_DISPLAY_BCC = 0x0E02;
inline constexpr std::uint16_t PR_DISPLAY_CC = 0x0E03;
inline constexpr std::uint16_t PR_DISPLAY_TO = 0x0E04;
inline constexpr std::uint16_t PR_MESSAGE_DELIVERY_TIME = 0x0E06;
inline constexpr std::uint16_t PR_MESSAGE_FLAGS = 0x0E07;
inline constexpr std::uint16_t PR_MESSAGE_SIZE = 0x0E08;
inline constexpr std::uint16_t PR_SENTMAIL_ENTRYID = 0x0E0A;
inline constexpr std::uint16_t PR_RESPONSIBILITY = 0x0E0F;
inline constexpr std::uint16_t PR_MESSAGE_STATUS = 0x0E17;
inline constexpr std::uint16_t PR_ATTACH_SIZE = 0x0E20;
inline constexpr std::uint16_t PR_ATTACH_NUM = 0x0E21;
inline constexpr std::uint16_t PidTagReplItemid = 0x0E30;
inline constexpr std::uint16_t PidTagReplChangenum = 0x0E33;
inline constexpr std::uint16_t PidTagReplVersionhistory = 0x0E34;
inline constexpr std::uint16_t PidTagReplFlags = 0x0E38;
inline constexpr std::uint16_t PidTagReplCopiedfromVersionhistory = 0x0E3C;
inline constexpr std::uint16_t PidTagReplCopiedfromItemid = 0x0E3D;
inline constexpr std::uint16_t PR_RECORD_KEY = 0x0FF9;
inline constexpr std::uint16_t PR_OBJECT_TYPE = 0x0FFE;
inline constexpr std::uint16_t PR_ENTRYID = 0x0FFF;
inline constexpr std::uint16_t PR_BODY = 0x1000;
inline constexpr std::uint16_t PR_RTF_COMPRESSED = 0x1009;
inline constexpr std::uint16_t PR_HTML = 0x1013;
inline constexpr std::uint16_t PR_INTERNET_MESSAGE_ID = 0x1035;
inline constexpr std::uint16_t PR_INTERNET_REFERENCES = 0x1039;
inline constexpr std::uint16_t PR_IN_REPLY_TO_ID = 0x1042;
inline constexpr std::uint16_t PR_FLAG_STATUS = 0x1090;
inline constexpr std::uint16_t PR_FLAG_COMPLETE_TIME = 0x1091;
inline constexpr std::uint16_t PidTagItemTemporaryFlags = 0x1097;
inline constexpr std::uint16_t PR_DISPLAY_NAME = 0x3001;
inline constexpr std::uint16_t PR_ADDRTYPE = 0x3002;
inline constexpr std::uint16_t PR_EMAIL_ADDRESS = 0x3003;
inline constexpr std::uint16_t PR_CREATION_TIME = 0x3007;
inline constexpr std::uint16_t PR_LAST_MODIFICATION_TIME = 0x3008;
inline constexpr std::uint16_t PR_SEARCH_KEY = 0x300B;
inline constexpr std::uint16_t PR_VALID_FOLDER_MASK = 0x35DF;
inline constexpr std::uint16_t PR_IPM_SUBTREE_ENTRYID = 0x35E0;
inline constexpr std::uint16_t PR_IPM_WASTEBASKET_ENTRYID = 0x35E3;
inline constexpr std::uint16_t PR_FINDER_ENTRYID = 0x35E7;
inline constexpr std::uint16_t PR_CONTENT_COUNT = 0x3602;
inline constexpr std::uint16_t PR_CONTENT_UNREAD = 0x3603;
inline constexpr std::uint16_t PR_SUBFOLDERS = 0x360A;
inline constexpr std::uint16_t PR_CONTAINER_CLASS = 0x3613;
inline constexpr std::uint16_t PR_ATTACH_DATA = 0x3701;  // PR_ATTACH_DATA_BIN or _OBJ, by its type
inline constexpr std::uint16_t PR_ATTACH_FILENAME = 0x3704;
inline constexpr std::uint16_t PR_ATTACH_METHOD = 0x3705;
inline constexpr std::uint16_t PR_ATTACH_LONG_FILENAME = 0x3707;
inline constexpr std::uint16_t PR_RENDERING_POSITION = 0x370B;
inline constexpr std::uint16_t PR_ATTACH_MIME_TAG = 0x370E;
inline constexpr std::uint16_t PR_ATTACH_CONTENT_ID = 0x3712;
inline constexpr std::uint16_t PR_ATTACH_CONTENT_LOCATION = 0x3713;
inline constexpr std::uint16_t PR_ATTACH_FLAGS = 0x3714;
inline constexpr std::uint16_t PR_DISPLAY_TYPE = 0x3900;
inline constexpr std::uint16_t PR_SMTP_ADDRESS = 0x39FE;
inline constexpr std::uint16_t PR_7BIT_DISPLAY_NAME = 0x39FF;
inline constexpr std::uint16_t PR_SEND_RICH_INFO = 0x3A40;
inline constexpr std::uint16_t PR_INTERNET_CPID = 0x3FDE;
inline constexpr std::uint16_t PR_MESSAGE_CODEPAGE = 0x3FFD;
inline constexpr std::uint16_t PR_SENDER_SMTP_ADDRESS = 0x5D01;
inline constexpr std::uint16_t PR_SENT_REPRESENTING_SMTP_ADDRESS = 0x5D02;
inline constexpr std::uint16_t PidTagRecipientDisplayName = 0x5FF6;
inline constexpr std::uint16_t PidTagRecipientFlags = 0x5FFD;
inline constexpr std::uint16_t PidTagSecureSubmitFlags = 0x65C6;
inline constexpr std::uint16_t PidTagPstHiddenCount = 0x6635;
inline constexpr std::uint16_t PidTagPstHiddenUnread = 0x6636;
inline constexpr std::uint16_t PidTagLtpRowId = 0x67F2;
inline constexpr std::uint16_t PidTagLtpRowVer = 0x67F3;
inline constexpr std::uint16_t PidTagPstPassword = 0x67FF;
inline constexpr std::uint16_t PR_ATTACHMENT_HIDDEN = 0x7FFE;

// Contacts.
inline constexpr std::uint16_t PR_GENERATION = 0x3A05;
inline constexpr std::uint16_t PR_GIVEN_NAME = 0x3A06;
inline constexpr std::uint16_t PR_BUSINESS_TELEPHONE_NUMBER = 0x3A08;
inline constexpr std::uint16_t PR_HOME_TELEPHONE_NUMBER = 0x3A09;
inline constexpr std::uint16_t PR_SURNAME = 0x3A11;
inline constexpr std::uint16_t PR_COMPANY_NAME = 0x3A16;
inline constexpr std::uint16_t PR_TITLE = 0x3A17;
inline constexpr std::uint16_t PR_DEPARTMENT_NAME = 0x3A18;
inline constexpr std::uint16_t PR_OFFICE_LOCATION = 0x3A19;
inline constexpr std::uint16_t PR_MOBILE_TELEPHONE_NUMBER = 0x3A1C;
inline constexpr std::uint16_t PR_PAGER_TELEPHONE_NUMBER = 0x3A21;
inline constexpr std::uint16_t PR_BUSINESS_FAX_NUMBER = 0x3A24;
inline constexpr std::uint16_t PR_HOME_FAX_NUMBER = 0x3A25;
inline constexpr std::uint16_t PR_BUSINESS_ADDRESS_COUNTRY = 0x3A26;
inline constexpr std::uint16_t PR_BUSINESS_ADDRESS_CITY = 0x3A27;
inline constexpr std::uint16_t PR_BUSINESS_ADDRESS_STATE_OR_PROVINCE = 0x3A28;
inline constexpr std::uint16_t PR_BUSINESS_ADDRESS_STREET = 0x3A29;
inline constexpr std::uint16_t PR_BUSINESS_ADDRESS_POSTAL_CODE = 0x3A2A;
inline constexpr std::uint16_t PR_ASSISTANT = 0x3A30;
inline constexpr std::uint16_t PR_WEDDING_ANNIVERSARY = 0x3A41;
inline constexpr std::uint16_t PR_BIRTHDAY = 0x3A42;
inline constexpr std::uint16_t PR_MIDDLE_NAME = 0x3A44;
inline constexpr std::uint16_t PR_DISPLAY_NAME_PREFIX = 0x3A45;
inline constexpr std::uint16_t PR_SPOUSE_NAME = 0x3A48;
inline constexpr std::uint16_t PR_MANAGER_NAME = 0x3A4E;
inline constexpr std::uint16_t PR_BUSINESS_HOME_PAGE = 0x3A51;
inline constexpr std::uint16_t PR_CHILDRENS_NAMES = 0x3A58;
inline constexpr std::uint16_t PR_HOME_ADDRESS_CITY = 0x3A59;
inline constexpr std::uint16_t PR_HOME_ADDRESS_COUNTRY = 0x3A5A;
inline constexpr std::uint16_t PR_HOME_ADDRESS_POSTAL_CODE = 0x3A5B;
inline constexpr std::uint16_t PR_HOME_ADDRESS_STATE_OR_PROVINCE = 0x3A5C;
inline constexpr std::uint16_t PR_HOME_ADDRESS_STREET = 0x3A5D;

// The name-to-ID map node of a PST file: its bucket count, its GUID, entry
// and string streams, and the first of its hash buckets.
inline constexpr std::uint16_t PidTagNameidBucketCount = 0x0001;
inline constexpr std::uint16_t PidTagNameidStreamGuid = 0x0002;
inline constexpr std::uint16_t PidTagNameidStreamEntry = 0x0003;
inline constexpr std::uint16_t PidTagNameidStreamString = 0x0004;
inline constexpr std::uint16_t PidTagNameidBucketBase = 0x1000;

// Identifiers from here up are named properties, mapped per store.
inline constexpr std::uint16_t kFirstNamedId = 0x8000;

// ---------------------------------------------------------------------------
// Named properties
// ---------------------------------------------------------------------------

// A property set GUID in its stored byte order (Data1 to Data3
// little-endian).
using Guid = std::array<std::uint8_t, 16>;

// The GUID {DATA1-0000-0000-C000-000000000046}, the form of every MAPI
// property set used here, in its stored byte order.
constexpr Guid MapiGuid(std::uint32_t data1) {
  return Guid{static_cast<std::uint8_t>(data1), static_cast<std::uint8_t>(data1 >> 8),
              static_cast<std::uint8_t>(data1 >> 16), static_cast<std::uint8_t>(data1 >> 24),
              0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
}

inline constexpr Guid PS_MAPI = MapiGuid(0x00020328);
inline constexpr Guid PS_PUBLIC_STRINGS = MapiGuid(0x00020329);
inline constexpr Guid PSETID_Appointment = MapiGuid(0x00062002);
inline constexpr Guid PSETID_Task = MapiGuid(0x00062003);
inline constexpr Guid PSETID_Address = MapiGuid(0x00062004);
inline constexpr Guid PSETID_Common = MapiGuid(0x00062008);

// PS_PUBLIC_STRINGS: the item's categories (multi-valued text).
inline constexpr std::string_view PidNameKeywords = "Keywords";

// PSETID_Address.
inline constexpr std::uint32_t PidLidDistributionListName = 0x8053;
inline constexpr std::uint32_t PidLidDistributionListOneOffMembers = 0x8054;
inline constexpr std::uint32_t PidLidDistributionListMembers = 0x8055;
inline constexpr std::uint32_t PidLidEmail1EmailAddress = 0x8083;
inline constexpr std::uint32_t PidLidEmail2EmailAddress = 0x8093;
inline constexpr std::uint32_t PidLidEmail3EmailAddress = 0x80A3;

// PSETID_Task.
inline constexpr std::uint32_t PidLidTaskStatus = 0x8101;
inline constexpr std::uint32_t PidLidPercentComplete = 0x8102;
inline constexpr std::uint32_t PidLidTaskStartDate = 0x8104;
inline constexpr std::uint32_t PidLidTaskDueDate = 0x8105;
inline constexpr std::uint32_t PidLidTaskDateCompleted = 0x810F;
inline constexpr std::uint32_t PidLidTaskComplete = 0x811C;
inline constexpr std::uint32_t PidLidTaskOwner = 0x811F;

// PSETID_Appointment.
inline constexpr std::uint32_t PidLidBusyStatus = 0x8205;
inline constexpr std::uint32_t PidLidLocation = 0x8208;
inline constexpr std::uint32_t PidLidAppointmentStartWhole = 0x820D;
inline constexpr std::uint32_t PidLidAppointmentEndWhole = 0x820E;
inline constexpr std::uint32_t PidLidAppointmentSubType = 0x8215;
inline constexpr std::uint32_t PidLidAppointmentRecur = 0x8216;
inline constexpr std::uint32_t PidLidAppointmentStateFlags = 0x8217;
inline constexpr std::uint32_t PidLidRecurring = 0x8223;
inline constexpr std::uint32_t PidLidRecurrenceType = 0x8231;
inline constexpr std::uint32_t PidLidRecurrencePattern = 0x8232;
inline constexpr std::uint32_t PidLidTimeZoneStruct = 0x8233;
inline constexpr std::uint32_t PidLidTimeZoneDescription = 0x8234;
inline constexpr std::uint32_t PidLidClipStart = 0x8235;
inline constexpr std::uint32_t PidLidClipEnd = 0x8236;
inline constexpr std::uint32_t PidLidAppointmentTimeZoneDefinitionStartDisplay = 0x825E;
inline constexpr std::uint32_t PidLidAppointmentTimeZoneDefinitionEndDisplay = 0x825F;
inline constexpr std::uint32_t PidLidAppointmentTimeZoneDefinitionRecur = 0x8260;

// PSETID_Common.
inline constexpr std::uint32_t PidLidReminderDelta = 0x8501;
inline constexpr std::uint32_t PidLidReminderTime = 0x8502;
inline constexpr std::uint32_t PidLidReminderSet = 0x8503;
inline constexpr std::uint32_t PidLidFlagRequest = 0x8530;
inline constexpr std::uint32_t PidLidReminderSignalTime = 0x8560;

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

// PR_ATTACH_METHOD: data in PR_ATTACH_DATA, a link to a file outside, an
// attached item, or OLE data.
inline constexpr std::int32_t ATTACH_BY_VALUE = 1;
inline constexpr std::int32_t ATTACH_EMBEDDED_MSG = 5;
inline constexpr std::int32_t ATTACH_OLE = 6;

// PR_RECIPIENT_TYPE.
inline constexpr std::int32_t MAPI_TO = 1;
inline constexpr std::int32_t MAPI_CC = 2;
inline constexpr std::int32_t MAPI_BCC = 3;

// PR_MESSAGE_FLAGS.
inline constexpr std::int32_t MSGFLAG_READ = 0x01;
inline constexpr std::int32_t MSGFLAG_UNSENT = 0x08;
inline constexpr std::int32_t MSGFLAG_HASATTACH = 0x10;
inline constexpr std::int32_t MSGFLAG_FROMME = 0x20;

// PidLidAppointmentStateFlags: the appointment is a meeting.
inline constexpr std::int32_t asfMeeting = 0x0001;

// PR_OBJECT_TYPE of a recipient.
inline constexpr std::int32_t MAPI_MAILUSER = 6;

// The provider UID that starts every one-off entry identifier (an address
// that names itself: display name, address type and address),
// {A41F2B81-A3BE-1910-9D6E-00DD010F5402} in its stored byte order; and the
// flag of such an identifier whose texts are UTF-16LE rather than 8-bit.
inline constexpr std::array<std::uint8_t, 16> MAPI_ONE_OFF_UID = {0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
                                                                  0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02};
inline constexpr std::uint16_t MAPI_ONE_OFF_UNICODE = 0x8000;

}  // namespace norvexa::outlook::mapi
