# The Debian package (`make package`): CPack installs the install rules'
# tree under /usr and wraps it, its dependencies computed from the binaries
# by dpkg-shlibdeps. It must pass lintian without errors (tests/install).

if(NOT TARGET install-files)
  return()
endif()

set(TARVEL_PACKAGE_MAINTAINER "Tarvel developers <tarvel@example.org>" CACHE STRING
    "The Maintainer of the Debian package (name <address>)")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tarvel")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "six-voice wavetable synthesizer: application and plug-ins")
# The extended description; CPack puts the summary above it and indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarvel is a polyphonic synthesizer: six voices of two wavetable oscillators
over nine band-limited waves, ring modulation, a saturator, a four-mode
state-variable filter, two envelopes and two tempo-syncable LFOs through a
modulation matrix, and a global chain of bit and rate reduction, phaser,
chorus and delay. Its 32 programs can each hold a recorded knob motion per
parameter that replays on every note.

This package holds the instrument as LV2, VST3, CLAP and VST 2.4 plug-ins,
the standalone application tarvel for JACK (and PipeWire through its JACK
support), the command-line host tarvel-host, the factory bank, a demo song
and the manual.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVEL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "jackd2 | pipewire-jack")
# CPack adds maintainer scripts that run ldconfig whenever a shared object
# lies anywhere below /usr/lib; plug-ins are not in the linker's path, and
# the package needs no scripts at all.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/packaging/DropMaintainerScripts.cmake)
include(CPack)
