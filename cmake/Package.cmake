# The Debian package, made by CPack's DEB generator from the install rules
# above (one description of the installed tree serves `cmake --install` and
# the package):
#   cmake --build build --target package   ->  build/dvd-zento_<version>_amd64.deb
# The package's depends are those dpkg-shlibdeps computes from the linked
# libraries, plus the encoder, a Japanese font and Qt's translations, which
# the program uses without linking them.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dvd-zento)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "DVD変換Zento developers <dvd-zento@example.org>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.dvd-zento.example/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, fonts-ipafont-gothic | fonts-japanese-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the synopsis, the others the extended description (CPack
# indents them; an empty line separates paragraphs).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [[convert the titles of a DVD-Video folder into video files
DVD変換Zento is a desktop program with a Japanese user interface that turns
the title files of a DVD-Video disc or folder (VIDEO_TS/VTS_*.VOB) into
ordinary video files (MP4, AVI, 3GP, WMV, FLV and more). Every conversion
is a run of the encoder ffmpeg with a command line composed from presets or
from options set by hand; a small window shows a thumbnail and the progress.

Each user's settings and stored presets are kept in ~/.config/dvd-zento;
the converted files go to the user's video folder unless another is chosen.]])

# File times in the package: the date of this version, unless the builder
# sets its own (SOURCE_DATE_EPOCH), so that a rebuild gives the same bytes.
set(ZENTO_RELEASE_EPOCH 1796688000) # the date of the changelog's entry
configure_file(${PROJECT_SOURCE_DIR}/cmake/PackageOptions.cmake.in ${PROJECT_BINARY_DIR}/PackageOptions.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/PackageOptions.cmake)

# Relocations read-only once loaded, as Debian links its programs.
if(NOT ZENTO_SANITIZE AND NOT ZENTO_BUILD_FUZZ)
  target_link_options(DVD_zento PRIVATE -Wl,-z,relro -Wl,-z,now)
endif()

include(CPack)
