// notes_save_loop DB COUNT [FILE] [--mime]: saves COUNT documents (0: until
// killed) into DB through the back-end, opening a new session and database
// for each as the writers do, embedding FILE into every tenth. With --mime
// each document's Body is a tree of five MIME parts (a 20 KB picture among
// them) and every third is marked unread. Prints each document's universal
// id on its own line as soon as Save has returned.
#include "platform/notes/notes.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The Body tree of document I: related, alternative, plain, html, picture.
void WriteTree(norvexa::notes::Session& session, norvexa::notes::Document& doc, long i) {
  using namespace norvexa::notes;
  auto stream = session.CreateStream();
  auto top = doc.CreateRichTextItem("Body")->CreateChildEntity();
  top->SetHeadersFromText("Subject: doc " + std::to_string(i) + "\r\nReceived: by loop\r\n\tfolded\r\n");
  top->CreateHeader("Content-Type")->SetHeaderVal("multipart/related");
  auto alternative = top->CreateChildEntity();
  alternative->CreateHeader("Content-Type")->SetHeaderVal("multipart/alternative");
  stream->WriteText("plain " + std::to_string(i));
  alternative->CreateChildEntity()->SetContentFromText(*stream, "text/plain; charset=utf-8", ENC_IDENTITY_8BIT);
  stream->Truncate();
  stream->WriteText("<p>html " + std::to_string(i) + "</p>");
  alternative->CreateChildEntity()->SetContentFromText(*stream, "text/html", ENC_QUOTED_PRINTABLE);
  stream->Truncate();
  stream->Write(std::string(20000, static_cast<char>(i & 0xFF)));
  auto picture = top->CreateChildEntity();
  picture->CreateHeader("Content-ID")->SetHeaderVal("<pic" + std::to_string(i) + ">");
  picture->SetContentFromBytes(*stream, "image/png", ENC_BASE64);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: notes_save_loop DB COUNT [FILE] [--mime]\n");
    return 2;
  }
  const std::string db_path = argv[1];
  const long count = std::strtol(argv[2], nullptr, 10);
  std::string attachment;
  bool mime = false;
  for (int a = 3; a < argc; ++a) {
    if (std::strcmp(argv[a], "--mime") == 0) mime = true;
    else attachment = argv[a];
  }
  try {
    for (long i = 0; count == 0 || i < count; ++i) {
      norvexa::notes::Session session;
      auto db = session.GetDatabase("", db_path);
      db->EnableFolder("Loop\\Saved");
      auto doc = db->CreateDocument();
      doc->ReplaceItemValue("Form", std::string("Memo"));
      doc->ReplaceItemValue("Subject", "doc " + std::to_string(i));
      if (mime) {
        WriteTree(session, *doc, i);
        if (i % 3 == 0) doc->MarkUnread();
      } else {
        doc->ReplaceItemValue("Body", std::string(200, 'b'));
      }
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
