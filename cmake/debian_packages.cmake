# Debian packages made with CPack (cmake --build <dir> --target package):
#   scrapvolt      the install component "game": the program in /usr/games, its desktop entry,
#                  icons, AppStream metadata and manual page;
#   scrapvolt-dev  the component "dev": headers, static libraries, CMake and pkg-config files.
# Each package carries the copyright file and the changelog that Debian asks of every package.
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

set(package_components dev)
if(SCRAPVOLT_WITH_SHELL)
    list(PREPEND package_components game)
endif()
# A package's documents are named after the package; they go into packages only, and a plain
# install gets the copyright file alone.
foreach(component IN LISTS package_components)
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/scrapvolt)
    if(component STREQUAL "dev")
        set(doc_dir ${doc_dir}-dev)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${doc_dir}
            COMPONENT ${component})
    install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION ${doc_dir}
            COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scrapvolt)
set(CPACK_PACKAGE_VENDOR "Scrapvolt maintainers")
set(CPACK_PACKAGE_CONTACT "${SCRAPVOLT_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
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
set(CPACK_COMPONENT_GAME_DESCRIPTION
    "top-down physics arena game: drive a car among turning bars
Scrapvolt is a small top-down 2D physics game. You drive a car with the
arrow keys among two turning bars and a loose square; a camera follows it
over a grey grid. Bodies push, spin and stop each other without bouncing.
.
It runs in a window or in full screen with OpenGL and keeps its display
settings between runs.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME scrapvolt-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# What the headers, the CMake package and the pkg-config files look for (physics_draw: OpenGL).
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libgl-dev")
if(SCRAPVOLT_WITH_SHELL)
    string(PREPEND CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libsdl1.2-compat-dev | libsdl1.2-dev, "
           "libsdl-mixer1.2-dev, libx11-dev, libglu1-mesa-dev | libglu-dev, pkgconf | pkg-config, ")
endif()
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "Scrapvolt physics engine and application shell (development files)
The static libraries that the game Scrapvolt is built on, with their headers,
a CMake package (find_package(Scrapvolt)) and pkg-config files.
.
scrapvolt-physics: rigid bodies for convex polygons, contact detection and
resolution, and a world that steps them, without SDL or OpenGL.
.
scrapvolt-physics-draw: the polygons drawn with OpenGL.
.
scrapvolt-shell: an application shell on SDL 1.2 and OpenGL 1.x with a
fixed-rate main loop, a state stack, hot keys, video modes and a preferences
file. It holds main and calls the program's createGame.")

include(CPack)
