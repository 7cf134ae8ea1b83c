# Builds the Debian package of the build tree BUILD with CPack in a folder of its own and checks
# it as apt would see it: its name, its computed dependencies, the files it installs under /usr
# (ID is the desktop file id), and lintian without errors.

set(out "${BUILD}/package-test")
file(REMOVE_RECURSE "${out}")

# CPack's install rewrites BUILD's install_manifest.txt, which README's uninstall reads: the
# user's own list is put back whatever happens.
set(manifest "${BUILD}/install_manifest.txt")
set(kept_manifest "${BUILD}/install_manifest.txt.kept-by-package-test")
if(EXISTS "${manifest}" AND NOT EXISTS "${kept_manifest}")
    file(RENAME "${manifest}" "${kept_manifest}")
endif()
function(restore_manifest)
    if(EXISTS "${kept_manifest}")
        file(RENAME "${kept_manifest}" "${manifest}")
    else()
        file(REMOVE "${manifest}")
    endif()
endfunction()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE output
                    ERROR_VARIABLE output)
    if(NOT rc EQUAL 0)
        restore_manifest()
        message(FATAL_ERROR "${ARGN} failed (${rc}):\n${output}")
    endif()
    set(run_output "${output}" PARENT_SCOPE)
endfunction()

run(cpack -G DEB --config "${BUILD}/CPackConfig.cmake" -B "${out}")
restore_manifest()
run(dpkg --print-architecture)
string(STRIP "${run_output}" arch)
set(deb "${out}/ormelit_${VERSION}_${arch}.deb")
if(NOT EXISTS "${deb}")
    file(GLOB made "${out}/*.deb")
    message(FATAL_ERROR "no ${deb}; made: ${made}")
endif()

# Dependencies come from the programs' libraries: Qt and the C++ runtime at least.
run(dpkg-deb -f "${deb}" Package Version Architecture Depends)
foreach(field "Package: ormelit" "Version: ${VERSION}" "Architecture: ${arch}" "libqt6widgets6"
              "libqt6printsupport6" "libqt6svg6" "libstdc++6" "libc6")
    string(FIND "${run_output}" "${field}" at)
    if(at LESS 0)
        message(FATAL_ERROR "control lacks ${field}:\n${run_output}")
    endif()
endforeach()

run(dpkg-deb -c "${deb}")
set(listing "${run_output}")
foreach(file ./usr/bin/ormelit ./usr/bin/ormelit-cli ./usr/share/ormelit/installed
             ./usr/share/applications/${ID}.desktop ./usr/share/mime/packages/${ID}.xml
             ./usr/share/icons/hicolor/scalable/apps/${ID}.svg
             ./usr/share/icons/hicolor/48x48/apps/${ID}.png
             ./usr/share/doc/ormelit/copyright ./usr/share/doc/ormelit/changelog.gz)
    string(FIND "${listing}" " ${file}\n" at)
    if(at LESS 0)
        message(FATAL_ERROR "the package lacks ${file}:\n${listing}")
    endif()
endforeach()
string(FIND "${listing}" "/usr/local" at)
if(NOT at LESS 0)
    message(FATAL_ERROR "the package installs under /usr/local:\n${listing}")
endif()

# Errors fail; warnings are listed in README with their reasons.
find_program(LINTIAN lintian REQUIRED)
run(${LINTIAN} --fail-on error --tag-display-limit 0 "${deb}")
message(STATUS "lintian:\n${run_output}")
file(REMOVE_RECURSE "${out}")
