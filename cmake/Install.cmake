# Installation: the programs in bin/, the data files of build/app in share/vistrel, the
# desktop entry, the icon in every size desktops ask for, the manual pages, the photo-frame
# unit; and the Debian package built from the same rules by CPack.

# Icons: drawn once as SVG, rendered to PNG at build time.
set(VISTREL_ICON_SVG ${PROJECT_SOURCE_DIR}/packaging/vistrel.svg)
set(VISTREL_ICON_SIZES 16 22 24 32 48 64 128 256)
find_program(VISTREL_RSVG_CONVERT rsvg-convert)
set(VISTREL_ICON_OUTPUTS)
if(VISTREL_RSVG_CONVERT)
  foreach(size IN LISTS VISTREL_ICON_SIZES)
    set(folder ${CMAKE_BINARY_DIR}/icons/${size}x${size})
    add_custom_command(OUTPUT ${folder}/vistrel.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${VISTREL_RSVG_CONVERT} -w ${size} -h ${size} ${VISTREL_ICON_SVG}
              -o ${folder}/vistrel.png
      DEPENDS ${VISTREL_ICON_SVG}
      COMMENT "Rendering the ${size}x${size} icon")
    list(APPEND VISTREL_ICON_OUTPUTS ${folder}/vistrel.png)
    install(FILES ${folder}/vistrel.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert (librsvg2-bin) not found: only the scalable icon is installed")
endif()
add_custom_target(vistrel_icons ALL DEPENDS ${VISTREL_ICON_OUTPUTS})
install(FILES ${VISTREL_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages: the page text with each program's own --help in it.
set(VISTREL_MAN_OUTPUTS)
foreach(program vistrel vistrel-tool)
  set(page ${PROJECT_SOURCE_DIR}/packaging/man/${program}.1.in)
  set(out ${CMAKE_BINARY_DIR}/man/${program}.1)
  add_custom_command(OUTPUT ${out} ${out}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/make_man.sh $<TARGET_FILE:${program}> ${page}
            ${out} ${PROJECT_VERSION}
    COMMAND gzip -9nf -k ${out}
    DEPENDS ${program} ${page} ${PROJECT_SOURCE_DIR}/scripts/make_man.sh
    COMMENT "Writing the manual page of ${program}")
  list(APPEND VISTREL_MAN_OUTPUTS ${out} ${out}.gz)
  install(FILES ${out}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(vistrel_man ALL DEPENDS ${VISTREL_MAN_OUTPUTS})

install(TARGETS vistrel vistrel-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Everything the build put beside the program except the programs themselves and the files
# a run there writes.
install(DIRECTORY ${VISTREL_APP_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vistrel
  PATTERN "vistrel" EXCLUDE
  PATTERN "vistrel-tool" EXCLUDE
  PATTERN "folders.ini*" EXCLUDE
  PATTERN "!vistrelcache" EXCLUDE
  PATTERN "*.tmp" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vistrel.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(VISTREL_BINDIR ${CMAKE_INSTALL_FULL_BINDIR})
configure_file(${PROJECT_SOURCE_DIR}/packaging/vistrel-frame@.service.in
  ${CMAKE_BINARY_DIR}/packaging/vistrel-frame@.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/vistrel-frame@.service
  DESTINATION lib/systemd/system)

# The copyright notice and the change log every Debian package carries.
set(VISTREL_MAINTAINER "Vistrel developers <vistrel@example.org>" CACHE STRING
  "Maintainer named in the package, its copyright file and its change log")
set(VISTREL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/vistrel)
configure_file(${PROJECT_SOURCE_DIR}/packaging/copyright.in
  ${CMAKE_BINARY_DIR}/packaging/copyright @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in
  ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/packaging/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  COMMENT "Compressing the package change log")
add_custom_target(vistrel_package_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DESTINATION ${VISTREL_DOC_DIR})

# The Debian package: cmake --build build --target package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VISTREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "skinned photo browser and viewer")
set(CPACK_PACKAGE_DESCRIPTION
  "Vistrel finds the pictures in your pictures folder and on memory cards
(JPEG, PNG, GIF, WebP, HEIF, AVIF, JPEG XL, TIFF and camera RAW), shows each
folder as an album, and builds a cache file per picture so that thumbnails
and any part of a picture at any zoom show at once. It also runs as a photo
frame on a frame buffer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from what the programs link (dpkg-shlibdeps), the font by name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
