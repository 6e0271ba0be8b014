# The Debian package: `make deb`, or `cpack -G DEB` in build/, gives
# build/telvane_<version>_<arch>.deb with everything `cmake --install` puts
# under /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Telvane developers <telvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "narrow-band television over a radio's audio channel")
set(CPACK_PACKAGE_DESCRIPTION
    "Telvane sends 80 x 60 grey pictures of live video over an ordinary audio
channel, for amateur-radio experiments in narrow-band television (NBTV).
The desktop program telvane holds both halves of a station: it sends the
newest camera picture through the sound card, keying the radio with a serial
port's RTS and DTR lines, and shows the picture it receives. The
command-line tool telvane-cli encodes images into transmissions and decodes
recordings into pictures, and fed from a sound card runs a headless
receiving station.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link, found by dpkg-shlibdeps (dpkg-dev). Qt's
# platform, image format and multimedia plugins come with the libraries that
# load them (libqt6gui6, libqt6multimedia6).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's GStreamer media backend finds and opens V4L2 cameras through these
# plugins; without them only the built-in test card is offered.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-good")
# parec and paplay: a headless station with telvane-cli.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pulseaudio-utils")

include(CPack)
