// A look at each writer's Notes session just before the writer releases it.
// Tests use it to see the state a writer leaves its session in (its
// MIME-conversion switch); the program never sets one.
#pragma once

#include <functional>

namespace norvexa::notes {
class Session;
}

namespace norvexa::writers {

using SessionProbe = std::function<void(notes::Session&)>;

// Installs PROBE (an empty one removes it). Called on the one user-interface
// thread only.
void SetSessionProbe(SessionProbe probe);

// Calls the installed probe, if any, with SESSION.
void ProbeSession(notes::Session& session);

}  // namespace norvexa::writers
