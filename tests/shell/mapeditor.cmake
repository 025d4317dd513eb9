# the mapping editor and its string grid
torvane_add_test(test_selectstringgrid SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestSelectStringGrid.cpp LIBS torvane_shell)
torvane_add_test(test_mapeditor SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestMapEditor.cpp LIBS torvane_shell)
