// Placeholder until the store inspection lands.
#include "inspect.h"

#include <ostream>

namespace norvexa::inspect {

int InspectStore(const std::string& file, bool, std::ostream&, std::ostream& err) {
  err << file << ": inspection not available yet\n";
  return 1;
}

}  // namespace norvexa::inspect
