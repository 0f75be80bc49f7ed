# Install rules of the vxfreq library, included from the top-level CMakeLists.txt.
#
#   <prefix>/lib/libvxfreq.so.X.Y.Z, libvxfreq.so.X (SONAME), libvxfreq.so
#   <prefix>/include/vxfreq/{filt,platform}/*.h   public headers only
#   <prefix>/lib/cmake/vxfreq/                   find_package(vxfreq CONFIG) -> vxfreq::vxfreq
#   <prefix>/lib/pkgconfig/vxfreq.pc             pkg-config --cflags --libs vxfreq
#
# (lib is CMAKE_INSTALL_LIBDIR, which Debian's /usr prefix makes lib/<multiarch>.)

include(CMakePackageConfigHelpers)

set(VXFREQ_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vxfreq)
set(VXFREQ_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/vxfreq)

# The public headers. Every header they include must be in this list too; the other
# headers of filt/ are internal to the library.
set(VXFREQ_PUBLIC_FILT_HEADERS
  ${PROJECT_SOURCE_DIR}/filt/atan2.h
  ${PROJECT_SOURCE_DIR}/filt/extended.h
  ${PROJECT_SOURCE_DIR}/filt/fft.h
  ${PROJECT_SOURCE_DIR}/filt/filter_types.h
  ${PROJECT_SOURCE_DIR}/filt/freqfilt.h
  ${PROJECT_SOURCE_DIR}/filt/filtering.h
  ${PROJECT_SOURCE_DIR}/filt/patterns.h
  ${PROJECT_SOURCE_DIR}/filt/padding.h
  ${PROJECT_SOURCE_DIR}/filt/parallel.h
  ${PROJECT_SOURCE_DIR}/filt/planner.h
  ${PROJECT_SOURCE_DIR}/filt/stack.h)
file(GLOB VXFREQ_PUBLIC_PLATFORM_HEADERS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/platform/*.h)

install(TARGETS vxfreq EXPORT vxfreqTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${VXFREQ_PUBLIC_FILT_HEADERS} DESTINATION ${VXFREQ_INSTALL_INCLUDEDIR}/filt)
install(FILES ${VXFREQ_PUBLIC_PLATFORM_HEADERS} DESTINATION ${VXFREQ_INSTALL_INCLUDEDIR}/platform)

install(EXPORT vxfreqTargets
  NAMESPACE vxfreq::
  FILE vxfreqTargets.cmake
  DESTINATION ${VXFREQ_INSTALL_CMAKEDIR})
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/vxfreqConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vxfreqConfig.cmake
  INSTALL_DESTINATION ${VXFREQ_INSTALL_CMAKEDIR})
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/vxfreqConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/vxfreqConfig.cmake
  ${PROJECT_BINARY_DIR}/vxfreqConfigVersion.cmake
  DESTINATION ${VXFREQ_INSTALL_CMAKEDIR})

# vxfreq.pc locates the prefix from its own directory, so the installed tree can be
# moved or installed with `cmake --install --prefix`. An absolute CMAKE_INSTALL_LIBDIR
# or CMAKE_INSTALL_INCLUDEDIR is written as it is.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(VXFREQ_PC_LIBDIR "${CMAKE_INSTALL_LIBDIR}")
  set(VXFREQ_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  # One ".." for each folder of <libdir>/pkgconfig.
  string(REGEX REPLACE "/+" ";" VXFREQ_PC_FOLDERS "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
  set(VXFREQ_PC_PREFIX "\${pcfiledir}")
  foreach(folder IN LISTS VXFREQ_PC_FOLDERS)
    if(NOT folder STREQUAL "" AND NOT folder STREQUAL ".")
      string(APPEND VXFREQ_PC_PREFIX "/..")
    endif()
  endforeach()
  set(VXFREQ_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
endif()
if(IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(VXFREQ_PC_INCLUDEDIR "${CMAKE_INSTALL_INCLUDEDIR}/vxfreq")
else()
  set(VXFREQ_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}/vxfreq")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/vxfreq.pc.in ${PROJECT_BINARY_DIR}/vxfreq.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vxfreq.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
