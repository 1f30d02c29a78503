# cpack's External generator runs this with the download's files staged in
# CPACK_TEMPORARY_DIRECTORY: the MSI holds exactly what the ZIP holds. The
# file list comes from the stage (wixl-heat), the rest from pinlark.wxs.
set(_stage ${CPACK_TEMPORARY_DIRECTORY})
set(_work ${CPACK_TOPLEVEL_DIRECTORY}/msi)
file(REMOVE_RECURSE ${_work})
file(MAKE_DIRECTORY ${_work})

file(GLOB_RECURSE _files LIST_DIRECTORIES false ${_stage}/*)
list(SORT _files)
list(JOIN _files "\n" _listing)
file(WRITE ${_work}/files.txt "${_listing}\n")
if(CPACK_PINLARK_MSI_ARCH STREQUAL "x64")
  set(_heat_win64 --win64)
  set(_win64 yes)
  set(_program_files ProgramFiles64Folder)
else()
  set(_heat_win64)
  set(_win64 no)
  set(_program_files ProgramFilesFolder)
endif()
execute_process(
  COMMAND ${CPACK_PINLARK_WIXL_HEAT} --prefix ${_stage}/ --directory-ref INSTALLDIR --component-group PinlarkFiles
          --var var.SourceDir ${_heat_win64}
  INPUT_FILE ${_work}/files.txt OUTPUT_FILE ${_work}/files.wxs RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "wixl-heat failed (${_result})")
endif()

# wixl takes only relative paths: everything is named from the work folder.
file(COPY ${CPACK_PINLARK_MSI_SOURCE} ${CPACK_PINLARK_MSI_ICON} DESTINATION ${_work})
get_filename_component(_source ${CPACK_PINLARK_MSI_SOURCE} NAME)
get_filename_component(_icon ${CPACK_PINLARK_MSI_ICON} NAME)
file(RELATIVE_PATH _stage_from_work ${_work} ${_stage})
set(_msi ${_work}/${CPACK_PINLARK_MSI_NAME}.msi)
execute_process(
  COMMAND ${CPACK_PINLARK_WIXL} --arch ${CPACK_PINLARK_MSI_ARCH} --output ${CPACK_PINLARK_MSI_NAME}.msi
          --define SourceDir=${_stage_from_work} --define Version=${CPACK_PACKAGE_VERSION} --define Win64=${_win64}
          --define ProgramFilesFolder=${_program_files} --define Icon=${_icon} ${_source} files.wxs
  WORKING_DIRECTORY ${_work} RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "wixl failed (${_result})")
endif()
# The folder at the end of the system PATH while CommandPath is installed
# ("=" set at install, "-" removed at uninstall, "*" the system's variable;
# "[~];" keeps what was there before it), as WiX's Environment element
# would make it.
execute_process(
  COMMAND ${CPACK_PINLARK_MSIBUILD} ${_msi}
    -q "CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE, `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)"
    -q "INSERT INTO `Environment` (`Environment`, `Name`, `Value`, `Component_`) VALUES ('PathEntry', '=-*PATH', '[~];[INSTALLDIR]', 'CommandPath')"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('RemoveEnvironmentStrings', 3300)"
    -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('WriteEnvironmentStrings', 5200)"
  RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "msibuild failed (${_result})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${_msi})
