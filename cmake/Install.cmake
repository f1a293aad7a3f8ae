# Install rules for the deliverables this tree builds, each only if its target
# exists, so the file works whichever parts are present. The platform
# libraries and the driver library are static and are not installed.
#
# The last rule writes the uninstaller's "uninstall.sh": for a source install,
# from the files this very install put in place, so the script removes exactly
# those (and the folders the install created, when they are empty) and nothing
# else; for the Debian packages, one that removes the packages through the
# package manager.
include("${CMAKE_CURRENT_LIST_DIR}/InstallLayout.cmake")

option(HALVORIN_DEBIAN_PACKAGES
       "Install for the Debian packages: the uninstall script removes the packages" OFF)

set(HALVORIN_AGENT_UNIT_DIR "lib/systemd/user")
set(HALVORIN_AGENT_UNIT "halvorin-agent.service")
set(HALVORIN_WORK_DIR "${CMAKE_BINARY_DIR}/halvorin-install")

# The machine's configuration file, commented out: the build's vendor id holds
# until an administrator sets another.
math(EXPR halvorin_vendor_hex "${HALVORIN_VENDOR_ID}" OUTPUT_FORMAT HEXADECIMAL)
string(REGEX REPLACE "^0x" "" halvorin_vendor_hex "${halvorin_vendor_hex}")
string(TOLOWER "${halvorin_vendor_hex}" halvorin_vendor_hex)
string(LENGTH "${halvorin_vendor_hex}" length)
while(length LESS 4)
  string(PREPEND halvorin_vendor_hex "0")
  math(EXPR length "${length} + 1")
endwhile()
set(HALVORIN_VENDOR_HEX "0x${halvorin_vendor_hex}")
configure_file("${PROJECT_SOURCE_DIR}/Project/Platform/Configuration/halvorin.conf.in"
               "${HALVORIN_WORK_DIR}/halvorin.conf" @ONLY)

# The driver host is a system service: its unit, udev rule, modules-load
# entry, D-Bus files, polkit actions and the configuration file go where the
# system daemons read them (see InstallSteps.cmake).
if(TARGET halvorin-driverd)
  set(HALVORIN_DRIVER_HOST_FILES "${PROJECT_SOURCE_DIR}/Project/Platform/DriverHost/system")
endif()

# Folders the rules below install into; the ones missing before the install
# are recorded so the uninstall script can remove them again.
set(halvorin_install_destinations "")

set(halvorin_step_settings
  "set(HALVORIN_TEMPLATE_DIR \"${CMAKE_CURRENT_LIST_DIR}\")
   set(HALVORIN_WORK_DIR \"${HALVORIN_WORK_DIR}\")
   set(HALVORIN_PROGRAM_DIR \"${HALVORIN_PROGRAM_DIR}\")
   set(HALVORIN_DATADIR \"${HALVORIN_INSTALL_DATADIR}\")
   set(HALVORIN_APPLICATIONS_DIR \"${CMAKE_INSTALL_DATADIR}/applications\")
   set(HALVORIN_UNINSTALLER_DATADIR \"${HALVORIN_UNINSTALLER_DATADIR}\")
   set(HALVORIN_AGENT_UNIT_DIR \"${HALVORIN_AGENT_UNIT_DIR}\")
   set(HALVORIN_AGENT_UNIT \"${HALVORIN_AGENT_UNIT}\")
   set(HALVORIN_DRIVER_HOST_FILES \"${HALVORIN_DRIVER_HOST_FILES}\")
   set(HALVORIN_PANE_SOURCE \"${PROJECT_SOURCE_DIR}/Project/Driver/PrefPane\")
   set(HALVORIN_DEBIAN_PACKAGES ${HALVORIN_DEBIAN_PACKAGES})")

# A rule that takes one step of InstallSteps.cmake at install time.
function(halvorin_install_step step)
  install(CODE "${halvorin_step_settings}
    include(\"${CMAKE_BINARY_DIR}/halvorin-install/destinations.cmake\")
    set(HALVORIN_INSTALL_STEP ${step})
    include(\"${CMAKE_CURRENT_FUNCTION_LIST_DIR}/InstallSteps.cmake\")")
endfunction()

# First rule: note which destination folders exist yet. The list is only
# known once every rule is declared, so it is read from a file written below.
halvorin_install_step(begin)

foreach(program IN ITEMS HalvorinAgent Preferences Uninstaller halvorin-driverd SimulationHost
                         DriverDemo)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION "${HALVORIN_PROGRAM_DIR}")
    list(APPEND halvorin_install_destinations "${HALVORIN_PROGRAM_DIR}")
  endif()
endforeach()

# The command-line client is typed by people: it goes on PATH, under a name
# of its own.
if(TARGET halvorinctl)
  install(TARGETS halvorinctl RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  list(APPEND halvorin_install_destinations "${CMAKE_INSTALL_BINDIR}")
endif()

# The simulation host's example scenarios, with their golden output.
if(TARGET SimulationHost)
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/"
          DESTINATION "${HALVORIN_INSTALL_DATADIR}/examples")
  list(APPEND halvorin_install_destinations "${HALVORIN_INSTALL_DATADIR}/examples")
endif()

# The preference pane's plugin, and the host's menu entry, icon and software
# centre description (the entry names the program's installed path).
if(TARGET OrvandelPane)
  set(pane_source "${PROJECT_SOURCE_DIR}/Project/Driver/PrefPane")
  set(icon_dir "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
  install(TARGETS OrvandelPane LIBRARY DESTINATION "${HALVORIN_PANE_DIR}")
  install(FILES "${pane_source}/Pictures/sixbuttonmouse.svg" RENAME halvorin-preferences.svg
          DESTINATION "${icon_dir}")
  install(FILES "${pane_source}/Host/org.halvorin.preferences.metainfo.xml"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
  list(APPEND halvorin_install_destinations "${HALVORIN_PANE_DIR}"
       "${CMAKE_INSTALL_DATADIR}/applications" "${icon_dir}" "${CMAKE_INSTALL_DATADIR}/metainfo")
  halvorin_install_step(desktop-entry)
endif()

# The command-line client's manual page and bash completion.
if(TARGET halvorinctl)
  set(ctl_source "${PROJECT_SOURCE_DIR}/Project/Tools/halvorinctl")
  set(completion_dir "${CMAKE_INSTALL_DATADIR}/bash-completion/completions")
  install(FILES "${ctl_source}/halvorinctl.1" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
  install(FILES "${ctl_source}/halvorinctl.bash-completion" RENAME halvorinctl
          DESTINATION "${completion_dir}")
  list(APPEND halvorin_install_destinations "${CMAKE_INSTALL_MANDIR}/man1" "${completion_dir}")
endif()

# The agent runs in each user's graphical session as a systemd user unit,
# enabled for all users when installed where systemd finds user units.
if(TARGET HalvorinAgent)
  list(APPEND halvorin_install_destinations "${HALVORIN_AGENT_UNIT_DIR}")
  halvorin_install_step(agent-unit)
endif()

if(TARGET halvorin-driverd)
  halvorin_install_step(driver-host)
endif()

if(TARGET Uninstaller)
  list(APPEND halvorin_install_destinations "${HALVORIN_UNINSTALLER_DATADIR}")
  halvorin_install_step(uninstall-script)
endif()

list(REMOVE_DUPLICATES halvorin_install_destinations)
file(CONFIGURE OUTPUT "${CMAKE_BINARY_DIR}/halvorin-install/destinations.cmake"
     CONTENT "set(HALVORIN_INSTALL_DESTINATIONS \"${halvorin_install_destinations}\")\n")
