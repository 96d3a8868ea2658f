# Layout of the simulated Mac that the build lays out in ${MAC_DISK}.
# Targets put their outputs straight into it, so build/mac is always a ready disk.

set(MAC_DISK "${CMAKE_BINARY_DIR}/mac")
set(MAC_FRAMEWORKS "${MAC_DISK}/System/Library/Frameworks")
set(MAC_CORESERVICES "${MAC_DISK}/System/Library/CoreServices")
set(MAC_APP "${MAC_DISK}/Applications/Kreloed.app")
set(MAC_APP_CONTENTS "${MAC_APP}/Contents")
set(MAC_APP_RESOURCES "${MAC_APP_CONTENTS}/Resources")
set(MAC_APP_FRAMEWORKS "${MAC_APP_CONTENTS}/Frameworks")
set(MAC_STATUSMENU "${MAC_APP_FRAMEWORKS}/StatusMenu.bundle")

# The login the disk's home folder is made for: the user who builds it, found as the platform
# finds it (the effective user's name first, $USER only when that has none).
execute_process(COMMAND id -un OUTPUT_VARIABLE MAC_LOGIN OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE login_status)
if(NOT login_status EQUAL 0 OR MAC_LOGIN STREQUAL "")
    set(MAC_LOGIN "$ENV{USER}")
endif()

# Everything that lays out the disk; tests and benchmarks that copy the built disk depend on it.
add_custom_target(mac_disk_ready)

# Copies FILE to DEST (a path on the disk) whenever it changes, as part of target TARGET.
function(mac_disk_file TARGET FILE DEST)
    get_filename_component(dir "${DEST}" DIRECTORY)
    add_custom_command(OUTPUT "${DEST}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${dir}"
        COMMAND ${CMAKE_COMMAND} -E copy "${FILE}" "${DEST}"
        DEPENDS "${FILE}"
        COMMENT "Installing ${DEST} on the simulated Mac"
        VERBATIM)
    target_sources(${TARGET} PRIVATE "${DEST}")
    add_dependencies(mac_disk_ready ${TARGET})
endfunction()

# Puts the executable or shared object of TARGET at DIR/NAME on the disk, with run paths
# relative to itself so that a copied disk works wherever it lies.
function(mac_disk_binary TARGET DIR NAME)
    file(RELATIVE_PATH rel "${DIR}" "${MAC_FRAMEWORKS}")
    get_target_property(type ${TARGET} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set_target_properties(${TARGET} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${DIR}")
    else()
        set_target_properties(${TARGET} PROPERTIES LIBRARY_OUTPUT_DIRECTORY "${DIR}" PREFIX "" SUFFIX "")
    endif()
    set_target_properties(${TARGET} PROPERTIES
        OUTPUT_NAME "${NAME}"
        BUILD_RPATH "\$ORIGIN/${rel}"
        BUILD_RPATH_USE_ORIGIN ON)
    mac_disk_folder_before_link(${TARGET} "${DIR}")
    add_dependencies(mac_disk_ready ${TARGET})
endfunction()

# The linker makes no folders: a disk removed by hand (to start afresh) is laid out again.
function(mac_disk_folder_before_link TARGET DIR)
    add_custom_command(TARGET ${TARGET} PRE_LINK
        COMMAND ${CMAKE_COMMAND} -E make_directory "${DIR}" VERBATIM)
endfunction()
