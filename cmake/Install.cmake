# Install rules for the deliverables this tree builds, each only if its target
# exists, so the file works whichever parts are present. The platform
# libraries are static and are not installed.
#
# The last rule writes the uninstaller's "uninstall.sh" from the files this
# very install put in place, so the script removes exactly those (and the
# folders the install created, when they are empty) and nothing else.
include("${CMAKE_CURRENT_LIST_DIR}/InstallLayout.cmake")

set(HALVORIN_AGENT_UNIT_DIR "lib/systemd/user")
set(HALVORIN_AGENT_UNIT "halvorin-agent.service")

# The driver host is a system service: its unit, udev rule, modules-load
# entry, D-Bus files and polkit actions go where the system daemons read them
# (see InstallSteps.cmake).
if(TARGET halvorin-driverd)
  set(HALVORIN_DRIVER_HOST_FILES "${PROJECT_SOURCE_DIR}/Project/Platform/DriverHost/system")
  math(EXPR halvorin_vendor_hex "${HALVORIN_VENDOR_ID}" OUTPUT_FORMAT HEXADECIMAL)
  string(REGEX REPLACE "^0x" "" halvorin_vendor_hex "${halvorin_vendor_hex}")
  string(TOLOWER "${halvorin_vendor_hex}" halvorin_vendor_hex)
  string(LENGTH "${halvorin_vendor_hex}" length)
  while(length LESS 4)
    string(PREPEND halvorin_vendor_hex "0")
    math(EXPR length "${length} + 1")
  endwhile()
  set(HALVORIN_VENDOR_HEX "${halvorin_vendor_hex}")
endif()

# Folders the rules below install into; the ones missing before the install
# are recorded so the uninstall script can remove them again.
set(halvorin_install_destinations "")

macro(halvorin_install_targets destination_var)
  foreach(target IN ITEMS ${ARGN})
    if(TARGET ${target})
      install(TARGETS ${target}
              RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}"
              LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
              ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}")
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "EXECUTABLE")
        list(APPEND ${destination_var} "${CMAKE_INSTALL_BINDIR}")
      else()
        list(APPEND ${destination_var} "${CMAKE_INSTALL_LIBDIR}")
      endif()
    endif()
  endforeach()
endmacro()

set(halvorin_step_settings
  "set(HALVORIN_TEMPLATE_DIR \"${CMAKE_CURRENT_LIST_DIR}\")
   set(HALVORIN_WORK_DIR \"${CMAKE_BINARY_DIR}/halvorin-install\")
   set(HALVORIN_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
   set(HALVORIN_DATADIR \"${HALVORIN_INSTALL_DATADIR}\")
   set(HALVORIN_UNINSTALLER_DATADIR \"${HALVORIN_UNINSTALLER_DATADIR}\")
   set(HALVORIN_AGENT_UNIT_DIR \"${HALVORIN_AGENT_UNIT_DIR}\")
   set(HALVORIN_AGENT_UNIT \"${HALVORIN_AGENT_UNIT}\")
   set(HALVORIN_DRIVER_HOST_FILES \"${HALVORIN_DRIVER_HOST_FILES}\")
   set(HALVORIN_VENDOR_HEX \"${HALVORIN_VENDOR_HEX}\")")

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

halvorin_install_targets(halvorin_install_destinations
  OrvandelDriver DriverDemo HalvorinAgent SimulationHost Uninstaller Preferences
  halvorin-driverd halvorinctl)

# The preference pane's plugin, and the host's menu entry and icon.
if(TARGET OrvandelPane)
  set(pane_source "${PROJECT_SOURCE_DIR}/Project/Driver/PrefPane")
  set(icon_dir "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
  install(TARGETS OrvandelPane LIBRARY DESTINATION "${HALVORIN_PANE_DIR}")
  install(FILES "${pane_source}/Host/halvorin-preferences.desktop"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
  install(FILES "${pane_source}/Pictures/sixbuttonmouse.svg" RENAME halvorin-preferences.svg
          DESTINATION "${icon_dir}")
  list(APPEND halvorin_install_destinations "${HALVORIN_PANE_DIR}"
       "${CMAKE_INSTALL_DATADIR}/applications" "${icon_dir}")
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
