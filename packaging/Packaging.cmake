# Installing and packaging the command, included from the top level after the snoozlet target.
#
#   Linux:   cmake --install <build> --prefix <dir>     bin/snoozlet, share/man/man1/snoozlet.1.gz,
#                                                       share/doc/snoozlet/{copyright,changelog.Debian.gz}
#            cpack --config <build>/CPackConfig.cmake   snoozlet_<version>-1_<arch>.deb
#   Windows: cmake --install <build> --prefix <dir>     snoozlet.exe, README.txt
#            cpack --config <build>/CPackConfig.cmake   snoozlet-<version>-win32.zip / -win64.zip
include(GNUInstallDirs)

set(SNOOZLET_PACKAGE_MAINTAINER "The SNOOZLET authors <snoozlet@example.org>"
    CACHE STRING "Maintainer named in the packages (Name <address>)")

if(WIN32)
  # The .exe and a short text side by side, at the top of the prefix and of the ZIP; the text
  # has carriage returns, as every Windows editor expects.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SNOOZLET_WINDOWS_TARGET "64-bit, x86-64")
  else()
    set(SNOOZLET_WINDOWS_TARGET "32-bit, i686")
  endif()
  configure_file(${PROJECT_SOURCE_DIR}/doc/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt
                 @ONLY NEWLINE_STYLE CRLF)

  # The executable's version resource, compiled by windres. An object library of its own, so
  # that none of the C++ compile options of the command's targets reach the resource compiler.
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/Version.rc.in ${PROJECT_BINARY_DIR}/Version.rc
                 @ONLY)
  add_library(snoozlet_version_resource OBJECT ${PROJECT_BINARY_DIR}/Version.rc)
  target_link_libraries(snoozlet PRIVATE snoozlet_version_resource)

  install(TARGETS snoozlet RUNTIME DESTINATION .)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
else()
  install(TARGETS snoozlet RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The manual page and the Debian changelog compressed the way Debian wants them: best
  # compression, no name or time stamp in the header, so the same text gives the same bytes.
  find_program(SNOOZLET_GZIP gzip REQUIRED)
  function(snoozlet_gzip source output)
    get_filename_component(directory ${output} DIRECTORY)
    get_filename_component(name ${output} NAME_WLE)
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${directory}
      COMMAND ${CMAKE_COMMAND} -E copy ${source} ${directory}/${name}
      COMMAND ${SNOOZLET_GZIP} -9nf ${directory}/${name}
      DEPENDS ${source}
      COMMENT "Compressing ${name}"
      VERBATIM)
  endfunction()
  set(snoozlet_gz_dir ${PROJECT_BINARY_DIR}/compressed)
  snoozlet_gzip(${PROJECT_SOURCE_DIR}/doc/snoozlet.1 ${snoozlet_gz_dir}/man/snoozlet.1.gz)
  snoozlet_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian
                ${snoozlet_gz_dir}/doc/changelog.Debian.gz)
  add_custom_target(snoozlet_compressed_docs ALL
                    DEPENDS ${snoozlet_gz_dir}/man/snoozlet.1.gz
                            ${snoozlet_gz_dir}/doc/changelog.Debian.gz)
  install(FILES ${snoozlet_gz_dir}/man/snoozlet.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${snoozlet_gz_dir}/doc/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# What every package says of itself.
set(CPACK_PACKAGE_NAME snoozlet)
set(CPACK_PACKAGE_VENDOR "The SNOOZLET authors")
set(CPACK_PACKAGE_CONTACT "${SNOOZLET_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# The long description in lines of at most 80 columns, as Debian's control files want it.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "snoozlet waits the number of seconds given as its argument and ends with"
  "status 0, or ends early with status 1 when a key is pressed at the terminal."
  "The keys are read from the controlling terminal, never from standard input,"
  "so it works the same in shell scripts whose input is redirected. Without an"
  "argument it prints its usage line and ends with status 2, with /? status 3.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_PACKAGE_NAME snoozlet)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SNOOZLET_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The libraries the command links, with the versions its symbols need, as dpkg-shlibdeps
  # (Debian: dpkg-dev) finds them; without it, the C library alone.
  find_program(SNOOZLET_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(SNOOZLET_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    message(STATUS "dpkg-shlibdeps not found: the Debian package depends on libc6 alone")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS libc6)
  endif()
endif()

include(CPack)
