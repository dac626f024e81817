# Installation: a complete program folder (the program keeps its presets and
# settings beside itself), a launcher on PATH, and the desktop entry with its
# icon.
#   <prefix>/lib/dvd-zento/          DVD_zento, profile.txt, Readme.txt
#   <prefix>/bin/dvd-zento           -> ../lib/dvd-zento/DVD_zento
#   <prefix>/share/applications/dvd-zento.desktop
#   <prefix>/share/icons/hicolor/scalable/apps/dvd-zento.svg
# The settings and a stored preset are written into the program folder, so a
# user installs where they can write, for example --prefix ~/.local.

set(ZENTO_INSTALL_PROGRAM_DIR lib/dvd-zento)

install(TARGETS DVD_zento RUNTIME DESTINATION ${ZENTO_INSTALL_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/profile.txt ${CMAKE_SOURCE_DIR}/data/Readme.txt
        DESTINATION ${ZENTO_INSTALL_PROGRAM_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/dvd-zento.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/dvd-zento.svg DESTINATION share/icons/hicolor/scalable/apps)

# The launcher is a relative link: the program takes its folder from its own
# resolved path, so it finds profile.txt in lib/dvd-zento, not in bin, and the
# installed tree can be moved as a whole.
install(CODE [[
  set(zento_bin "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin")
  file(MAKE_DIRECTORY "${zento_bin}")
  file(REMOVE "${zento_bin}/dvd-zento")
  file(CREATE_LINK ../lib/dvd-zento/DVD_zento "${zento_bin}/dvd-zento" SYMBOLIC)
  message(STATUS "Installing: ${zento_bin}/dvd-zento")
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${zento_bin}/dvd-zento")
]])
