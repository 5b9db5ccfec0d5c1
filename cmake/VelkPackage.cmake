# The Debian package of the stand: the hardware build (component "hardware")
# of Velk_STM_Tool and Velk_Flasher, stripped, in the stand's working
# directory /opt/velk-stand. `cpack --preset armhf` (or `cmake --build
# build-armhf --target package`) writes velk-stand_<version>_armhf.deb.
#
# The stand program runs its helpers by fixed relative command lines from its
# working directory ("sudo ./Velk_Flasher ...", "./proj/stlink-repo/build/
# Release/st-flash ...", "./Sendrik/Sendrik"), so both programs are installed
# side by side there (the armhf preset installs programs to the prefix itself,
# CMAKE_INSTALL_BINDIR "."), and beside them the st-flash path is a link to
# Debian's stlink-tools. The images, the tone, the uploader and the dump are
# the stand's own files.
if(NOT TARGET Velk_STM_Tool_hw)
  return()
endif()

set(st_flash_dir ${CMAKE_INSTALL_BINDIR}/proj/stlink-repo/build/Release)
file(CREATE_LINK /usr/bin/st-flash ${CMAKE_CURRENT_BINARY_DIR}/st-flash SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/st-flash DESTINATION ${st_flash_dir} COMPONENT hardware EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velk-stand)
set(CPACK_PACKAGE_CONTACT "Velk stand team <stand@velk.local>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Production test stand for Velk shields (Raspberry Pi)")
set(CPACK_PACKAGE_DESCRIPTION "Velk_STM_Tool, the operator's test program (shield link over SPI, input, relay,
line, ADC and audio checks, report and upload), and Velk_Flasher, the shield's
SPI bootloader and firmware updater, for the stand's Raspberry Pi. Run as root
from /opt/velk-stand, which also holds the firmware images and the test tone.")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/velk-stand)
# One package of that component only (without this, the default install: the simulated stand's).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL hardware)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The bcm2835 library is linked statically; glibc 2.34 is the newest symbol
# version the programs use. aplay and arecord (alsa-utils) for the audio check,
# sudo for the flasher, st-flash (stlink-tools) for the dump, SQLite for the
# pass database (3.31: files opened without following a link).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6, libgcc-s1, libsqlite3-0 (>= 3.31), alsa-utils, sudo, stlink-tools")
if(CMAKE_LIBRARY_ARCHITECTURE STREQUAL "arm-linux-gnueabihf")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)  # else the machine's own, from dpkg
endif()
include(CPack)
