# State window, help window and about box.
torvane_add_test(test_statewindow SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestStatusFenster.cpp LIBS torvane_shell)
torvane_add_test(test_helpviewer SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestHelpViewer.cpp LIBS torvane_shell)
torvane_add_test(test_helpabout SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestHelpAbout.cpp LIBS torvane_shell)
