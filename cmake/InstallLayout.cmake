# Where the suite's files go below the install prefix; shared by the install
# rules and by the programs that find their data relative to themselves.
# Programs a person does not type live in their own libexec folder, so that
# nothing with a generic name lands on PATH.
include(GNUInstallDirs)
set(HALVORIN_PROGRAM_DIR "${CMAKE_INSTALL_LIBEXECDIR}/halvorin")
set(HALVORIN_INSTALL_DATADIR "${CMAKE_INSTALL_DATADIR}/halvorin")
set(HALVORIN_UNINSTALLER_DATADIR "${HALVORIN_INSTALL_DATADIR}/Uninstaller")
set(HALVORIN_PANE_DIR "${CMAKE_INSTALL_LIBDIR}/halvorin/panes")
