# Installs the engine and the shell for other programs: public headers under
# include/scrapvolt/{physics,shell}, the static libraries, a CMake package (ScrapvoltConfig.cmake
# with the imported targets Scrapvolt::physics, Scrapvolt::physics_draw and Scrapvolt::shell)
# and pkg-config files. Each library has its own export set, so that a program using the physics
# alone finds the package without OpenGL or SDL installed.
#
# Two install components, one development package each: "physics_dev", the engine alone with the
# package's configuration files; "dev", the engine's drawing and the shell, which need OpenGL and
# SDL. The game's own rules name the component "game".
include(CMakePackageConfigHelpers)
set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Scrapvolt)
set(pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Installs one library in the install component PACKAGE: its public headers (the folder HEADERS,
# relative to the project root, holds them under scrapvolt/<library>/), its export set and its
# .pc file. DESCRIPTION and REQUIRES go into the .pc file. The .pc file's prefix is the one
# installed into (cmake --install --prefix, CPack's /usr), written when installing: a prefix found
# from the file's own place would give pkg-config paths with "..", which compilers take for
# other folders than the system's.
function(scrapvolt_install_library target component)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "DESCRIPTION;REQUIRES;HEADERS;PACKAGE" "")
    set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME ${arg_PACKAGE})
    set_target_properties(${target} PROPERTIES EXPORT_NAME ${component})
    target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    install(TARGETS ${target} EXPORT Scrapvolt_${component}
            ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
    # Everything under the library's include/ folder is public, and nothing else.
    if(arg_HEADERS)
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/${arg_HEADERS}/ TYPE INCLUDE)
    endif()
    install(EXPORT Scrapvolt_${component} NAMESPACE Scrapvolt::
            FILE Scrapvolt_${component}.cmake DESTINATION ${package_dir})

    string(REPLACE _ - pc_name "scrapvolt-${component}")
    set(pc_description "${arg_DESCRIPTION}")
    set(pc_requires "${arg_REQUIRES}")
    set(pc_library ${target})
    # The engine's floating-point flags, for every program that compiles its headers (the
    # other engine modules require this one).
    set(pc_cflags "")
    if(target STREQUAL scrapvolt_physics)
        list(JOIN SCRAPVOLT_PHYSICS_FLOAT_FLAGS " " pc_cflags)
        set(pc_cflags " ${pc_cflags}")
    endif()
    set(pc_prefix @pc_prefix@)  # kept for the install
    configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/scrapvolt.pc.in ${pc_name}.pc.in @ONLY)
    set(pc_file ${CMAKE_CURRENT_BINARY_DIR}/pc/${pc_name}.pc)
    install(CODE "set(pc_prefix \"\${CMAKE_INSTALL_PREFIX}\")
        configure_file(${CMAKE_CURRENT_BINARY_DIR}/${pc_name}.pc.in ${pc_file} @ONLY)")
    install(FILES ${pc_file} DESTINATION ${pc_dir})
endfunction()

scrapvolt_install_library(scrapvolt_physics physics
    DESCRIPTION "2D rigid-body physics for convex polygons" HEADERS physics/include
    PACKAGE physics_dev)
set(scrapvolt_components physics)
if(TARGET scrapvolt_physics_draw)
    scrapvolt_install_library(scrapvolt_physics_draw physics_draw
        DESCRIPTION "Polygon::draw: the physics engine's polygons drawn with OpenGL"
        REQUIRES "scrapvolt-physics = ${PROJECT_VERSION}, gl" PACKAGE dev)
    list(APPEND scrapvolt_components physics_draw)
endif()
if(SCRAPVOLT_WITH_SHELL)
    scrapvolt_install_library(scrapvolt_shell shell
        DESCRIPTION "Application shell on SDL 1.2 and OpenGL; holds main, which calls createGame"
        REQUIRES "sdl, SDL_mixer, x11, gl, glu" HEADERS shell/include PACKAGE dev)
    list(APPEND scrapvolt_components shell)
endif()

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/ScrapvoltConfig.cmake.in
    ScrapvoltConfig.cmake INSTALL_DESTINATION ${package_dir})
# Before 1.0 a new minor version may break the interfaces.
write_basic_package_version_file(ScrapvoltConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ScrapvoltConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/ScrapvoltConfigVersion.cmake
        DESTINATION ${package_dir} COMPONENT physics_dev)

include(${CMAKE_CURRENT_LIST_DIR}/debian_packages.cmake)
