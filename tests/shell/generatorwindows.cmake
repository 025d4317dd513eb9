# The generators in the window: Options > Generate EDS and the extension dialog (against the
# simulated gateway).
torvane_add_test(test_edscommand SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestEdsCommand.cpp LIBS torvane_shell)
torvane_add_test(test_extensiondlg SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestExtensionDlg.cpp
  LIBS torvane_shell torvane_devsim TIMEOUT 180)
# The HEX files of the extension tests are made with the generator tests' helpers.
target_include_directories(test_extensiondlg PRIVATE ${CMAKE_SOURCE_DIR}/tests/generators)
