# What a cross-build for Windows takes from the build machine: the
# header-only libraries (seen through a folder of their own, so that no
# other header of the build machine is), and GoogleTest built from its
# sources with the cross-compiler.
set(VORNIK_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${VORNIK_HOST_HEADERS})
foreach(folder nlohmann CLI)
  if(NOT EXISTS ${VORNIK_HOST_HEADERS}/${folder})
    file(CREATE_LINK /usr/include/${folder} ${VORNIK_HOST_HEADERS}/${folder} SYMBOLIC)
  endif()
endforeach()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${VORNIK_HOST_HEADERS})
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 INTERFACE ${VORNIK_HOST_HEADERS})

if(VORNIK_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)  # names GTest::gtest_main
endif()
