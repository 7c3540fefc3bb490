// notes_save_loop DB COUNT [FILE]: saves COUNT documents (0: until killed)
// into DB through the back-end, opening a new session and database for each
// as the writers do, embedding FILE into every tenth. Prints each document's
// universal id on its own line as soon as Save has returned.
#include "platform/notes/notes.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: notes_save_loop DB COUNT [FILE]\n");
    return 2;
  }
  const std::string db_path = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  const std::string attachment = argc > 3 ? argv[3] : "";
  try {
    for (long i = 0; count == 0 || i < count; ++i) {
      norvexa::notes::Session session;
      auto db = session.GetDatabase("", db_path);
      db->EnableFolder("Loop\\Saved");
      auto doc = db->CreateDocument();
      doc->ReplaceItemValue("Form", std::string("Memo"));
      doc->ReplaceItemValue("Subject", "doc " + std::to_string(i));
      doc->ReplaceItemValue("Body", std::string(200, 'b'));
      if (!attachment.empty() && i % 10 == 0)
        doc->CreateRichTextItem("Attachment")->EmbedObject(norvexa::notes::EMBED_ATTACHMENT, "", attachment, "Attachment");
      doc->Save(false, false);
      std::printf("%s\n", doc->UniversalID().c_str());
      std::fflush(stdout);
      doc->PutInFolder("Loop\\Saved");
    }
  } catch (const norvexa::notes::NotesError& e) {
    std::fprintf(stderr, "notes_save_loop: %s\n", e.what());
    return 1;
  }
  return 0;
}
