# Runs at install time, included by the rules of Install.cmake with
# HALVORIN_INSTALL_STEP set to the step to take:
#   begin             notes the destination folders that do not exist yet
#   desktop-entry     installs the preference pane's menu entry
#   agent-unit        installs the agent's systemd user unit
#   driver-host       installs the driver host's unit, udev rule, modules-load
#                     entry, D-Bus policy and service file, polkit actions and
#                     the machine's configuration file
#   uninstall-script  writes and installs uninstall.sh: from the files installed
#                     so far, or for the Debian packages one that removes them
# Paths given to the uninstall script are the final ones, without DESTDIR
# (which file(INSTALL) adds by itself).

cmake_policy(VERSION 3.25)

set(halvorin_prefix "${CMAKE_INSTALL_PREFIX}")
# Where systemd looks for user units.
set(systemd_user_unit_dirs /etc/systemd/user /usr/lib/systemd/user /usr/local/lib/systemd/user
    /lib/systemd/user)
set(halvorin_root "$ENV{DESTDIR}")

# Single-quoted for sh: every character stands for itself.
function(halvorin_shell_quote out text)
  string(REPLACE "'" "'\\''" text "${text}")
  set(${out} "'${text}'" PARENT_SCOPE)
endfunction()

# The folders the system daemons read the driver host's files from. They sit
# below the system root that holds the prefix (/usr, /usr/local or
# /opt/<name> below it), so that the daemons find the files whatever the
# prefix; a prefix elsewhere keeps them below itself (a staging area).
function(halvorin_driver_host_dirs)
  set(root "${halvorin_prefix}")
  set(etc "${halvorin_prefix}/lib")
  set(share "${halvorin_prefix}/share")
  if(halvorin_prefix MATCHES "^(.*)/usr$")
    set(root "${CMAKE_MATCH_1}")
    set(etc "${root}/usr/lib")
    set(share "${root}/usr/share")
  elseif(halvorin_prefix MATCHES "^(.*)/(usr/local|opt/[^/]+)$")
    set(root "${CMAKE_MATCH_1}")
    set(etc "${root}/etc")
    set(share "${root}/usr/local/share")
  endif()
  set(HALVORIN_HOST_UNIT_DIR "${etc}/systemd/system" PARENT_SCOPE)
  set(HALVORIN_HOST_UDEV_DIR "${etc}/udev/rules.d" PARENT_SCOPE)
  set(HALVORIN_HOST_MODULES_DIR "${etc}/modules-load.d" PARENT_SCOPE)
  if(etc STREQUAL "${root}/etc")
    set(HALVORIN_HOST_POLICY_DIR "${root}/etc/dbus-1/system.d" PARENT_SCOPE)
  else()
    set(HALVORIN_HOST_POLICY_DIR "${share}/dbus-1/system.d" PARENT_SCOPE)
  endif()
  set(HALVORIN_HOST_ACTIVATION_DIR "${share}/dbus-1/system-services" PARENT_SCOPE)
  # The programs read the configuration from the one system folder.
  set(HALVORIN_HOST_CONFIG_DIR "${root}/etc/halvorin" PARENT_SCOPE)
  # polkit reads its actions from one folder only.
  if(root STREQUAL halvorin_prefix)
    set(HALVORIN_HOST_POLKIT_DIR "${share}/polkit-1/actions" PARENT_SCOPE)
  else()
    set(HALVORIN_HOST_POLKIT_DIR "${root}/usr/share/polkit-1/actions" PARENT_SCOPE)
  endif()
  set(HALVORIN_HOST_DIR_VARS HALVORIN_HOST_UNIT_DIR HALVORIN_HOST_UDEV_DIR
      HALVORIN_HOST_MODULES_DIR HALVORIN_HOST_POLICY_DIR HALVORIN_HOST_ACTIVATION_DIR
      HALVORIN_HOST_POLKIT_DIR HALVORIN_HOST_CONFIG_DIR PARENT_SCOPE)
endfunction()

if(HALVORIN_INSTALL_STEP STREQUAL "begin")
  # A staged install (DESTDIR) cannot tell which folders the target system
  # lacks, so then only the suite's own data folders count as its own.
  set(HALVORIN_CREATED_DIRS "")
  if(halvorin_root)
    return()
  endif()
  foreach(destination IN LISTS HALVORIN_INSTALL_DESTINATIONS)
    set(dir "${destination}")
    while(dir)
      if(NOT IS_DIRECTORY "${halvorin_root}${halvorin_prefix}/${dir}")
        list(APPEND HALVORIN_CREATED_DIRS "${halvorin_prefix}/${dir}")
      endif()
      get_filename_component(dir "${dir}" DIRECTORY)
    endwhile()
  endforeach()
  if(NOT IS_DIRECTORY "${halvorin_root}${halvorin_prefix}")
    list(APPEND HALVORIN_CREATED_DIRS "${halvorin_prefix}")
  endif()
  if(HALVORIN_DRIVER_HOST_FILES)
    halvorin_driver_host_dirs()
    foreach(var IN LISTS HALVORIN_HOST_DIR_VARS)
      set(dir "${${var}}")
      while(NOT IS_DIRECTORY "${halvorin_root}${dir}")
        list(APPEND HALVORIN_CREATED_DIRS "${dir}")
        get_filename_component(dir "${dir}" DIRECTORY)
      endwhile()
    endforeach()
  endif()
  # Installing again: the folders the earlier install made are still its own.
  set(previous_script "${halvorin_prefix}/${HALVORIN_UNINSTALLER_DATADIR}/uninstall.sh")
  if(EXISTS "${previous_script}")
    set(folder_line "^remove_folder_if_empty '([^']*)'$")
    file(STRINGS "${previous_script}" previous_folders REGEX "${folder_line}")
    foreach(line IN LISTS previous_folders)
      string(REGEX REPLACE "${folder_line}" "\\1" folder "${line}")
      list(APPEND HALVORIN_CREATED_DIRS "${folder}")
    endforeach()
  endif()
  list(REMOVE_DUPLICATES HALVORIN_CREATED_DIRS)

elseif(HALVORIN_INSTALL_STEP STREQUAL "desktop-entry")
  set(HALVORIN_PREFERENCES_PATH "${halvorin_prefix}/${HALVORIN_PROGRAM_DIR}/Preferences")
  configure_file("${HALVORIN_PANE_SOURCE}/Host/halvorin-preferences.desktop.in"
                 "${HALVORIN_WORK_DIR}/halvorin-preferences.desktop" @ONLY)
  file(INSTALL "${HALVORIN_WORK_DIR}/halvorin-preferences.desktop"
       DESTINATION "${halvorin_prefix}/${HALVORIN_APPLICATIONS_DIR}")

elseif(HALVORIN_INSTALL_STEP STREQUAL "agent-unit")
  set(HALVORIN_AGENT_PATH "${halvorin_prefix}/${HALVORIN_PROGRAM_DIR}/HalvorinAgent")
  configure_file("${HALVORIN_TEMPLATE_DIR}/halvorin-agent.service.in"
                 "${HALVORIN_WORK_DIR}/${HALVORIN_AGENT_UNIT}" @ONLY)
  file(INSTALL "${HALVORIN_WORK_DIR}/${HALVORIN_AGENT_UNIT}"
       DESTINATION "${halvorin_prefix}/${HALVORIN_AGENT_UNIT_DIR}")
  # Enabled for every user when it lands where systemd looks for user units
  # (not in a staged install); the uninstall script disables it again.
  find_program(systemctl systemctl)
  if(NOT halvorin_root AND systemctl AND "${halvorin_prefix}/${HALVORIN_AGENT_UNIT_DIR}" IN_LIST
     systemd_user_unit_dirs)
    execute_process(COMMAND "${systemctl}" --global enable "${HALVORIN_AGENT_UNIT}"
                    RESULT_VARIABLE enabled OUTPUT_QUIET ERROR_QUIET)
    if(NOT enabled EQUAL 0)
      message(WARNING "Could not enable ${HALVORIN_AGENT_UNIT} for all users")
    endif()
  endif()

elseif(HALVORIN_INSTALL_STEP STREQUAL "driver-host")
  halvorin_driver_host_dirs()
  set(HALVORIN_DRIVERD_PATH "${halvorin_prefix}/${HALVORIN_PROGRAM_DIR}/halvorin-driverd")
  set(work "${HALVORIN_WORK_DIR}/driver-host")
  configure_file("${HALVORIN_DRIVER_HOST_FILES}/halvorin-driverd.service.in"
                 "${work}/halvorin-driverd.service" @ONLY)
  configure_file("${HALVORIN_DRIVER_HOST_FILES}/org.halvorin.Driver1.service.in"
                 "${work}/org.halvorin.Driver1.service" @ONLY)
  foreach(pair "halvorin-driverd.service;${work};HALVORIN_HOST_UNIT_DIR"
               "70-halvorin-driverd.rules;${HALVORIN_DRIVER_HOST_FILES};HALVORIN_HOST_UDEV_DIR"
               "org.halvorin.Driver1.service;${work};HALVORIN_HOST_ACTIVATION_DIR"
               "halvorin-uinput.conf;${HALVORIN_DRIVER_HOST_FILES};HALVORIN_HOST_MODULES_DIR"
               "org.halvorin.Driver1.conf;${HALVORIN_DRIVER_HOST_FILES};HALVORIN_HOST_POLICY_DIR"
               "org.halvorin.driver1.policy;${HALVORIN_DRIVER_HOST_FILES};HALVORIN_HOST_POLKIT_DIR")
    list(GET pair 0 name)
    list(GET pair 1 from)
    list(GET pair 2 var)
    file(INSTALL "${from}/${name}" DESTINATION "${${var}}"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
  # An administrator's edit of the configuration stays; the uninstall script
  # then leaves it too.
  set(config "${halvorin_root}${HALVORIN_HOST_CONFIG_DIR}/halvorin.conf")
  file(READ "${HALVORIN_WORK_DIR}/halvorin.conf" template)
  if(EXISTS "${config}")
    file(READ "${config}" present)
  endif()
  if(NOT EXISTS "${config}" OR present STREQUAL template)
    file(INSTALL "${HALVORIN_WORK_DIR}/halvorin.conf" DESTINATION "${HALVORIN_HOST_CONFIG_DIR}"
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  else()
    message(STATUS "Keeping the edited ${config}")
  endif()

elseif(HALVORIN_INSTALL_STEP STREQUAL "uninstall-script" AND HALVORIN_DEBIAN_PACKAGES)
  file(INSTALL "${HALVORIN_TEMPLATE_DIR}/uninstall-packages.sh" RENAME uninstall.sh
       DESTINATION "${halvorin_prefix}/${HALVORIN_UNINSTALLER_DATADIR}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                        WORLD_READ WORLD_EXECUTE)

elseif(HALVORIN_INSTALL_STEP STREQUAL "uninstall-script")
  set(script_dir "${halvorin_prefix}/${HALVORIN_UNINSTALLER_DATADIR}")
  set(files "")
  string(LENGTH "${halvorin_root}" root_length)
  foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    string(FIND "${file}" "${halvorin_root}/" at)
    if(root_length GREATER 0 AND at EQUAL 0)
      string(SUBSTRING "${file}" ${root_length} -1 file)
    endif()
    list(APPEND files "${file}")
  endforeach()
  list(APPEND files "${script_dir}/uninstall.sh")
  list(REMOVE_DUPLICATES files)

  # The suite's own data folders go as well, once empty, even when an earlier
  # install made them; other folders only if this install made them.
  set(folders ${HALVORIN_CREATED_DIRS} "${script_dir}" "${halvorin_prefix}/${HALVORIN_DATADIR}")
  list(REMOVE_DUPLICATES folders)
  list(SORT folders ORDER DESCENDING)  # a folder before its parent

  set(unit "${halvorin_prefix}/${HALVORIN_AGENT_UNIT_DIR}/${HALVORIN_AGENT_UNIT}")
  set(HALVORIN_SERVICE_STEPS "")
  set(service_step_count 0)
  if(unit IN_LIST files AND "${halvorin_prefix}/${HALVORIN_AGENT_UNIT_DIR}" IN_LIST
     systemd_user_unit_dirs)
    set(HALVORIN_SERVICE_STEPS "disable_user_service ${HALVORIN_AGENT_UNIT}\n")
    set(service_step_count 1)
  endif()

  # The driver host's unit, when the system's service manager reads it.
  set(HALVORIN_RELOAD_STEPS "")
  set(host_unit "/etc/systemd/system/halvorin-driverd.service")
  set(host_unit_usr "/usr/lib/systemd/system/halvorin-driverd.service")
  if(host_unit IN_LIST files OR host_unit_usr IN_LIST files)
    string(APPEND HALVORIN_SERVICE_STEPS "disable_system_service halvorin-driverd.service\n")
    math(EXPR service_step_count "${service_step_count} + 1")
    set(HALVORIN_RELOAD_STEPS "reload_system_daemons\n")
  endif()

  set(HALVORIN_FILE_STEPS "")
  foreach(file IN LISTS files)
    halvorin_shell_quote(quoted "${file}")
    string(APPEND HALVORIN_FILE_STEPS "remove_file ${quoted}\n")
  endforeach()
  set(HALVORIN_FOLDER_STEPS "")
  foreach(folder IN LISTS folders)
    halvorin_shell_quote(quoted "${folder}")
    string(APPEND HALVORIN_FOLDER_STEPS "remove_folder_if_empty ${quoted}\n")
  endforeach()

  list(LENGTH files file_count)
  math(EXPR HALVORIN_STEP_COUNT "${service_step_count} + ${file_count} + 1")
  halvorin_shell_quote(HALVORIN_PREFIX_QUOTED "${halvorin_prefix}")
  configure_file("${HALVORIN_TEMPLATE_DIR}/uninstall.sh.in" "${HALVORIN_WORK_DIR}/uninstall.sh"
                 @ONLY)
  file(INSTALL "${HALVORIN_WORK_DIR}/uninstall.sh" DESTINATION "${script_dir}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
