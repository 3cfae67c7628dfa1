#pragma once

// Symbols of the public API are the only ones the shared library exports.
#if defined(MVK_BUILDING_LIBRARY)
#define MVK_EXPORT __attribute__((visibility("default")))
#else
#define MVK_EXPORT
#endif
