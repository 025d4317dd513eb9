# The File menu: open, save, save as, close, printer set-up and print through the main window.
torvane_add_test(test_filecommands SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestFileCommands.cpp LIBS torvane_shell)
