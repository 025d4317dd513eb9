# the main window
torvane_add_test(test_gwmainform SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestGWMainForm.cpp
  LIBS torvane_shell torvane_devsim TIMEOUT 180)
