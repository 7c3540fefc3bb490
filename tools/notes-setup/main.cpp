// norvexa-notes-setup [DIR]: provisions a local Notes client in DIR, else in
// $NORVEXA_NOTES_DATA, else in ~/.local/share/norvexa/notes: notes.ini, the
// mail template, pernames.ntf and the personal address book. An existing
// client is never overwritten.
#include "platform/notes/notes.h"

#include <filesystem>
#include <iostream>
#include <system_error>

int main(int argc, char** argv) {
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::cerr << "usage: norvexa-notes-setup [DIR]\n";
    return 2;
  }
  const std::filesystem::path dir = argc == 2 ? std::filesystem::path(argv[1]) : norvexa::notes::DefaultClientDirectory();
  try {
    norvexa::notes::ProvisionClient(dir);
  } catch (const norvexa::notes::NotesError& e) {
    std::cerr << "norvexa-notes-setup: " << e.what() << "\n";
    return 1;
  }
  std::error_code ec;
  std::cout << "Notes client provisioned in " << std::filesystem::absolute(dir, ec).lexically_normal().string()
            << "\n";
  return 0;
}
