# Where `cmake --install` puts Vistrel, and the packages CPack makes of it
# (scripts/package.sh, `make package`, builds one of each):
#
#   build channel "package"  a Debian package installing into /usr
#   build channel "release"  vistrel-<version>-linux-<arch>.tar.xz: one folder, vistrel/, with the program
#                            at vistrel/bin/vistrel and its signature beside it; the folder updates itself
#   build channel "local"    the same archive, unsigned and not self-updating, to look at
#
# The program finds its text-recognition module at ../lib/vistrel/ from its own folder, in both layouts.
install(TARGETS vistrel RUNTIME DESTINATION bin)
install(TARGETS vistrel-ocr LIBRARY DESTINATION lib/vistrel)
# KWin takes screenshots (org.kde.KWin.ScreenShot2) only for a program whose installed desktop file
# lists the interface and names the program by its absolute path: the package's entry does; a copy
# unpacked from the archive, which cannot know its folder in advance, writes its own on KDE Plasma.
# The same entry grants KWin's fake input (X-KDE-Wayland-Interfaces), the wheel of scrolling capture.
file(READ ${PROJECT_SOURCE_DIR}/packaging/vistrel.desktop desktop_entry)
if(VISTREL_CHANNEL STREQUAL "package")
  string(REPLACE "\nExec=vistrel\n" "\nExec=/usr/bin/vistrel\n" desktop_entry "${desktop_entry}")
endif()
file(WRITE ${PROJECT_BINARY_DIR}/packaging/vistrel.desktop "${desktop_entry}")
install(FILES ${PROJECT_BINARY_DIR}/packaging/vistrel.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/update/Brand/VistrelMark.svg
        DESTINATION share/icons/hicolor/scalable/apps RENAME vistrel.svg)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION share/doc/vistrel)
# The GNOME Shell extension that moves windows on GNOME, in both variants (GNOME Shell 43-44, 45 and
# later): the package links the one of the installed GNOME Shell into the system's extensions folder
# (packaging/deb); from the archive the program copies the one of the running Shell into the user's
# extensions folder on first use (it finds them at ../share/vistrel/ from its folder).
foreach(variant IN LISTS VISTREL_GNOME_EXTENSION_VARIANTS)
  install(DIRECTORY ${VISTREL_GNOME_EXTENSIONS}/${variant}/vistrel@vistrel.app
          DESTINATION share/vistrel/gnome-shell-extension/${variant})
endforeach()

if(VISTREL_CHANNEL STREQUAL "release")
  # Only a folder with this marker is ever replaced by an update.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/self-update DESTINATION share/vistrel)
  # The program is signed as installed, with the secret key named when the package is made.
  install(CODE "
    set(key \"\$ENV{VISTREL_SIGNING_KEY}\")
    if(NOT key)
      message(FATAL_ERROR \"A release installs a signed program: set VISTREL_SIGNING_KEY to the release key's secret key file.\")
    endif()
    execute_process(COMMAND \"$<TARGET_FILE:vistrel-sign>\" sign-executable \"\${key}\"
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/vistrel\"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR \"vistrel-sign could not sign the program\")
    endif()
  ")
endif()

set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VENDOR "The Vistrel developers")
set(CPACK_PACKAGE_CONTACT "The Vistrel developers <developers@vistrel.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Window layout and screen capture from the tray")
set(CPACK_PACKAGE_DESCRIPTION "Vistrel lives in the tray of an X11 desktop. Global shortcuts snap the window\n\
in front to halves, quarters and thirds of the screen; others capture the\n\
screen, an area, a window or a scrolling page to the clipboard and a file,\n\
record the screen, and read text and QR codes.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vistrel.app")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright)
set(CPACK_PACKAGE_CHECKSUM SHA256)
if(VISTREL_CHANNEL STREQUAL "package")
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # Library dependencies come from dpkg-shlibdeps; the English model is data the reading module loads.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "tesseract-ocr-eng")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/deb/postinst
      ${PROJECT_SOURCE_DIR}/packaging/deb/prerm ${PROJECT_SOURCE_DIR}/packaging/deb/triggers)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
else()
  set(CPACK_GENERATOR TXZ)
  set(CPACK_PACKAGE_FILE_NAME "vistrel-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX /vistrel)
endif()
include(CPack)
