#pragma once

// Marks what the capengine library exports; everything else in it is hidden.
#if defined(CAPENGINE_STATIC)
#define CAPENGINE_EXPORT
#elif defined(_WIN32)
#if defined(CAPENGINE_BUILDING)
#define CAPENGINE_EXPORT __declspec(dllexport)
#else
// Callers reach the DLL's functions through the import library's stubs, so code that reads
// these headers links to the DLL and to the static library of the tests alike.
#define CAPENGINE_EXPORT
#endif
#else
#define CAPENGINE_EXPORT __attribute__((visibility("default")))
#endif

// Marks a member type of an exported class that stays private to the library.
#if defined(_WIN32) || defined(CAPENGINE_STATIC)
#define CAPENGINE_HIDDEN
#else
#define CAPENGINE_HIDDEN __attribute__((visibility("hidden")))
#endif
