# The settings dialog and store, the port sheets and the description-file sheet.
torvane_add_test(test_options SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestOptions.cpp LIBS torvane_shell)
torvane_add_test(test_options_commands SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestOptionsCommands.cpp LIBS torvane_shell)
