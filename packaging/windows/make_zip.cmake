# Lays out the portable program in OUT/ and packs OUT.zip (see CMakeLists.txt).
file(REMOVE_RECURSE ${OUT} ${OUT}.zip)
file(MAKE_DIRECTORY ${OUT})
file(COPY ${EXECUTABLE} DESTINATION ${OUT})
foreach(module Core Gui Widgets)
    file(COPY ${QT_BIN}/Qt6${module}.dll DESTINATION ${OUT})
endforeach()
file(COPY ${RUNTIME} DESTINATION ${OUT})
# Qt looks for its plugins in folders beside the executable.
file(COPY ${QT_PLUGINS}/platforms/qwindows.dll DESTINATION ${OUT}/platforms)
file(COPY ${QT_PLUGINS}/styles/qwindowsvistastyle.dll DESTINATION ${OUT}/styles)
# The compiler's runtime comes with its debugging symbols (libstdc++ alone is 23 MB of them).
file(GLOB_RECURSE binaries ${OUT}/*.exe ${OUT}/*.dll)
execute_process(COMMAND ${STRIP} --strip-unneeded ${binaries} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not strip the program's files")
endif()
# What the program is and who may copy it: its own terms, and Qt's for the Qt libraries.
file(COPY ${SOURCE}/packaging/copyright DESTINATION ${OUT})
file(GLOB qt_licences ${QT_BIN}/../licenses/*.txt)
file(COPY ${qt_licences} DESTINATION ${OUT}/qt-licenses)
get_filename_component(name ${OUT} NAME)
get_filename_component(parent ${OUT} DIRECTORY)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}.zip --format=zip ${name}
    WORKING_DIRECTORY ${parent} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not pack ${OUT}.zip")
endif()
