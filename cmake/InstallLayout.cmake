# Where the suite's files go below the install prefix; shared by the install
# rules and by the programs that find their data relative to themselves.
include(GNUInstallDirs)
set(HALVORIN_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/halvorin")
set(HALVORIN_UNINSTALLER_DATADIR "${HALVORIN_INSTALL_DATADIR}/Uninstaller")
set(HALVORIN_PANE_DIR "${CMAKE_INSTALL_LIBDIR}/halvorin/panes")
