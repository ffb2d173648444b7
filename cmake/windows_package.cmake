# The Windows package: duneforge.exe, loamwriter.dll and example_host.exe with
# the example command files and a text on how the engine runs duneforge and
# binds the plug-in (docs/windows/README.txt, with Windows line ends), as one
# zip: build/windows/terrain_toolkit-windows.zip, holding the folder
# terrain_toolkit/.
set(package_root "${PROJECT_BINARY_DIR}/package")
set(package_dir "${package_root}/terrain_toolkit")
set(TOOLKIT_WINDOWS_PACKAGE "${PROJECT_BINARY_DIR}/terrain_toolkit-windows.zip")
configure_file("${PROJECT_SOURCE_DIR}/docs/windows/README.txt" "${PROJECT_BINARY_DIR}/package-README.txt" @ONLY
               NEWLINE_STYLE WIN32)
set(package_examples
  "${PROJECT_SOURCE_DIR}/examples/all_types.txt"
  "${PROJECT_SOURCE_DIR}/examples/single_perlin.txt"
  "${PROJECT_SOURCE_DIR}/examples/terrain.txt"
  "${PROJECT_SOURCE_DIR}/examples/README.md")
add_custom_command(OUTPUT "${TOOLKIT_WINDOWS_PACKAGE}"
  COMMAND ${CMAKE_COMMAND} -E rm -rf "${package_root}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${package_dir}/examples"
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:duneforge> $<TARGET_FILE:loamwriter> $<TARGET_FILE:example_host>
          "${package_dir}"
  COMMAND ${CMAKE_COMMAND} -E copy ${package_examples} "${package_dir}/examples"
  COMMAND ${CMAKE_COMMAND} -E copy "${PROJECT_BINARY_DIR}/package-README.txt" "${package_dir}/README.txt"
  COMMAND ${CMAKE_COMMAND} -E rm -f "${TOOLKIT_WINDOWS_PACKAGE}"
  COMMAND ${CMAKE_COMMAND} -E chdir "${package_root}"
          ${CMAKE_COMMAND} -E tar cf "${TOOLKIT_WINDOWS_PACKAGE}" --format=zip terrain_toolkit
  DEPENDS duneforge loamwriter example_host ${package_examples} "${PROJECT_BINARY_DIR}/package-README.txt"
  COMMENT "Packing ${TOOLKIT_WINDOWS_PACKAGE}"
  VERBATIM)
add_custom_target(windows_package ALL DEPENDS "${TOOLKIT_WINDOWS_PACKAGE}")
