# What keeps the shared library a game ships small, and its dynamic symbol
# table down to the public API. The static archive the tests link shares the
# objects, so only flags that change nothing about behaviour reach them.

# Every function and datum in its own section, so the linker can drop what
# nothing reaches.
target_compile_options(mvk_objects PRIVATE -ffunction-sections -fdata-sections)

set(MVK_EXPORT_MAP ${PROJECT_SOURCE_DIR}/cmake/MVKAnalyticsUnreal.map)
target_link_options(MVKAnalyticsUnreal PRIVATE
  -Wl,--gc-sections
  -Wl,--version-script=${MVK_EXPORT_MAP}
  -Wl,--as-needed
  -Wl,-O1)
set_property(TARGET MVKAnalyticsUnreal APPEND PROPERTY LINK_DEPENDS ${MVK_EXPORT_MAP})

# Release builds with g++ optimise for size across the whole library at link
# time. The objects carry both the intermediate code and ordinary machine
# code: the shared library is optimised as a whole, while whatever links the
# static archive (benchmarks, the demo) takes the machine code as before and
# links quickly. -Os rather than CMake's -O3 takes a third off the library:
# its work is waiting on SQLite and the network, and the host's side of a
# call is a copy and an enqueue, none of it a loop that -O3 would speed up.
# The sanitizer and fuzz builds use clang and other build types, and are left
# alone.
set(MVK_LTO_JOBS auto CACHE STRING
  "Parallel jobs of the link-time optimisation of a Release build (a number, or auto)")
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  set(MVK_RELEASE $<CONFIG:Release>)
  target_compile_options(mvk_objects PRIVATE
    "$<${MVK_RELEASE}:-Os;-flto=${MVK_LTO_JOBS};-ffat-lto-objects>")
  target_link_options(MVKAnalyticsUnreal PRIVATE "$<${MVK_RELEASE}:-Os;-flto=${MVK_LTO_JOBS}>")
  target_link_options(mvk_static INTERFACE "$<${MVK_RELEASE}:-fno-lto>")
  # The one loop on the host's side: a game builds the parameters of every
  # event one by one, and at -Os each of their small steps is a call.
  set_source_files_properties(${PROJECT_SOURCE_DIR}/src/api/MVKCustomEventParameters.cpp
    TARGET_DIRECTORY mvk_objects PROPERTIES COMPILE_OPTIONS "$<${MVK_RELEASE}:-O2>")
endif()
