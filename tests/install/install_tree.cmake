# Installs the build into a temporary DESTDIR under an unusual prefix and checks every installed
# file: present, valid for the desktop's own tools, and the tab file type known to a MIME database
# built from the installed package alone.
#   cmake -DBUILD=<build folder> -DAPP_ID=<id> -DWORK=<scratch folder> -P install_tree.cmake
cmake_minimum_required(VERSION 3.25)
set(PREFIX /opt/grooveloom-test)
set(ROOT ${WORK}/root)
set(TREE ${ROOT}${PREFIX})
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "${cmd} failed (${rc}):\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} -E env DESTDIR=${ROOT} ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX})

set(expected
  bin/grooveloom
  share/grooveloom/help.html
  share/applications/${APP_ID}.desktop
  share/icons/hicolor/scalable/apps/${APP_ID}.svg
  share/icons/hicolor/48x48/apps/${APP_ID}.png
  share/icons/hicolor/scalable/mimetypes/application-x-grooveloom-tab.svg
  share/mime/packages/${APP_ID}.xml
  share/metainfo/${APP_ID}.metainfo.xml
  share/man/man1/grooveloom.1.gz
  share/doc/grooveloom/copyright
  share/doc/grooveloom/changelog.gz)
foreach(f IN LISTS expected)
  if(NOT EXISTS ${TREE}/${f})
    message(FATAL_ERROR "not installed: ${PREFIX}/${f}")
  endif()
endforeach()
# Nothing outside the prefix, nothing else inside it (no static libraries, no test programs).
file(GLOB_RECURSE installed RELATIVE ${TREE} ${ROOT}/*)
foreach(f IN LISTS installed)
  if(NOT f IN_LIST expected)
    message(FATAL_ERROR "unexpected installed file: ${f}")
  endif()
endforeach()

# The program runs from there, and finds its help page the way the Help menu looks for it.
run(${TREE}/bin/grooveloom --help)
if(NOT out MATCHES "grooveloom \\[FILE\\]")
  message(FATAL_ERROR "installed program printed: ${out}")
endif()
# One version everywhere: the program's, the metainfo's newest release, the man page's and the
# changelog's.
run(${TREE}/bin/grooveloom --version)
if(NOT out MATCHES "^Grooveloom ([0-9][0-9.]*)\n$")
  message(FATAL_ERROR "grooveloom --version printed: ${out}")
endif()
set(version ${CMAKE_MATCH_1})
file(READ ${TREE}/share/metainfo/${APP_ID}.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${version}\"")
  message(FATAL_ERROR "the metainfo's release is not ${version}")
endif()
file(READ ${TREE}/share/grooveloom/help.html help LIMIT 200)
if(NOT help MATCHES "<")
  message(FATAL_ERROR "help.html is not the help page")
endif()

# The icons: an SVG, and a 48 x 48 PNG (width and height at bytes 16..23 of the header).
file(READ ${TREE}/share/icons/hicolor/48x48/apps/${APP_ID}.png png HEX LIMIT 24)
if(NOT png STREQUAL "89504e470d0a1a0a0000000d494844520000003000000030")
  message(FATAL_ERROR "the PNG icon is not a 48 x 48 PNG: ${png}")
endif()
file(READ ${TREE}/share/icons/hicolor/scalable/apps/${APP_ID}.svg svg)
if(NOT svg MATCHES "<svg")
  message(FATAL_ERROR "the scalable icon is not an SVG")
endif()

# The desktop entry and the metainfo pass the validators.
run(desktop-file-validate ${TREE}/share/applications/${APP_ID}.desktop)
if(NOT out STREQUAL "")
  message(FATAL_ERROR "desktop-file-validate: ${out}")
endif()
file(READ ${TREE}/share/applications/${APP_ID}.desktop entry)
foreach(line "GenericName=Drum Tab Editor" "Exec=grooveloom %f" "Icon=${APP_ID}" "Terminal=false"
             "Categories=AudioVideo;Audio;Music;" "MimeType=application/x-grooveloom-tab;")
  string(FIND "${entry}" "\n${line}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks ${line}")
  endif()
endforeach()
run(appstreamcli validate --no-net ${TREE}/share/metainfo/${APP_ID}.metainfo.xml)

# The man page is roff (gzip -9n: no name or time stamp inside) with the command line, every
# output format, the environment and the files.
foreach(gz share/man/man1/grooveloom.1.gz share/doc/grooveloom/changelog.gz)
  file(READ ${TREE}/${gz} header HEX LIMIT 10)
  if(NOT header MATCHES "^1f8b08000000000002")
    message(FATAL_ERROR "${gz} is not compressed with gzip -9n: ${header}")
  endif()
endforeach()
run(gzip -dc ${TREE}/share/man/man1/grooveloom.1.gz)
set(man "${out}")
run(gzip -dc ${TREE}/share/doc/grooveloom/changelog.gz)
if(NOT out MATCHES "^grooveloom \\(${version}\\)")
  message(FATAL_ERROR "the changelog does not start with version ${version}")
endif()
foreach(word ".TH GROOVELOOM 1 \"December 2026\" \"Grooveloom ${version}\"" "GROOVELOOM_SOUNDFONT"
             "GROOVELOOM_MIDI_LOG" "GROOVELOOM_AUTOSAVE_SECONDS" "XDG_CONFIG_HOME" "XDG_STATE_HOME"
             "recovery" "Recent Files" "PDF" "print" ".BR .pdf" ".BR .wav" ".BR .flac" ".BR .ogg"
             "\\-\\-version")
  string(FIND "${man}" "${word}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the man page does not mention ${word}")
  endif()
endforeach()

# The file type, from a MIME database built from the installed package alone: by the extension,
# and by the magic for a tab file without it.
file(MAKE_DIRECTORY ${WORK}/data/mime/packages)
file(COPY ${TREE}/share/mime/packages/${APP_ID}.xml DESTINATION ${WORK}/data/mime/packages)
run(update-mime-database ${WORK}/data/mime)
file(WRITE ${WORK}/song.gvlm "not even a tab")
file(WRITE ${WORK}/song-without-extension "xx$#GVLM\n\n\n\n")
file(WRITE ${WORK}/other.bin "xx$#GVLX\n\n\n\n")
foreach(pair "song.gvlm=application/x-grooveloom-tab"
             "song-without-extension=application/x-grooveloom-tab" "other.bin=")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(LENGTH pair n)
  set(want "")
  if(n GREATER 1)
    list(GET pair 1 want)
  endif()
  run(${CMAKE_COMMAND} -E env XDG_DATA_HOME=${WORK}/data XDG_DATA_DIRS=${WORK}/data
      gio info -a standard::content-type ${WORK}/${name})
  string(REGEX MATCH "standard::content-type: ([^\n]*)" found "${out}")
  set(type "${CMAKE_MATCH_1}")
  if(want AND NOT type STREQUAL want)
    message(FATAL_ERROR "${name} is ${type}, expected ${want}")
  elseif(NOT want AND type STREQUAL "application/x-grooveloom-tab")
    message(FATAL_ERROR "${name} taken for a tab file")
  endif()
endforeach()
message(STATUS "installed tree in ${TREE} checked")
