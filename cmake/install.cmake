# What `cmake --install` puts under the prefix:
#   Linux:   lib/libkov32.so -> libkov32.so.1 -> libkov32.so.<version>, bin/kovmail
#   Windows: bin/KOV32.dll, bin/kovmail.exe, lib/libKOV32.dll.a (import library)
#   both:    include/kov32.h, lib/pkgconfig/kov32.pc,
#            lib/cmake/kov32/ (find_package(kov32) gives kov32::kov32)
include(CMakePackageConfigHelpers)

set(KOV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kov32)

install(TARGETS kov32 EXPORT kov32Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/kov32.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT kov32Targets NAMESPACE kov32:: DESTINATION ${KOV_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kov32Config.cmake.in
  ${CMAKE_BINARY_DIR}/kov32Config.cmake INSTALL_DESTINATION ${KOV_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/kov32ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/kov32Config.cmake ${CMAKE_BINARY_DIR}/kov32ConfigVersion.cmake
  DESTINATION ${KOV_CMAKE_DIR})

# pkg-config: paths relative to the .pc file, so the tree may be installed
# under any prefix (cmake --install --prefix) and still be found.
file(RELATIVE_PATH KOV_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" KOV_PC_TO_PREFIX "${KOV_PC_TO_PREFIX}")
if(WIN32)
  set(KOV_PC_LIBNAME KOV32)
else()
  set(KOV_PC_LIBNAME kov32)
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/kov32.pc.in ${CMAKE_BINARY_DIR}/kov32.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kov32.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
