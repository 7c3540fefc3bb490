// The terminal behind the standard error stream, for command-line progress:
// whether there is one (a progress bar can be redrawn in place) and how many
// columns it has.
#pragma once

namespace norvexa::sys {

// True when standard error is a terminal (not a file or a pipe).
bool StandardErrorIsTerminal();

// The width of the terminal on standard error in columns; 80 when it is not
// a terminal or its width cannot be learnt.
int StandardErrorColumns();

}  // namespace norvexa::sys
