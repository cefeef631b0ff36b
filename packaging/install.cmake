# Install layout and the Debian package. The program looks for data/ under the current folder,
# then beside itself, then in ../share/brimvale/data, so this tree plays from any prefix.
install(TARGETS brimvale RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION share/brimvale/data
  FILES_MATCHING PATTERN "*.tga" PATTERN "*.mp3")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/brimvale.desktop DESTINATION share/applications)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/packaging/icons/ DESTINATION share/icons
  FILES_MATCHING PATTERN "*.png")

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/packaging/copyright
  DESTINATION share/doc/brimvale)

if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(BRIMVALE_MAINTAINER "Quilon VOK <brimvale@quilon-vok.org>" CACHE STRING
  "Maintainer named in the Debian package and its changelog")

# The Debian changelog is made from CHANGELOG.md, which stays the one place releases are written
# down: every "## VERSION - YYYY-MM-DD" section becomes an entry, its "- " lines the items.
function(brimvale_debian_changelog out)
  file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md lines ENCODING UTF-8)
  set(text "")
  set(open "")
  foreach(line IN LISTS lines)
    if(line MATCHES "^## ([0-9.]+) - ([0-9-]+)")
      set(version ${CMAKE_MATCH_1})
      execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2} 12:00"
        OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
      string(APPEND text "${open}brimvale (${version}) unstable; urgency=medium\n\n")
      set(open "\n -- ${BRIMVALE_MAINTAINER}  ${date}\n\n")
    elseif(line MATCHES "^- (.*)")
      string(APPEND text "  * ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  +(.*)" AND NOT open STREQUAL "")
      string(APPEND text "    ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  string(APPEND text "${open}")
  string(REGEX REPLACE "\n\n$" "\n" text "${text}")
  file(WRITE ${out} "${text}")
endfunction()
# Made at configure time, like the changelog itself: every install rule needs only the program's
# own target or what configuring made, so `cmake --install` works after any build (./play builds
# the program alone).
set(BRIMVALE_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
brimvale_debian_changelog(${BRIMVALE_PACKAGING_OUT}/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
execute_process(COMMAND gzip -9nc ${BRIMVALE_PACKAGING_OUT}/changelog
  OUTPUT_FILE ${BRIMVALE_PACKAGING_OUT}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${BRIMVALE_PACKAGING_OUT}/changelog.gz DESTINATION share/doc/brimvale)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brimvale)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quilon::VOK")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "real-time audiovisual demo with its own soundtrack")
set(CPACK_PACKAGE_DESCRIPTION
"Brimvale is a 124-second show of 3-D and 2-D scenes played to its own\n\
soundtrack and drawn with OpenGL 1.1 fixed-function calls. Nobody steers\n\
it: it asks whether to play full screen, plays, and closes itself.\n\
.\n\
It shows a group logo, a title over rising rings, a pulsing mesh, an\n\
articulated character acting through a sequence of camera moves, a typed\n\
assembly listing, a flight through a glowing wire tunnel with an arcade\n\
chase, typed credits and a greetings scroller. Besides playing live it can\n\
write single frames as PNG, capture the whole show to a video with ffmpeg,\n\
and measure its own frame times.")
set(CPACK_PACKAGE_CONTACT "${BRIMVALE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS ffmpeg)
set(CPACK_STRIP_FILES ON)
# The package lays the tree out under /usr; strict permissions keep lintian quiet on the control files.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
