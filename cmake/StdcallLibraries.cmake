# Import libraries and small DLLs for 32-bit stdcall interfaces that export plain names.
#
# On 32-bit x86 a stdcall function is referenced by a decorated name ("_Name@20"), while the
# maker's DLLs export the plain name. A definition file that lists "Name@20" yields an import
# library whose symbols match the decorated references and whose imports ask the DLL for
# "Name" (dlltool --kill-at; lib.exe undecorates by itself). 64-bit code has no decoration, so
# the suffixes are dropped there.
#
# Included by every directory that uses it (no include guard): the settings below are
# directory-scoped variables.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(SARNOK_DECORATED_STDCALL OFF)
else()
    set(SARNOK_DECORATED_STDCALL ON)
endif()

if(NOT MSVC)
    if(CMAKE_DLLTOOL)
        set(SARNOK_DLLTOOL ${CMAKE_DLLTOOL})
    else()
        # i686-w64-mingw32-gcc-posix -> i686-w64-mingw32-dlltool
        get_filename_component(_compiler ${CMAKE_C_COMPILER} NAME)
        string(REGEX REPLACE "-gcc.*$" "-dlltool" _dlltool ${_compiler})
        find_program(SARNOK_DLLTOOL NAMES ${_dlltool} dlltool REQUIRED)
    endif()
endif()

# Builds an import library for a DLL from a definition file with decorated names and makes it
# available as the INTERFACE target <target>.
function(sarnok_import_library target def_file)
    set(def ${def_file})
    if(NOT SARNOK_DECORATED_STDCALL)
        file(READ ${def_file} text)
        string(REGEX REPLACE "@[0-9]+" "" text "${text}")
        set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.plain.def)
        file(CONFIGURE OUTPUT ${def} CONTENT "${text}" @ONLY)
    endif()
    if(MSVC)
        set(implib ${CMAKE_CURRENT_BINARY_DIR}/${target}.lib)
        if(SARNOK_DECORATED_STDCALL)
            set(machine X86)
        else()
            set(machine X64)
        endif()
        add_custom_command(OUTPUT ${implib}
            COMMAND ${CMAKE_AR} /NOLOGO /DEF:${def} /MACHINE:${machine} /OUT:${implib}
            DEPENDS ${def_file} VERBATIM)
    else()
        set(implib ${CMAKE_CURRENT_BINARY_DIR}/lib${target}.a)
        set(kill_at)
        if(SARNOK_DECORATED_STDCALL)
            set(kill_at --kill-at)
        endif()
        # dlltool names the library's symbols after the output path it is given; a bare name
        # keeps the build folder out of the program.
        add_custom_command(OUTPUT ${implib}
            COMMAND ${SARNOK_DLLTOOL} ${kill_at} --temp-prefix ${target} --input-def ${def}
                    --output-lib lib${target}.a
            WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
            DEPENDS ${def_file} VERBATIM)
    endif()
    add_custom_target(${target}_import DEPENDS ${implib})
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${implib})
    add_dependencies(${target} ${target}_import)
endfunction()

# A DLL whose exports are given as "ExportName=InternalName@N": the export names are used as
# written (so a test DLL can export a decorated spelling on any architecture), the internal
# names are the source's stdcall functions, decorated only where the linker needs it.
#   sarnok_stdcall_dll(<target> OUTPUT_NAME <name> SOURCES <files...> EXPORTS <pairs...>)
function(sarnok_stdcall_dll target)
    cmake_parse_arguments(ARG "" "OUTPUT_NAME" "SOURCES;EXPORTS" ${ARGN})
    set(text "LIBRARY \"${ARG_OUTPUT_NAME}.dll\"\nEXPORTS\n")
    foreach(pair IN LISTS ARG_EXPORTS)
        string(REGEX MATCH "^([^=]+)=(.+)$" _ ${pair})
        set(export_name ${CMAKE_MATCH_1})
        set(internal ${CMAKE_MATCH_2})
        if(MSVC OR NOT SARNOK_DECORATED_STDCALL)
            string(REGEX REPLACE "@[0-9]+$" "" internal ${internal})
        endif()
        string(APPEND text "    ${export_name} = ${internal}\n")
    endforeach()
    set(def ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    file(CONFIGURE OUTPUT ${def} CONTENT "${text}" @ONLY)
    add_library(${target} SHARED ${ARG_SOURCES} ${def})
    set_target_properties(${target} PROPERTIES OUTPUT_NAME ${ARG_OUTPUT_NAME} PREFIX "")
    if(NOT MSVC)
        # No runtime DLLs beside the test DLL: it must load in a bare Wine prefix.
        target_link_options(${target} PRIVATE -static)
    endif()
endfunction()
