# Installs the build into a fresh prefix and checks that the installed programs find their
# data under <prefix>/share/torvane, with nothing of the build tree beside them.
#   cmake -DBUILD_DIR=... -DPREFIX=... -DWORK_DIR=... -P CheckInstall.cmake

function(check_ok result what)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${what} failed (${result})")
  endif()
endfunction()

file(REMOVE_RECURSE "${PREFIX}" "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE rc OUTPUT_QUIET)
check_ok("${rc}" "cmake --install")

set(data "${PREFIX}/share/torvane")
foreach(path
    bin/torvane bin/torvane-cli bin/torvane-devsim
    share/torvane/lang/english_en_gb.ini share/torvane/lang/german_de_de.ini
    share/torvane/lang/userlang2applang.ini
    share/torvane/ddtemplate/001F_GW110.eds share/torvane/help/en/index.html
    share/torvane/examples/vantor.tcf share/torvane/examples/gw110.gwc
    share/applications/torvane.desktop share/icons/hicolor/scalable/apps/torvane.svg
    share/mime/packages/torvane.xml
    share/man/man1/torvane.1 share/man/man1/torvane-cli.1)
  if(NOT EXISTS "${PREFIX}/${path}")
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
if(EXISTS "${PREFIX}/bin/lang" OR EXISTS "${data}/examples/vantor.tcf.in")
  message(FATAL_ERROR "data installed where it does not belong")
endif()

# The language folder the installed program uses is the installed one, with both languages.
execute_process(COMMAND "${PREFIX}/bin/torvane-cli" show --lang klingon
    --tcf "${data}/examples/vantor.tcf" "${data}/examples/gw110.gwc"
  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE rc ERROR_VARIABLE err OUTPUT_QUIET)
string(FIND "${err}" "\"${data}/lang\" (installed: english, german)" found)
if(NOT rc EQUAL 2 OR found EQUAL -1)
  message(FATAL_ERROR "installed torvane-cli does not use ${data}/lang: ${err}")
endif()

# ... and it reads with a chosen language, and finds the EDS templates there.
execute_process(COMMAND "${PREFIX}/bin/torvane-cli" show --lang german
    --tcf "${data}/examples/vantor.tcf" "${data}/examples/gw110.gwc"
  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
check_ok("${rc}" "installed torvane-cli show --lang german: ${err}")
string(FIND "${out}" "GW110" found)
if(found EQUAL -1)
  message(FATAL_ERROR "installed torvane-cli show printed no device: ${out}")
endif()
execute_process(COMMAND "${PREFIX}/bin/torvane-cli" eds --tcf "${data}/examples/vantor.tcf"
    -o "${WORK_DIR}/gw110.eds" "${data}/examples/gw110.gwc"
  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
check_ok("${rc}" "installed torvane-cli eds: ${err}")
if(NOT EXISTS "${WORK_DIR}/gw110.eds")
  message(FATAL_ERROR "installed torvane-cli eds wrote nothing")
endif()

# The installed window program starts (without a display: QT_QPA_PLATFORM=offscreen).
execute_process(COMMAND "${PREFIX}/bin/torvane" --version
  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
check_ok("${rc}" "installed torvane --version: ${err}")
if(NOT out MATCHES "^torvane [0-9]")
  message(FATAL_ERROR "installed torvane --version printed: ${out}")
endif()

file(REMOVE_RECURSE "${PREFIX}" "${WORK_DIR}")
