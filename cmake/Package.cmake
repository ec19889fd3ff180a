# Installing, and the Debian package built from the install (make package).
# The layout is Debian's for a game: programs in /usr/games, the show's files
# in /usr/share/games/quarvel, manual pages in section 6.
set(_pkg_src ${CMAKE_SOURCE_DIR}/tools/package)
set(_pkg_out ${CMAKE_BINARY_DIR}/package-files)
set(QUARVEL_MAINTAINER "Quarvel Team <team@quarvel.example.org>")

set(_programs quarvel quarvel-capture quarvel-xinfo quarvel-assets)
install(TARGETS ${_programs} RUNTIME DESTINATION ${QUARVEL_INSTALL_BINDIR})
# Resolved at start-up, then read-only: Debian's hardened linking.
foreach(_program ${_programs})
  target_link_options(${_program} PRIVATE -Wl,-z,relro -Wl,-z,now)
endforeach()

# The show's files: the stand-in set, written by the generator straight into
# the install tree (never whatever else lies in build/show); its icon goes to
# the menus' icon folder.
set(_icon_dir share/icons/hicolor/64x64/apps)
install(CODE "
  set(_root \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  execute_process(COMMAND \"$<TARGET_FILE:quarvel-assets>\" \"\${_root}/${QUARVEL_INSTALL_SHOWDIR}\"
                  RESULT_VARIABLE _rc OUTPUT_QUIET)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR \"quarvel-assets could not write the show's files\")
  endif()
  file(MAKE_DIRECTORY \"\${_root}/${_icon_dir}\")
  file(RENAME \"\${_root}/${QUARVEL_INSTALL_SHOWDIR}/quarvel.png\" \"\${_root}/${_icon_dir}/quarvel.png\")
")
install(FILES ${_pkg_src}/quarvel.desktop DESTINATION share/applications)

# Manual pages and the changelog, with the version filled in and compressed
# as Debian wants them (gzip -9n: no name or time stamp inside).
set(_compressed)
foreach(_page quarvel.6 quarvel-capture.6 quarvel-xinfo.6 quarvel-assets.6 changelog)
  configure_file(${_pkg_src}/${_page} ${_pkg_out}/${_page} @ONLY)
  add_custom_command(OUTPUT ${_pkg_out}/${_page}.gz
    COMMAND gzip -9n -k -f ${_pkg_out}/${_page}
    DEPENDS ${_pkg_out}/${_page}
    VERBATIM)
  list(APPEND _compressed ${_pkg_out}/${_page}.gz)
endforeach()
add_custom_target(quarvel_package_files ALL DEPENDS ${_compressed})
list(FILTER _compressed INCLUDE REGEX "\\.6\\.gz$")
install(FILES ${_compressed} DESTINATION share/man/man6)
install(FILES ${_pkg_out}/changelog.gz ${_pkg_src}/copyright ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION share/doc/quarvel)

# The package: CPack's DEB generator, so the version, the file list and the
# build stay in this one CMake project; dpkg-shlibdeps names the Debian
# libraries the programs link with.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUARVEL_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time 3D show in step with its music")
set(CPACK_PACKAGE_DESCRIPTION
    "Quarvel plays a real-time 3D show: ships, trucks and fires in fog, a flight
through a forest, a forest edge, a model scene, an explosion and a free-flight
finale, with timed picture effects and an operator mode. It comes with its own
generated models, textures and music, a headless runner that writes frames,
traces and videos, and a describer of the show's files.")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the programs load at run time beyond their linked libraries: Mesa's
# OpenGL and EGL drivers, and the status overlay's font. ffmpeg only for
# the runner's video export.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libegl-mesa0, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
