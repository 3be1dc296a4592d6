# The image pipeline: pictures live in the repository as SVG sources and are
# rendered to PNG at their exact size during the build, then compiled into a
# library as a Qt resource. Nothing is written into the source tree.
#
#   quv_add_images(<target>
#       NAME <resource name>           # rcc name; the library calls Q_INIT_RESOURCE(<resource name>)
#       PREFIX <resource prefix>       # e.g. /quvapp or /media
#       [BASE <folder>]                # where the sources are; default: the current source folder
#       [IMAGES <file.svg>[=<W>x<H>] ...]   # rendered to <file>.png; size from the SVG's
#                                           # width/height attributes unless given
#       [FILES <file> ...])            # compiled in as they are (style sheets)
#
# A source "media/slate/button.svg" under BASE becomes the resource
# ":<prefix>/media/slate/button.png". The renderer is the quv-svg2png tool
# (tools/), which keeps real transparency. The resources of a static library
# survive linking only when the library itself calls Q_INIT_RESOURCE(<name>).

function(quv_add_images target)
    cmake_parse_arguments(QI "" "NAME;PREFIX;BASE" "IMAGES;FILES" ${ARGN})
    if(QI_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "quv_add_images: unknown arguments ${QI_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT QI_NAME MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
        message(FATAL_ERROR "quv_add_images: NAME must be a C identifier, got '${QI_NAME}'")
    endif()
    if(NOT QI_PREFIX MATCHES "^/")
        message(FATAL_ERROR "quv_add_images: PREFIX must start with '/', got '${QI_PREFIX}'")
    endif()
    if(NOT QI_BASE)
        set(QI_BASE ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    if(NOT TARGET quv-svg2png)
        message(FATAL_ERROR "quv_add_images: the renderer quv-svg2png (tools/) is not part of the build")
    endif()

    set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${QI_NAME}_resources)
    set(entries "")
    set(inputs "")

    foreach(image ${QI_IMAGES})
        if(image MATCHES "^(.+\\.svg)=([0-9]+)x([0-9]+)$")
            set(source ${CMAKE_MATCH_1})
            set(size_args ${CMAKE_MATCH_2} ${CMAKE_MATCH_3})
        elseif(image MATCHES "^.+\\.svg$")
            set(source ${image})
            set(size_args "")
        else()
            message(FATAL_ERROR "quv_add_images: '${image}' is not <file.svg> or <file.svg>=<W>x<H>")
        endif()
        if(NOT EXISTS ${QI_BASE}/${source})
            message(FATAL_ERROR "quv_add_images: ${QI_BASE}/${source} does not exist")
        endif()
        string(REGEX REPLACE "\\.svg$" ".png" alias ${source})
        set(png ${out_dir}/${alias})
        # The renderer is built with the sanitizers in the sanitizer build; its
        # run is a build step, so leaks inside Qt's start-up must not fail it.
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
                    $<TARGET_FILE:quv-svg2png> ${QI_BASE}/${source} ${png} ${size_args}
            DEPENDS ${QI_BASE}/${source} quv-svg2png
            COMMENT "Rendering ${QI_PREFIX}/${alias}"
            VERBATIM)
        list(APPEND inputs ${png})
        string(APPEND entries "        <file alias=\"${alias}\">${png}</file>\n")
    endforeach()

    foreach(file ${QI_FILES})
        if(NOT EXISTS ${QI_BASE}/${file})
            message(FATAL_ERROR "quv_add_images: ${QI_BASE}/${file} does not exist")
        endif()
        list(APPEND inputs ${QI_BASE}/${file})
        string(APPEND entries "        <file alias=\"${file}\">${QI_BASE}/${file}</file>\n")
    endforeach()

    set(qrc ${out_dir}/${QI_NAME}.qrc)
    file(CONFIGURE OUTPUT ${qrc} CONTENT
        "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n    <qresource prefix=\"${QI_PREFIX}\">\n${entries}    </qresource>\n</RCC>\n"
        @ONLY)

    set(cpp ${out_dir}/qrc_${QI_NAME}.cpp)
    add_custom_command(OUTPUT ${cpp}
        COMMAND Qt5::rcc --name ${QI_NAME} --output ${cpp} ${qrc}
        DEPENDS ${qrc} ${inputs}
        COMMENT "Compiling the ${QI_NAME} resources"
        VERBATIM)
    set_source_files_properties(${cpp} PROPERTIES GENERATED TRUE SKIP_AUTOGEN ON)
    target_sources(${target} PRIVATE ${cpp})
endfunction()
