# How fast the tree builds. Nothing here changes what is compiled into a program or what a
# test checks; it only spares the compiler and linker repeated work.

# --- Precompiled Qt headers --------------------------------------------------------------
# Most of a translation unit's time goes into the same Qt headers. Every target gets a shared
# precompiled header, one per set of Qt modules it may use, so a target below the shell still
# sees no widget header (the layering rule stays enforced by the compiler).
option(TORVANE_PCH "Precompile the common Qt headers (shared by every target)" ON)

# --- Targets no test needs ----------------------------------------------------------------
# The benchmarks and the screenshot tool are run by hand. Off, they stay configured but are
# only built when asked for by name (the sanitizer run of scripts/test.sh turns this off).
option(TORVANE_EXTRAS "Build the benchmarks and the screenshot tool with everything else" ON)

# --- Linker -------------------------------------------------------------------------------
# Some seventy executables link the same static libraries; lld takes about half the CPU
# time of the default linker for each of them, gold about two thirds.
include(CheckLinkerFlag)
check_linker_flag(CXX "-fuse-ld=lld" TORVANE_HAVE_LLD)
if(TORVANE_HAVE_LLD)
  add_link_options(-fuse-ld=lld)
else()
  check_linker_flag(CXX "-fuse-ld=gold" TORVANE_HAVE_GOLD)
  if(TORVANE_HAVE_GOLD)
    add_link_options(-fuse-ld=gold)
  endif()
endif()

# --- Debug information of the sanitizer build -----------------------------------------------
# Its reports need function names, files and lines, which -g1 keeps; full variable
# information would only make every object and link larger.
if(TORVANE_SANITIZE AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-g1)
endif()

# With a precompiled header ccache hashes the whole header (some 200 MB) for every file: on a
# fresh clone, where nothing is cached, that costs more than it ever saves. Ninja's own
# dependency tracking keeps rebuilds small.
if(TORVANE_PCH)
  unset(CMAKE_CXX_COMPILER_LAUNCHER)
endif()

set(TORVANE_PCH_CORE
  <QtCore/QObject> <QtCore/QString> <QtCore/QStringList> <QtCore/QByteArray> <QtCore/QList>
  <QtCore/QHash> <QtCore/QMap> <QtCore/QVariant> <QtCore/QDir> <QtCore/QFile> <QtCore/QFileInfo>
  <QtCore/QTimer> <QtCore/QCoreApplication> <QtCore/QElapsedTimer> <QtCore/QTemporaryDir>
  <QtCore/QRegularExpression> <QtCore/QTextStream> <QtCore/QPointer> <QtCore/QDateTime>
  <memory> <functional> <vector>)
set(TORVANE_PCH_GUI ${TORVANE_PCH_CORE}
  <QtGui/QFont> <QtGui/QTextCursor> <QtGui/QTextDocument> <QtGui/QAction> <QtGui/QKeyEvent>)
set(TORVANE_PCH_WIDGETS ${TORVANE_PCH_GUI}
  <QtWidgets/QApplication> <QtWidgets/QWidget> <QtWidgets/QDialog> <QtWidgets/QPushButton>
  <QtWidgets/QLabel> <QtWidgets/QLineEdit> <QtWidgets/QComboBox> <QtWidgets/QCheckBox>
  <QtWidgets/QBoxLayout> <QtWidgets/QPlainTextEdit> <QtWidgets/QTabWidget> <QtWidgets/QMenu>
  <QtWidgets/QTableView> <QtWidgets/QHeaderView>)

# Every target defined in dir and below it.
function(torvane_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    torvane_targets_below(${sub} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# The Qt modules whose headers a target may include: those it links, directly or through the
# public side of the libraries it links (a private dependency gives no include path).
function(torvane_qt_modules target out)
  set(todo ${target})
  set(seen "")
  set(modules "")
  while(todo)
    list(POP_FRONT todo t)
    if(t IN_LIST seen OR NOT TARGET ${t})
      continue()
    endif()
    list(APPEND seen ${t})
    if(t MATCHES "^Qt6?::(.+)$")
      list(APPEND modules ${CMAKE_MATCH_1})
    endif()
    set(links "")
    if(t STREQUAL target)
      get_target_property(links ${t} LINK_LIBRARIES)
    endif()
    get_target_property(interface ${t} INTERFACE_LINK_LIBRARIES)
    foreach(l IN LISTS links interface)
      if(l AND NOT l MATCHES "^\\$<" AND NOT l MATCHES "-NOTFOUND$")
        list(APPEND todo ${l})
      endif()
    endforeach()
  endwhile()
  set(${out} ${modules} PARENT_SCOPE)
endfunction()

# Whether any header of the target (listed, or beside one of its sources, where moc looks
# too) declares a Q_OBJECT, Q_GADGET or Q_NAMESPACE.
function(torvane_has_moc_header target out)
  get_target_property(sources ${target} SOURCES)
  get_target_property(srcdir ${target} SOURCE_DIR)
  set(headers "")
  foreach(s IN LISTS sources)
    if(NOT IS_ABSOLUTE ${s})
      set(s ${srcdir}/${s})
    endif()
    get_filename_component(dir ${s} DIRECTORY)
    get_filename_component(base ${s} NAME_WE)
    if(s MATCHES "\\.(h|hpp|hxx)$")
      list(APPEND headers ${s})
    endif()
    list(APPEND headers ${dir}/${base}.h)
  endforeach()
  list(REMOVE_DUPLICATES headers)
  foreach(h IN LISTS headers)
    if(EXISTS ${h})
      file(STRINGS ${h} hits REGEX "Q_(OBJECT|GADGET|NAMESPACE)")
      if(hits)
        set(${out} ON PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  set(${out} OFF PARENT_SCOPE)
endfunction()

# One small library per header set carries the precompiled header; every other target reuses
# it. Its only definitions are those of its Qt modules, which every user of the set shares.
function(torvane_pch_donor name headers)
  set(source ${CMAKE_BINARY_DIR}/torvane_pch/${name}.cpp)
  if(NOT EXISTS ${source})
    file(WRITE ${source} "// carries the precompiled header of ${name}\n")
  endif()
  add_library(${name} STATIC ${source})
  set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
  target_link_libraries(${name} PRIVATE ${ARGN})
  target_precompile_headers(${name} PRIVATE ${${headers}})
endfunction()

function(torvane_apply_build_speed)
  torvane_targets_below(${CMAKE_SOURCE_DIR} targets)

  if(NOT TORVANE_EXTRAS)
    foreach(dir bench tools/screenshots)
      if(EXISTS ${CMAKE_SOURCE_DIR}/${dir}/CMakeLists.txt)
        set_property(DIRECTORY ${dir} PROPERTY EXCLUDE_FROM_ALL ON)
      endif()
    endforeach()
  endif()

  if(NOT TORVANE_PCH)
    return()
  endif()
  set(donors "")
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      continue()
    endif()
    get_target_property(own ${t} PRECOMPILE_HEADERS)
    get_target_property(reuse ${t} PRECOMPILE_HEADERS_REUSE_FROM)
    if(own OR reuse)
      continue()
    endif()
    torvane_qt_modules(${t} modules)
    if(Widgets IN_LIST modules)
      set(group WIDGETS)
      set(qt Qt6::Widgets Qt6::Gui Qt6::Core)
    elseif(Gui IN_LIST modules)
      set(group GUI)
      set(qt Qt6::Gui Qt6::Core)
    elseif(Core IN_LIST modules)
      set(group CORE)
      set(qt Qt6::Core)
    else()
      continue()
    endif()
    string(TOLOWER "torvane_pch_${group}" donor)
    if(NOT donor IN_LIST donors)
      torvane_pch_donor(${donor} TORVANE_PCH_${group} ${qt})
      list(APPEND donors ${donor})
    endif()
    set_target_properties(${t} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM ${donor})
    # Without a moc-processed header the generated collection of moc output is empty, and
    # loading the header there would cost more than it saves.
    get_target_property(automoc ${t} AUTOMOC)
    if(automoc)
      torvane_has_moc_header(${t} moc)
      if(NOT moc)
        get_target_property(bindir ${t} BINARY_DIR)
        set_source_files_properties(${bindir}/${t}_autogen/mocs_compilation.cpp TARGET_DIRECTORY ${t}
          PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
      endif()
    endif()
  endforeach()
endfunction()

cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL torvane_apply_build_speed)
