// The process's local time zone, read once: the C library otherwise looks
// at the system's zone file again before every conversion to local time,
// and a run converts several dates of every item.
#pragma once

namespace norvexa::sys {

// Makes the C library keep the local time zone it reads now for the rest of
// the process, where the environment names none (TZ unset): the zone the
// system is set to, read once. A zone named by TZ is left as it is. Call
// first thing in main(), before any other thread runs, as it sets the
// environment.
void KeepLocalTimeZone();

}  // namespace norvexa::sys
