# Installation (cmake --install) and the Debian package (cpack -G DEB).
#
# Installed layout, under the prefix:
#   bin/shotscene, bin/shotscene-export      the tools
#   bin/shotscene-batch, bin/shotscene-split scripts/batch.sh and scripts/split.sh
#   libexec/shotscene/batch-job              scripts/batch_job.sh, run by shotscene-batch
#   share/man/man1/*.1.gz                    the manual pages (docs/man/*.1.in)
#   share/doc/shotscene/copyright            cmake/debian/copyright, in Debian's machine-readable form
#   share/doc/shotscene/changelog.gz         cmake/debian/changelog, Debian's name for a native package
#   lib/python3.X/dist-packages/shotscene.*.so  the Python module, for Debian's python3 3.X;
#                                            lib/python3/dist-packages/ under the prefix /usr
#                                            (the package), as Debian lays out its own
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS shotscene shotscene-export RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Debian's python3 looks for packages' modules in /usr/lib/python3/dist-packages and for
# local ones in /usr/local/lib/python3.X/dist-packages; the prefix is known at install
# time only (cpack installs under a staging folder ending in /usr), and so is whether to
# strip it (cpack, cmake --install --strip), which install(TARGETS) would do by itself.
if(SHOTSCENE_PYTHON)
  install(CODE "
    if(CMAKE_INSTALL_PREFIX MATCHES \"(^|/)usr/?$\")
      set(_python_dir lib/python3/dist-packages)
    else()
      set(_python_dir lib/python3.${Python3_VERSION_MINOR}/dist-packages)
    endif()
    file(INSTALL \"$<TARGET_FILE:shotscene_python>\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/\${_python_dir}\"
         PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${_python_dir}/$<TARGET_FILE_NAME:shotscene_python>\"
        COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endif()

# The batch and split scripts find the tools (and the batch its job helper) as laid out
# in the source tree; their installed copies get the installed places instead, relative
# to where they lie, so that any --prefix works. Installs SCRIPT as bin/NAME with its
# line PLACES replaced by INSTALLED.
function(shotscene_install_script script name places installed)
  file(READ ${CMAKE_CURRENT_SOURCE_DIR}/${script} text)
  string(FIND "${text}" "${places}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${script} no longer holds the line that the installed copy "
                        "replaces:\n${places}")
  endif()
  string(REPLACE "${places}" "${installed}" text "${text}")
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/install/${name}.tmp "${text}")
  configure_file(${CMAKE_CURRENT_BINARY_DIR}/install/${name}.tmp
                 ${CMAKE_CURRENT_BINARY_DIR}/install/${name} COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${script})
  install(PROGRAMS ${CMAKE_CURRENT_BINARY_DIR}/install/${name} DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_LIBEXECDIR}")
  set(_shotscene_job "${CMAKE_INSTALL_FULL_LIBEXECDIR}/shotscene/batch-job")
else()
  file(RELATIVE_PATH _shotscene_job_dir "/${CMAKE_INSTALL_BINDIR}"
       "/${CMAKE_INSTALL_LIBEXECDIR}/shotscene")
  set(_shotscene_job "$(cd \"$here/${_shotscene_job_dir}\" && pwd)/batch-job")
endif()
shotscene_install_script(scripts/batch.sh shotscene-batch
  [[tools="$(cd "$here/.." && pwd)/build" job="$here/batch_job.sh" setup="$here/setup.sh"]]
  "tools=\"$here\" job=\"${_shotscene_job}\" setup=\"\"")
shotscene_install_script(scripts/split.sh shotscene-split
  [[tools="$(cd "$here/.." && pwd)/build"]] "tools=\"$here\"")
install(PROGRAMS scripts/batch_job.sh DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/shotscene
        RENAME batch-job)

# Manual pages: the version comes from project(), the pages are installed compressed.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(_shotscene_pages shotscene shotscene-export shotscene-batch shotscene-split)
set(_shotscene_compressed)
foreach(page IN LISTS _shotscene_pages)
  configure_file(docs/man/${page}.1.in ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1 @ONLY)
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${GZIP_EXECUTABLE} -9 -n -f -k ${page}.1
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/man
    COMMENT "Compressing the manual page ${page}.1"
    VERBATIM)
  list(APPEND _shotscene_compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${_shotscene_compressed})
install(FILES ${_shotscene_compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Copyright and changelog where Debian's tools look for them. The changelog's
# latest entry must be for this version; like the manual pages it is compressed
# without a name or time stamp so that the package is reproducible.
file(STRINGS cmake/debian/changelog _shotscene_latest LIMIT_COUNT 1)
if(NOT _shotscene_latest MATCHES "^shotscene \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog needs an entry for version ${PROJECT_VERSION} on top")
endif()
configure_file(cmake/debian/changelog ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog COPYONLY)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
  COMMAND ${GZIP_EXECUTABLE} -9 -n -f -k changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog
  WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/doc
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
install(FILES cmake/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/shotscene)

# The Debian package: shotscene_VERSION_ARCH.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME shotscene)
set(CPACK_PACKAGE_VENDOR "The shotscene project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cuts a video into shots and scenes")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "shotscene finds the abrupt cuts and gradual transitions of a video,\n"
    "types each gradual transition as a dissolve or a wipe, and groups\n"
    "consecutive shots into scenes by their colours. It writes a shot list,\n"
    "a scene list and subtitle files next to the video, and on request JPEG\n"
    "keyframes of every shot and scene. The Python module shotscene runs the\n"
    "same analysis and returns the shots, scenes and frame pair statistics.\n"
    "shotscene-export writes the results as CSV, JSON, EDL, OpenTimelineIO,\n"
    "Final Cut Pro XML, WebVTT and an HTML contact sheet; shotscene-batch\n"
    "runs folders of videos with GNU parallel, and shotscene-split cuts a\n"
    "video into one file per shot or scene with ffmpeg.")
if(NOT DEFINED CPACK_DEBIAN_PACKAGE_MAINTAINER)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The shotscene project <shotscene@example.org>")
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps (dpkg-dev) names the packages of the libraries the binaries link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "parallel, ffmpeg")
if(SHOTSCENE_PYTHON)
  # The module is built for one Python version's interface; shlibdeps adds the libraries.
  math(EXPR _shotscene_next_minor "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.${Python3_VERSION_MINOR}), \
python3 (<< 3.${_shotscene_next_minor}), python3-numpy")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
