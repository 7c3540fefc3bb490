// Placeholder until the nsf inspection lands.
#include "inspect.h"

#include <ostream>

namespace norvexa::inspect {

int InspectNsf(const std::string& file, std::ostream&, std::ostream& err) {
  err << file << ": inspection not available yet\n";
  return 1;
}

}  // namespace norvexa::inspect
