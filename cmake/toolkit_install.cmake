# What `cmake --install` puts under the prefix:
#   bin/                       duneforge, modelinfo, terrainview, terrainconvert,
#                              modelview, example_host, terrainstudio
#   share/terrain_toolkit/examples/
#                              the example command files, which terrainstudio
#                              offers
#   share/terrain_toolkit/page/
#                              terrainstudio's page, with the pinned three
#                              modules of its 3D view in three/
#   lib/                       libloamwriter.so, the engine plug-in
#   lib/terrain_toolkit/       the static model file library and the platform
#                              layer it links
#   include/modelfiles/        the model file library's headers, and the
#   include/platform/          platform headers they include
#   lib/cmake/terrain_toolkit/ the package configuration, so that another
#                              project can say
#                                find_package(terrain_toolkit CONFIG REQUIRED)
#                                target_link_libraries(app PRIVATE terrain_toolkit::modelfiles)
# Every target is exported in the namespace terrain_toolkit::, the programs
# and the plug-in too, so a project can find their installed paths.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TOOLKIT_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/terrain_toolkit")

install(TARGETS platform modelfiles EXPORT terrain_toolkit_targets
  ARCHIVE DESTINATION "${CMAKE_INSTALL_LIBDIR}/terrain_toolkit"
  INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/modelfiles/"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/modelfiles"
  FILES_MATCHING PATTERN "*.h")
# The platform headers that the model file library's headers include.
install(FILES "${PROJECT_SOURCE_DIR}/platform/failure_reason.h"
              "${PROJECT_SOURCE_DIR}/platform/record_file_writer.h"
  DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/platform")

install(TARGETS loamwriter EXPORT terrain_toolkit_targets
  LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
  RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

# The programs exist only in builds with libnoise.
foreach(program duneforge modelinfo terrainview terrainconvert modelview example_host terrainstudio)
  if(TARGET ${program})
    install(TARGETS ${program} EXPORT terrain_toolkit_targets RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
  endif()
endforeach()

if(TARGET terrainstudio)
  file(GLOB toolkit_example_commands "${PROJECT_SOURCE_DIR}/examples/*.txt")
  list(FILTER toolkit_example_commands EXCLUDE REGEX "/CMakeLists\\.txt$")
  install(FILES ${toolkit_example_commands} DESTINATION "${CMAKE_INSTALL_DATADIR}/terrain_toolkit/examples")
  # The page as studio/CMakeLists.txt puts it together, with the pinned three
  # modules.
  install(DIRECTORY "${PROJECT_BINARY_DIR}/studio/page/" DESTINATION "${CMAKE_INSTALL_DATADIR}/terrain_toolkit/page")
endif()

install(EXPORT terrain_toolkit_targets
  NAMESPACE terrain_toolkit::
  FILE terrain_toolkitTargets.cmake
  DESTINATION "${TOOLKIT_INSTALL_CMAKEDIR}")
configure_package_config_file("${CMAKE_CURRENT_LIST_DIR}/terrain_toolkitConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/terrain_toolkitConfig.cmake"
  INSTALL_DESTINATION "${TOOLKIT_INSTALL_CMAKEDIR}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/terrain_toolkitConfigVersion.cmake"
  VERSION "${PROJECT_VERSION}"
  COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/terrain_toolkitConfig.cmake"
              "${PROJECT_BINARY_DIR}/terrain_toolkitConfigVersion.cmake"
  DESTINATION "${TOOLKIT_INSTALL_CMAKEDIR}")
