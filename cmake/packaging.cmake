# Installing like a Linux program, and the Debian package.
#
# cmake --install lays out, under the prefix:
#   bin/kestrelfind, bin/kestrel                     the programs (RUNPATH $ORIGIN/../lib)
#   lib/libkestrelfind.so, lib/liblanguages.so        the engine and the text library
#   share/kestrelfind/languages/*.lang               the texts (found by the text library from lib/)
#   share/kestrelfind/Images/*.png                   the pictures (found by the program from bin/)
#   share/applications/kestrelfind.desktop           the entry of the desktop's application menu
#   share/icons/hicolor/256x256/apps/kestrelfind.png the program's icon
# The other targets install their own files; this adds the desktop entry and the icon.
#
# cpack -G DEB in the build folder (make deb) packs the same layout under /usr. Its dependencies come
# from dpkg-shlibdeps (package dpkg-dev) over the programs and libraries.
include(GNUInstallDirs)

if(KESTREL_WITH_QT AND KESTREL_WITH_GUI)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/kestrelfind.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${PROJECT_SOURCE_DIR}/Images/kestrelfind.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
endif()

set(CPACK_PACKAGE_NAME kestrelfind)
set(CPACK_PACKAGE_VENDOR "Brindleco")
set(CPACK_PACKAGE_CONTACT "Brindleco <support@brindleco.example>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file-name search as you type")
set(CPACK_PACKAGE_DESCRIPTION
    "Kestrel Find is a small search box at the bottom right of the screen. As you type, a drop-down lists every file and folder on the local disks whose name matches, filtered by category (shortcuts, folders, documents, pictures, videos, music). It keeps its own index of the file names up to date as files change. The package also holds kestrel, the same search on the command line.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brindleco.example/products/utilities/kestrel-find/")
# The shared libraries the programs and libraries need, each with its package and version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What no library names: icons for file types when the desktop has no theme of its own, the program
# that opens web pages, and a font for the Chinese texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme, xdg-utils, fonts-noto-cjk | fonts-wqy-microhei")
include(CPack)
