# the program as a user or a production script starts it
torvane_add_test(test_startup SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestStartup.cpp
  LIBS torvane_link Qt6::Gui TIMEOUT 300)
add_dependencies(test_startup torvane torvane-devsim)
torvane_add_test(test_programstart SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestProgramStart.cpp
  LIBS torvane_shell TIMEOUT 120)
