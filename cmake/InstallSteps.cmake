# Runs at install time, included by the rules of Install.cmake with
# HALVORIN_INSTALL_STEP set to the step to take:
#   begin             notes the destination folders that do not exist yet
#   agent-unit        installs the agent's systemd user unit
#   uninstall-script  writes and installs uninstall.sh from the files installed so far
# Paths given to the uninstall script are the final ones, without DESTDIR.

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

elseif(HALVORIN_INSTALL_STEP STREQUAL "agent-unit")
  set(HALVORIN_AGENT_PATH "${halvorin_prefix}/${HALVORIN_BINDIR}/HalvorinAgent")
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

elseif(HALVORIN_INSTALL_STEP STREQUAL "uninstall-script")
  set(script_dir "${halvorin_prefix}/${HALVORIN_UNINSTALLER_DATADIR}")
  set(files "")
  string(LENGTH "${halvorin_root}" root_length)
  foreach(file IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
    string(FIND "${file}" "${halvorin_root}${halvorin_prefix}/" at)
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
