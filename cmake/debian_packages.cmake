# Debian packages made with CPack (cmake --build <dir> --target package):
#   scrapvolt      the install component "game": the programs in /usr/games, their desktop
#                  entry, icons, AppStream metadata and manual pages;
#   scrapvolt-physics-dev  the component "physics_dev": the engine alone (headers, static
#                  library, the CMake package and its pkg-config file), no SDL or OpenGL;
#   scrapvolt-dev  the component "dev": the engine's drawing and the shell, with what they need.
# Each package carries the copyright file and the changelog that Debian asks of every package;
# the development packages also a README and their examples.
# Included after every install rule, since CPack takes the list of components when included.
set(SCRAPVOLT_MAINTAINER
    "Scrapvolt maintainers <maintainers@users.noreply.c-seed-b750aa73.example>"
    CACHE STRING "The Debian packages' maintainer, as: name <address>")

set(SCRAPVOLT_VERSION ${PROJECT_VERSION})
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in packaging/changelog @ONLY)
add_custom_command(OUTPUT packaging/changelog.gz
    COMMAND gzip -9nkf changelog
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog VERBATIM)
add_custom_target(scrapvolt_debian_changelog ALL DEPENDS packaging/changelog.gz)

# The documents of the package made from an install component, in a folder named after the
# package; they go into packages only, and a plain install gets the copyright file alone. A
# development package also gets its README and its EXAMPLE from examples/.
set(package_components)
function(scrapvolt_package_documents component package)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "EXAMPLE" "")
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${package})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${doc_dir}
            COMPONENT ${component})
    install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc_dir}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
    if(arg_EXAMPLE)
        install(FILES ${PROJECT_SOURCE_DIR}/packaging/${package}.README DESTINATION ${doc_dir}
                RENAME README COMPONENT ${component} EXCLUDE_FROM_ALL)
        install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/${arg_EXAMPLE}
                DESTINATION ${doc_dir}/examples COMPONENT ${component} EXCLUDE_FROM_ALL)
    endif()
    set(package_components ${package_components} ${component} PARENT_SCOPE)
endfunction()
if(SCRAPVOLT_WITH_SHELL)
    scrapvolt_package_documents(game scrapvolt)
endif()
scrapvolt_package_documents(physics_dev scrapvolt-physics-dev EXAMPLE falling_boxes)
if(SCRAPVOLT_WITH_SHELL OR TARGET scrapvolt_physics_draw)
    scrapvolt_package_documents(dev scrapvolt-dev EXAMPLE spinning_polygon)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scrapvolt)
set(CPACK_PACKAGE_VENDOR "Scrapvolt maintainers")
set(CPACK_PACKAGE_CONTACT "${SCRAPVOLT_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Installs into a staging DESTDIR with the prefix /usr, which the .pc files are written with.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${package_components})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SCRAPVOLT_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE scrapvolt)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_GAME_PACKAGE_NAME scrapvolt)
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
# The libraries the program links (SDL 1.2, SDL_mixer, OpenGL, GLU, X11, the C++ runtime), as
# dpkg-shlibdeps finds them in the binary.
set(CPACK_DEBIAN_GAME_PACKAGE_SHLIBDEPS ON)
# SDL opens OpenGL's window-system side (GLX) through libGL.so.1 at run time; the program itself
# links only libOpenGL.
set(CPACK_DEBIAN_GAME_PACKAGE_DEPENDS libgl1)
# The SDL 1.2 that the game is built and tested with. libSDL-1.2.so.0 comes from the classic
# SDL 1.2 (libsdl1.2debian) or from SDL 1.2 on SDL 2 (libsdl1.2-compat-shim, which provides the
# former), and its computed dependency names the classic one, which apt then installs on a fresh
# system. The classic one opens a multisampled OpenGL window only with as many samples as asked
# for (16; software OpenGL offers 4), so the game came up without multisampling there and saved
# it off. So where the build has SDL 1.2 on SDL 2, the package asks for it.
execute_process(COMMAND dpkg-query -W -f=\${Status} libsdl1.2-compat-shim
                OUTPUT_VARIABLE sdl_compat_status ERROR_QUIET)
if(sdl_compat_status MATCHES "install ok installed")
    string(APPEND CPACK_DEBIAN_GAME_PACKAGE_DEPENDS ", libsdl1.2-compat-shim")
endif()
set(CPACK_COMPONENT_GAME_DESCRIPTION
    "top-down physics arena game: drive a car among turning bars
Scrapvolt is a small top-down 2D physics game. You drive a car with the
arrow keys among two turning bars and a loose square; a camera follows it
over a grey grid. Bodies push, spin and stop each other without bouncing.
.
It runs in a window or in full screen with OpenGL and keeps its display
settings between runs.")

set(CPACK_DEBIAN_PHYSICS_DEV_PACKAGE_NAME scrapvolt-physics-dev)
set(CPACK_DEBIAN_PHYSICS_DEV_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_PHYSICS_DEV_DESCRIPTION
    "Scrapvolt physics engine (development files)
The 2D rigid-body engine that the game Scrapvolt is built on, as a static
library with its headers, a CMake package (find_package(Scrapvolt)) and a
pkg-config file (scrapvolt-physics): rigid bodies for convex polygons,
contact detection and resolution, and a world that steps them.
.
It needs only a C++20 compiler: no SDL, OpenGL or window system.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME scrapvolt-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# The engine, and what the CMake package and the pkg-config files look for (physics_draw:
# OpenGL; the shell: SDL 1.2, SDL_mixer, X11, GLU, found through pkg-config).
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS
    "scrapvolt-physics-dev (= ${PROJECT_VERSION}), libgl-dev")
if(SCRAPVOLT_WITH_SHELL)
    string(APPEND CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ", libsdl1.2-compat-dev | libsdl1.2-dev, "
           "libsdl-mixer1.2-dev, libx11-dev, libglu1-mesa-dev | libglu-dev, pkgconf | pkg-config")
endif()
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Scrapvolt engine drawing and application shell (development files)
The static libraries that the game Scrapvolt draws and runs with, with their
headers, their part of the CMake package (find_package(Scrapvolt)) and
pkg-config files:
.
scrapvolt-physics-draw: the engine's polygons drawn with OpenGL.
.
scrapvolt-shell: an application shell on SDL 1.2 and OpenGL 1.x with a
fixed-rate main loop, a state stack, hot keys, video modes and a preferences
file. It holds main and calls the program's createGame.")

include(CPack)
