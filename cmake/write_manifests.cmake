# Writes the package managers' manifests of the Windows zip, filled with its
# version, address and SHA-256, from the templates in packaging/:
#   OUT/winget/manifests/p/Pagesmith/Pagesmith/VERSION/  (the layout of the
#                                    winget community repository)
#   OUT/scoop/pagesmith.json         (a Scoop bucket's entry)
# Run by scripts/package as
#   cmake -D CONFIG=build/win32/CPackConfig.cmake -D ZIP=dist/....zip -D OUT=dist -P cmake/write_manifests.cmake
# CPack's configuration carries the version and the settings of
# cmake/packaging.cmake, so the address is set in one place.
foreach(var CONFIG ZIP OUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "write_manifests: -D ${var}=... is missing")
  endif()
endforeach()
include(${CONFIG})
file(SHA256 ${ZIP} ZIP_SHA256)
string(TOUPPER ${ZIP_SHA256} ZIP_SHA256_UPPER)

set(templates ${CMAKE_CURRENT_LIST_DIR}/../packaging)
set(winget ${OUT}/winget/manifests/p/Pagesmith/Pagesmith/${CPACK_PACKAGE_VERSION})
foreach(part "" .installer .locale.en-US)
  configure_file(${templates}/winget/Pagesmith.Pagesmith${part}.yaml.in
                 ${winget}/Pagesmith.Pagesmith${part}.yaml @ONLY NEWLINE_STYLE UNIX)
endforeach()
configure_file(${templates}/scoop/pagesmith.json.in ${OUT}/scoop/pagesmith.json
               @ONLY NEWLINE_STYLE UNIX)
