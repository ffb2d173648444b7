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
# The orbit controls import the core module by its bare name, which only an
# inline import map would resolve; the studio's content policy allows no
# inline script, so the copy imports it by its path instead.
file(READ "${orbit}" controls)
set(bare "from 'three';")
string(FIND "${controls}" "${bare}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${orbit} no longer imports ${bare}: the studio's copy cannot be pointed at the core module")
endif()
string(REPLACE "${bare}" "from '../../three.module.js';" controls "${controls}")
file(WRITE "${DEST}/three/addons/controls/OrbitControls.js" "${controls}")
