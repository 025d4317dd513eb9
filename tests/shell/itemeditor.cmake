# Parameter editor dialog and print preview.
torvane_add_test(test_itemeditor SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestItemEditor.cpp LIBS torvane_shell)
torvane_add_test(test_torvaneprint SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestTorvanePrint.cpp LIBS torvane_shell)
