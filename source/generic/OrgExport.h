#ifndef TUNEWRIGHT_ORGEXPORT_H
#define TUNEWRIGHT_ORGEXPORT_H

// ORG_API marks what the song library exports; everything else stays inside it.
// Static builds (the Windows player links the library's code into itself) define ORG_STATIC.
#if defined(ORG_STATIC)
#  define ORG_API
#elif defined(_WIN32)
#  if defined(ORG_BUILDING_LIBRARY)
#    define ORG_API __declspec(dllexport)
#  else
#    define ORG_API __declspec(dllimport)
#  endif
#else
#  define ORG_API __attribute__((visibility("default")))
#endif

#endif
