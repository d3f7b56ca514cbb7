# Fails when a folder includes one above it, when a file of the display-free core includes a
# widget, X11 or AT-SPI header, or when pool work is handed back to the GUI thread other than by
# TaskPool, or when a file outside a platform backend folder (platform/<backend>/, the loader
# aside) includes an X11, xcb, xkbcommon, AT-SPI or Wayland header. A file belongs to the longest
# layer its path starts with (a folder's subfolders belong to it unless listed as a layer). Run with
# -DROOT=<source dir> -DCORE_SOURCES=<list>.
# The platform backends rank directly above the core; the loader, which chooses among them, above them all.
# In engines/, the HTTP transport, reading answers (chat/), the local engine (ollama/), then what picks between them.
set(layers platform core platform/atspi platform/linux platform/wayland platform/loader settings prompts memory profile
    engines/http engines/chat engines/ollama engines capture update speech popup ui popup/view windows ocr tray app)

function(layer_of path out)
  set(found -1)
  set(longest 0)
  set(index 0)
  foreach(layer IN LISTS layers)
    string(LENGTH "${layer}" length)
    if(path MATCHES "^${layer}/" AND length GREATER longest)
      set(found ${index})
      set(longest ${length})
    endif()
    math(EXPR index "${index} + 1")
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

set(faults "")
file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/*.h ${ROOT}/*.cpp)
foreach(source IN LISTS sources)
  if(source MATCHES "^(tests|tools|bench|fuzz|build[^/]*)/")
    continue()
  endif()
  layer_of(${source} own)
  if(own EQUAL -1)
    list(APPEND faults "${source}: in no layer")
    continue()
  endif()
  # Slow work for the interface has one road, TaskPool::run with TaskPool::toGui: no other
  # helper, and no hand-made post through the application object, beside it.
  if(NOT source STREQUAL "core/TaskPool.h")
    file(READ ${ROOT}/${source} text)
    if(text MATCHES "(runForView|inBackground|postToSession|invokeMethod\\([ \t\r\n]*(QCoreApplication::instance\\(\\)|qApp))")
      list(APPEND faults "${source}: posts pool work by hand (${CMAKE_MATCH_1}); use TaskPool::run or TaskPool::toGui")
    endif()
  endif()
  file(STRINGS ${ROOT}/${source} includes REGEX "^#include \"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
    layer_of(${included} other)
    if(other GREATER own)
      list(APPEND faults "${source} includes ${included} from a higher layer")
    endif()
  endforeach()
endforeach()

# Only the backends talk to a display server or the accessibility bus.
set(session_headers "^#include [<\"](X11/|xcb/|xkbcommon/|atspi/|wayland-|[a-z0-9-]+-client-protocol\\.h)")
foreach(source IN LISTS sources)
  if(source MATCHES "^(tests|tools|bench|fuzz|build[^/]*)/" OR (source MATCHES "^platform/[^/]+/" AND NOT source MATCHES "^platform/loader/"))
    continue()
  endif()
  file(STRINGS ${ROOT}/${source} bad REGEX "${session_headers}")
  if(bad)
    list(APPEND faults "${source}: outside the platform backends, includes ${bad}")
  endif()
endforeach()

set(display_headers "^#include <(Q[A-Za-z]*Widget|QApplication|QtWidgets|QDialog|QSystemTrayIcon|QMenu|X11/|xcb/|xkbcommon/|atspi/)")
foreach(source IN LISTS CORE_SOURCES)
  file(RELATIVE_PATH relative ${ROOT} ${source})
  string(REGEX REPLACE "\\.cpp$" ".h" header ${source})
  foreach(file IN ITEMS ${source} ${header})
    if(EXISTS ${file})
      file(STRINGS ${file} bad REGEX "${display_headers}")
      if(bad)
        list(APPEND faults "${relative}: the core includes ${bad}")
      endif()
    endif()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "${text}")
endif()
