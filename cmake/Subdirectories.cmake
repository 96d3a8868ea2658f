# add_each_subdirectory(): adds every folder below the current one that has a CMakeLists.txt, so
# that a new tool, benchmark or test area needs no line elsewhere. Excluded names may be given.
function(add_each_subdirectory)
    file(GLOB entries LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
    foreach(dir ${entries})
        get_filename_component(name "${dir}" NAME)
        if(IS_DIRECTORY "${dir}" AND EXISTS "${dir}/CMakeLists.txt" AND NOT name IN_LIST ARGN)
            add_subdirectory("${dir}")
        endif()
    endforeach()
endfunction()
