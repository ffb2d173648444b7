# Puts the studio's page together in DEST: the files of PAGE and, in
# DEST/three, the pinned three modules that its 3D view imports (the core
# module, the module that reads it and the orbit controls), taken from
# NODE_MODULES, where scripts/setup installs the pinned npm packages.
# Without them the page still works but for its 3D view, which says so.
#   cmake -DPAGE=... -DNODE_MODULES=... -DDEST=... -P assemble_page.cmake
file(COPY "${PAGE}/" DESTINATION "${DEST}")
set(three "${NODE_MODULES}/three")
set(three_files
  "${three}/build/three.module.js"
  "${three}/build/three.core.js"
  "${three}/LICENSE")
set(orbit "${three}/examples/jsm/controls/OrbitControls.js")
foreach(f IN LISTS three_files orbit)
  if(NOT EXISTS "${f}")
    message(WARNING "${f} is missing: the studio's page has no 3D view until "
                    "scripts/setup has installed the pinned npm packages")
    return()
  endif()
endforeach()
file(COPY ${three_files} DESTINATION "${DEST}/three")
file(COPY "${orbit}" DESTINATION "${DEST}/three/addons/controls")
