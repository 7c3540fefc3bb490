// libpff's header without its optional file-I/O (libbfio) part, whose
// headers Debian ships in a separate package that nothing here needs.
// libpff.h declares that part unless WINAPI is defined; WINAPI otherwise
// only adds wide-character declarations, which are harmless.
#pragma once

#if defined(WINAPI)
#include <libpff.h>
#else
#define WINAPI
#include <libpff.h>
#undef WINAPI
#endif
