# Install layout: the executable and what ships beside it share one folder, reached through a
# link in bin/, so the program finds its samples the same way as in the build tree.
include(GNUInstallDirs)

# Deliberately not CMAKE_INSTALL_LIBDIR: the folder holds the program itself, not a library
# for one architecture, and its name is part of how the program is found.
set(BRASSFINCH_INSTALL_DIR "lib/brassfinch")

# The program links only system libraries, which need no search path of its own.
set_property(TARGET brassfinch PROPERTY INSTALL_RPATH "")
# Resolve every symbol at start-up and make the relocation tables read-only afterwards.
target_link_options(brassfinch PRIVATE "LINKER:-z,relro" "LINKER:-z,now")
install(TARGETS brassfinch RUNTIME DESTINATION "${BRASSFINCH_INSTALL_DIR}")
# A stripped install (as for the package) also drops the compilers' version notes, as Debian's
# own packaging tools do.
if(CMAKE_OBJCOPY)
    install(CODE "
        if(CMAKE_INSTALL_DO_STRIP)
            execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${BRASSFINCH_INSTALL_DIR}/brassfinch\"
                COMMAND_ERROR_IS_FATAL ANY)
        endif()")
endif()
install(FILES ${BRASSFINCH_SAMPLES} DESTINATION "${BRASSFINCH_INSTALL_DIR}/Samples")

# A relative link keeps the tree relocatable: it works in a staging folder and after the move.
file(RELATIVE_PATH BRASSFINCH_LINK_TARGET
    "/${CMAKE_INSTALL_BINDIR}" "/${BRASSFINCH_INSTALL_DIR}/brassfinch")
set(BRASSFINCH_LINK "${CMAKE_BINARY_DIR}/install-link/brassfinch")
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/install-link")
file(CREATE_LINK "${BRASSFINCH_LINK_TARGET}" "${BRASSFINCH_LINK}" SYMBOLIC)
# file(INSTALL) copies a link as a link.
install(FILES "${BRASSFINCH_LINK}" DESTINATION "${CMAKE_INSTALL_BINDIR}")

set(BRASSFINCH_APP_ID "org.tarnhollow.Brassfinch")
install(FILES "${CMAKE_SOURCE_DIR}/dist/${BRASSFINCH_APP_ID}.desktop"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_SOURCE_DIR}/dist/${BRASSFINCH_APP_ID}.metainfo.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${CMAKE_SOURCE_DIR}/dist/${BRASSFINCH_APP_ID}.svg"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
file(GLOB BRASSFINCH_ICON_PNGS CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/dist/icons/*/${BRASSFINCH_APP_ID}.png")
foreach(png IN LISTS BRASSFINCH_ICON_PNGS)
    get_filename_component(size_dir "${png}" DIRECTORY)
    get_filename_component(size "${size_dir}" NAME)
    install(FILES "${png}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps")
endforeach()

# Debian wants compressed manual pages and changelogs, without time stamps so builds repeat.
find_program(BRASSFINCH_GZIP gzip REQUIRED)
function(brassfinch_install_gzipped source destination)
    get_filename_component(name "${source}" NAME)
    set(packed "${CMAKE_BINARY_DIR}/dist/${name}.gz")
    add_custom_command(OUTPUT "${packed}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/dist"
        COMMAND sh -c "\"$1\" -9 -n -c \"$2\" > \"$3\"" gzip "${BRASSFINCH_GZIP}" "${source}" "${packed}"
        DEPENDS "${source}"
        VERBATIM)
    add_custom_target("gzip_${name}" ALL DEPENDS "${packed}")
    install(FILES "${packed}" DESTINATION "${destination}")
endfunction()

brassfinch_install_gzipped("${CMAKE_SOURCE_DIR}/dist/brassfinch.1" "${CMAKE_INSTALL_MANDIR}/man1")

set(BRASSFINCH_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/brassfinch")
install(FILES "${CMAKE_SOURCE_DIR}/dist/debian/copyright" DESTINATION "${BRASSFINCH_DOC_DIR}")
# The package changelog and the AppStream releases must both describe the version being built;
# a version bump without its release notes stops here rather than in a user's software centre.
file(STRINGS "${CMAKE_SOURCE_DIR}/dist/debian/changelog" BRASSFINCH_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT BRASSFINCH_CHANGELOG_TOP MATCHES "^brassfinch \\(([^)-]+)-([0-9]+)\\) "
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "dist/debian/changelog has no entry for version ${PROJECT_VERSION} at its top")
endif()
set(BRASSFINCH_DEBIAN_REVISION "${CMAKE_MATCH_2}")
file(READ "${CMAKE_SOURCE_DIR}/dist/${BRASSFINCH_APP_ID}.metainfo.xml" BRASSFINCH_METAINFO)
if(NOT BRASSFINCH_METAINFO MATCHES "<release version=\"([^\"]+)\""
   OR NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "The AppStream metadata's latest release is not version ${PROJECT_VERSION}")
endif()
# Debian names the changelog of a package with a revision changelog.Debian.
configure_file("${CMAKE_SOURCE_DIR}/dist/debian/changelog"
    "${CMAKE_BINARY_DIR}/dist-in/changelog.Debian" COPYONLY)
brassfinch_install_gzipped("${CMAKE_BINARY_DIR}/dist-in/changelog.Debian" "${BRASSFINCH_DOC_DIR}")

install(FILES "${CMAKE_SOURCE_DIR}/dist/debian/lintian-overrides"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME brassfinch)

include(cmake/Package.cmake)
