# Every Windows program of the project carries an application manifest made from one template
# (src/res/Program.manifest.in) with the project's version, so the manifest, the version block
# and the release archive's name cannot disagree. The manifest names the supported Windows
# versions (without them Windows treats a program as written for Vista and shims its version
# queries), per-monitor DPI awareness, common controls 6 and asInvoker.
#   sarnok_embed_manifest(TARGET DESCRIPTION "text")
set(SARNOK_MANIFEST_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/../src/res/Program.manifest.in)

function(sarnok_embed_manifest target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "DESCRIPTION" "")
    if(NOT arg_DESCRIPTION)
        message(FATAL_ERROR "sarnok_embed_manifest(${target}): DESCRIPTION is missing")
    endif()
    get_target_property(output ${target} OUTPUT_NAME)
    if(NOT output)
        set(output ${target})
    endif()
    set(SARNOK_MANIFEST_NAME "Brelwin.${output}")
    set(SARNOK_MANIFEST_DESCRIPTION "${arg_DESCRIPTION}")
    # An assembly version has four numbers.
    set(numbers ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH}
                ${PROJECT_VERSION_TWEAK})
    list(LENGTH numbers count)
    while(count LESS 4)
        list(APPEND numbers 0)
        math(EXPR count "${count} + 1")
    endwhile()
    list(JOIN numbers "." SARNOK_MANIFEST_VERSION)

    set(dir ${CMAKE_CURRENT_BINARY_DIR}/manifest)
    configure_file(${SARNOK_MANIFEST_TEMPLATE} ${dir}/${output}.manifest @ONLY)
    # 1 is CREATEPROCESS_MANIFEST_RESOURCE_ID, 24 is RT_MANIFEST: the manifest Windows reads when
    # it starts the program.
    file(CONFIGURE OUTPUT ${dir}/${output}.manifest.rc
         CONTENT "1 24 \"${dir}/${output}.manifest\"\n" @ONLY)
    target_sources(${target} PRIVATE ${dir}/${output}.manifest.rc)
    set_source_files_properties(${dir}/${output}.manifest.rc PROPERTIES
        OBJECT_DEPENDS ${dir}/${output}.manifest)
    if(MSVC)
        # The linker would add a manifest of its own beside ours.
        target_link_options(${target} PRIVATE /MANIFEST:NO)
    endif()
endfunction()
