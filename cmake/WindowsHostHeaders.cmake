# The header-only libraries that the Windows build takes from the build
# machine's Debian packages (nlohmann-json3-dev, libcli11-dev), seen through
# a folder of the build tree that holds only them: the build machine's own
# /usr/include must never reach the cross compiler.
set(LXNICCFG_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${LXNICCFG_HOST_HEADERS})
foreach(dir nlohmann CLI)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/setup.sh")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${LXNICCFG_HOST_HEADERS}/${dir} SYMBOLIC)
endforeach()
include_directories(SYSTEM ${LXNICCFG_HOST_HEADERS})

# find_package(nlohmann_json) finds this package, which names the folder.
set(LXNICCFG_HOST_PACKAGES ${CMAKE_BINARY_DIR}/host-packages/nlohmann_json)
file(WRITE ${LXNICCFG_HOST_PACKAGES}/nlohmann_jsonConfig.cmake
"if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${LXNICCFG_HOST_HEADERS})
endif()
")
file(WRITE ${LXNICCFG_HOST_PACKAGES}/nlohmann_jsonConfigVersion.cmake
"set(PACKAGE_VERSION 3)
set(PACKAGE_VERSION_COMPATIBLE TRUE)
")
set(nlohmann_json_DIR ${LXNICCFG_HOST_PACKAGES} CACHE PATH "nlohmann_json for the Windows build" FORCE)
