# Shared helpers for every folder's CMakeLists.txt.

# selkie_export_library(<target> <version-script>)
# A shared library of the family exports only what its version script lists.
function(selkie_export_library target script)
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${script})
  target_link_options(${target} PRIVATE "-Wl,--version-script=${script}" "-Wl,--no-undefined")
endfunction()

# selkie_library_version(<target> <major.minor.patch>)
# The major number is the SONAME's: raise it with any incompatible change of the library's header.
function(selkie_library_version target version)
  string(REGEX MATCH "^[0-9]+" major "${version}")
  set_target_properties(${target} PROPERTIES VERSION ${version} SOVERSION ${major})
endfunction()

# selkie_install_library(<target> [HEADERS <files...>] [DEPENDS <packages...>] [COMPONENT <name>])
# Installs a shared library of the family with its header and a CMake package of its own name
# (<libdir>/cmake/<target>), so that an outside project does find_package(<target>) and links
# Vyo::<target>. DEPENDS names the family's packages the library is linked with.
function(selkie_install_library target)
  cmake_parse_arguments(L "" "COMPONENT" "HEADERS;DEPENDS" ${ARGN})
  if(NOT L_COMPONENT)
    set(L_COMPONENT ${target})
  endif()
  set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/${target})
  install(TARGETS ${target} EXPORT ${target}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${L_COMPONENT} NAMELINK_COMPONENT ${L_COMPONENT})
  install(FILES ${L_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${L_COMPONENT})
  install(EXPORT ${target}Targets NAMESPACE Vyo:: DESTINATION ${package_dir} COMPONENT ${L_COMPONENT})

  set(SELKIE_PACKAGE ${target})
  set(SELKIE_PACKAGE_DEPENDS ${L_DEPENDS})
  get_target_property(version ${target} VERSION)
  include(CMakePackageConfigHelpers)
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VyoPackageConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake INSTALL_DESTINATION ${package_dir})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake
    VERSION ${version} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake
                ${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake
          DESTINATION ${package_dir} COMPONENT ${L_COMPONENT})
endfunction()

# selkie_add_test(<name> SOURCES <files...> [LIBS <targets...>] [GUI])
# One GoogleTest program, registered as one ctest entry. GUI tests run on the offscreen platform.
function(selkie_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    SELKIE_TESTDATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    SELKIE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    SELKIE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set(env "")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(env)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}")
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

# selkie_add_bench(<name> SOURCES <files...> [LIBS <targets...>])
function(selkie_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()
