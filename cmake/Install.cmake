# What `cmake --install` puts under the prefix: the shared library with its
# soname link, the public headers, a CMake package and a pkg-config file.
# Tests, the local gateway and the static archive stay in the build tree.
include(CMakePackageConfigHelpers)

set(MVK_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/MVKAnalyticsUnreal)

install(TARGETS MVKAnalyticsUnreal EXPORT MVKAnalyticsUnrealTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/mvk DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT development FILES_MATCHING PATTERN "*.hpp")

install(EXPORT MVKAnalyticsUnrealTargets NAMESPACE MVKAnalyticsUnreal::
  DESTINATION ${MVK_CMAKE_PACKAGE_DIR} COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/MVKAnalyticsUnrealConfig.cmake.in
  ${PROJECT_BINARY_DIR}/MVKAnalyticsUnrealConfig.cmake
  INSTALL_DESTINATION ${MVK_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/MVKAnalyticsUnrealConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/MVKAnalyticsUnrealConfig.cmake
  ${PROJECT_BINARY_DIR}/MVKAnalyticsUnrealConfigVersion.cmake
  DESTINATION ${MVK_CMAKE_PACKAGE_DIR} COMPONENT development)

# The prefix is found from the file's own place, so the tree works wherever
# `cmake --install --prefix` put it; an absolute install dir is kept as it is.
set(MVK_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE ${MVK_PC_DIR})
  set(MVK_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH MVK_PC_UP /root/${MVK_PC_DIR} /root)
  string(REGEX REPLACE "/$" "" MVK_PC_UP "${MVK_PC_UP}")
  set(MVK_PC_PREFIX "\${pcfiledir}/${MVK_PC_UP}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE ${CMAKE_INSTALL_${kind}})
    set(MVK_PC_${kind} ${CMAKE_INSTALL_${kind}})
  else()
    set(MVK_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/MVKAnalyticsUnreal.pc.in
  ${PROJECT_BINARY_DIR}/MVKAnalyticsUnreal.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/MVKAnalyticsUnreal.pc
  DESTINATION ${MVK_PC_DIR} COMPONENT development)
