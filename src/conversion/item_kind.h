// Which writer an item goes to: by the item's own message class when that
// names one of the five kinds the export writes, else by its folder's kind.
// A contact kept in a mail folder is a Person, an appointment in a task
// folder an Appointment, a custom form (IPM.Contact.Business) the kind of
// its base class; meeting requests and responses (IPM.Schedule.Meeting.*)
// and everything else stay what their folder makes them.
#pragma once

#include <string>

namespace norvexa::outlook {
class Item;
}

namespace norvexa::conversion {

// The kinds of folder the run converts, by their DefaultMessageClass.
enum class FolderKind { Contact, Mail, Calendar, Task };

// The writer of one item.
enum class ItemKind { Mail, Calendar, Task, Person, Group };

// The kind named by MESSAGE_CLASS on its own: IPM.Note, IPM.Appointment,
// IPM.Task, IPM.Contact and IPM.DistList, each alone or followed by "." and
// a sub-class, compared without regard to case as message classes are;
// nothing for any other class (IPM.TaskRequest, IPM.Schedule.Meeting.*,
// IPM.Post, reports, "" ...).
enum class OwnKind { None, Mail, Calendar, Task, Person, Group };
OwnKind KindOfClass(const std::string& message_class);

// The writer for ITEM found in a folder of kind FOLDER: its own kind when
// its class names one, else the folder's (in a contact folder a Person).
// An item whose class cannot be read goes by its folder.
ItemKind KindOfItem(const outlook::Item& item, FolderKind folder);

}  // namespace norvexa::conversion
