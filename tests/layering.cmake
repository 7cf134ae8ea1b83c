# Checks the rules of the wings that the libraries alone cannot: the kit and the windows share
# one library, so only their includes show whether the kit knows a concrete window or a window
# knows the application. Run by CTest: cmake -DSRC=<src folder> -P layering.cmake

set(faults "")

function(check folder pattern rule)
    file(GLOB_RECURSE files "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" hits REGEX "${pattern}")
        foreach(hit IN LISTS hits)
            file(RELATIVE_PATH name "${SRC}" "${file}")
            set(faults "${faults}\n  ${name}: ${hit}  (${rule})")
        endforeach()
    endforeach()
    set(faults "${faults}" PARENT_SCOPE)
endfunction()

set(include "^[ \t]*#[ \t]*include[ \t]*")
set(areas "classifier|projection|report|organigram|settings|help")
set(widgets "QtWidgets/|QtPrintSupport/|QWidget|QApplication|QDialog|QMainWindow|QPrinter")

check(core "${include}[<\"](Q|gui/|format/|app/|cli/)" "the core knows no Qt")
check(format "${include}[<\"](${widgets}|gui/|app/|cli/)" "the formats know no widgets")
check(gui/kit "${include}\"(gui/(${areas})|app)/" "the kit knows no concrete window")
check(gui "${include}\"app/" "windows reach the application only through the kit")

if(faults)
    message(FATAL_ERROR "Includes that cross a wing's rule:${faults}")
endif()
