# What goes into the Windows program files beside the code: compiled for
# size, with the version, the manifest and the icon as resources. Included
# before the targets are made, so that the options reach all of them (the
# tests included: what is tested is what ships).

# The one place of the version is project(); everything else is made from it.
foreach(part MAJOR MINOR PATCH TWEAK)
  if(PROJECT_VERSION_${part} STREQUAL "")
    set(version_${part} 0)
  else()
    set(version_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()
set(PAGESMITH_VERSION_COMMAS "${version_MAJOR},${version_MINOR},${version_PATCH},${version_TWEAK}")
set(PAGESMITH_VERSION_QUAD "${version_MAJOR}.${version_MINOR}.${version_PATCH}.${version_TWEAK}")

# The version header serves every build: the resources and the command
# line's --version.
set(PAGESMITH_GENERATED ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${PAGESMITH_GENERATED})
configure_file(${CMAKE_SOURCE_DIR}/program_files/pagesmith_version.h.in
               ${PAGESMITH_GENERATED}/pagesmith_version.h @ONLY)
include_directories(${PAGESMITH_GENERATED})

if(NOT WIN32)
  return()
endif()

# Each shipped .exe stays below 300 KB with the C and C++ runtimes inside.
# -Os makes most of the difference; the sections let the linker drop what no
# one calls. The conversion's hot path (converter, text files, string and
# UTF-8 primitives) keeps full optimisation, as in the native build: at -Os
# it ran a third slower, at -O2 5 % slower than at -O3 for 10 KB less.
add_compile_options(-Os -ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections)
file(GLOB_RECURSE conversion_hot_path CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/converter/*.cpp
     ${CMAKE_SOURCE_DIR}/toolkit/text_file/*.cpp
     ${CMAKE_SOURCE_DIR}/toolkit/text/strings.cpp
     ${CMAKE_SOURCE_DIR}/toolkit/text/utf8_coder.cpp)
# Copies of unknown length (a line into the line buffer, above all) become
# inline SSE2 loops there: the C runtime's memcpy moves four bytes per string
# instruction, and under Wine it took a tenth of a conversion's time. Such a
# loop ends in single bytes, so the line readers copy in whole 64-byte steps
# (copyStep in toolkit/text_file/fast_paths.h).
set_source_files_properties(${conversion_hot_path} PROPERTIES COMPILE_OPTIONS
                            "-O3;-minline-all-stringops;-mmemcpy-strategy=vector_loop:-1:noalign")

configure_file(${CMAKE_SOURCE_DIR}/shell/pagesmith.manifest.in
               ${PAGESMITH_GENERATED}/pagesmith.manifest @ONLY)

# The icon is drawn in program_files/icon/pagesmith.svg and rendered here, at
# configure time, so that every resource file of every directory finds it.
set(icon_source ${CMAKE_SOURCE_DIR}/program_files/icon/pagesmith.svg)
set(icon_file ${PAGESMITH_GENERATED}/pagesmith.ico)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${icon_source})
if(NOT EXISTS ${icon_file} OR ${icon_source} IS_NEWER_THAN ${icon_file})
  find_program(RSVG_CONVERT rsvg-convert REQUIRED)
  find_program(ICOTOOL icotool REQUIRED)
  set(icon_pngs)
  foreach(size 16 32 48 256)
    set(png ${PAGESMITH_GENERATED}/pagesmith-${size}.png)
    execute_process(COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${icon_source}
                    RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "rendering ${icon_source} at ${size} px failed")
    endif()
    list(APPEND icon_pngs ${png})
  endforeach()
  # 16 to 48 px as bitmaps, which every system reads; 256 px as PNG, the
  # form that size takes in an icon file.
  list(POP_BACK icon_pngs large_png)
  execute_process(COMMAND ${ICOTOOL} -c -o ${icon_file} ${icon_pngs} --raw=${large_png}
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "writing ${icon_file} failed")
  endif()
endif()

