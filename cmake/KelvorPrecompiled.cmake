# kelvor_precompile_qt(<target>)
# Most of the time spent compiling a Qt source file goes into reading the Qt headers again. A
# target that reaches Qt takes a precompiled header of the Qt headers from one small host target
# per set of Qt modules, so the headers are compiled once per set and build, not once per file.
# GCC uses a precompiled header only where the Qt macros (QT_WIDGETS_LIB, ...) match the ones it
# was made with, so the host links exactly the Qt modules its users reach.
#
# With a precompiled header, GCC 12 at -O2 and above reports the standard library's own inlined
# std::string code ("x" + std::string) as out of bounds (-Wstringop-overflow, -Wstringop-overread,
# -Warray-bounds), which it does not without one; those three are off for that compiler. The
# sanitizer builds check every access at run time.
option(KELVOR_PRECOMPILE_QT "Precompile the Qt headers once per set of Qt modules" ON)
if(KELVOR_PRECOMPILE_QT AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU"
   AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-stringop-overflow -Wno-stringop-overread -Wno-array-bounds)
endif()

# Qt Test adds the target's own build and source folders as macros (QT_TESTCASE_BUILDDIR,
# QT_TESTCASE_SOURCEDIR) that its header tests, so no two test folders could share one
# precompiled header. They serve only QFINDTESTDATA, which no test uses.
if(KELVOR_PRECOMPILE_QT)
  set_property(TARGET Qt6::Test PROPERTY INTERFACE_COMPILE_DEFINITIONS QT_TESTLIB_LIB)
endif()

set(KELVOR_PCH_HEADERS_Core <QtCore/QObject> <QtCore/QString> <QtCore/QStringList>
                            <QtCore/QByteArray> <QtCore/QList> <QtCore/QTimer>)
set(KELVOR_PCH_HEADERS_Gui <QtGui/QPainter> <QtGui/QImage> <QtGui/QFont>)
set(KELVOR_PCH_HEADERS_Widgets <QtWidgets/QApplication> <QtWidgets/QWidget>
                               <QtWidgets/QLabel> <QtWidgets/QLineEdit>)
set(KELVOR_PCH_HEADERS_PrintSupport <QtPrintSupport/QPrinter>)
set(KELVOR_PCH_HEADERS_Test <QtTest/QTest> <QtTest/QSignalSpy>)

# The Qt6 modules <target> reaches through the libraries it links, into <out>.
function(kelvor_qt_modules target out)
  set(seen "")
  set(pending ${target})
  set(modules "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen OR NOT TARGET ${current})
      continue()
    endif()
    list(APPEND seen ${current})
    if(current MATCHES "^Qt6::(Core|Gui|Widgets|PrintSupport|Test)$")
      list(APPEND modules ${CMAKE_MATCH_1})
    endif()
    set(links "")
    if(NOT current STREQUAL target)
      get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(links ${current} LINK_LIBRARIES)
    endif()
    foreach(link IN LISTS links)
      # Links wrapped in generator expressions ($<LINK_ONLY:...>) are not compiled against.
      if(link AND NOT link MATCHES "^\\$<")
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  list(REMOVE_DUPLICATES modules)
  list(SORT modules)
  set(${out} "${modules}" PARENT_SCOPE)
endfunction()

function(kelvor_precompile_qt target)
  if(NOT KELVOR_PRECOMPILE_QT)
    return()
  endif()
  kelvor_qt_modules(${target} modules)
  if(NOT modules)
    return()
  endif()
  string(JOIN "_" key ${modules})
  set(host kelvor_pch_${key})
  if(NOT TARGET ${host})
    set(source ${PROJECT_BINARY_DIR}/kelvor_pch_host.cpp)
    if(NOT EXISTS ${source})
      file(WRITE ${source} "// Carries the precompiled Qt headers; compiles to nothing.\n")
    endif()
    add_library(${host} OBJECT ${source})
    set(headers "")
    foreach(module IN LISTS modules)
      target_link_libraries(${host} PRIVATE Qt6::${module})
      list(APPEND headers ${KELVOR_PCH_HEADERS_${module}})
    endforeach()
    set_target_properties(${host} PROPERTIES AUTOMOC OFF)
    target_precompile_headers(${host} PRIVATE ${headers})
  endif()
  target_precompile_headers(${target} REUSE_FROM ${host})
endfunction()
