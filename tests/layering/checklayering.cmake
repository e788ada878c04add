cmake_minimum_required(VERSION 3.25)
# Every source folder names the folders it may include from; an include of any other folder of
# the project (an arrow upward or sideways) fails. Layers, from the bottom: platform/text; the
# other platform layers (printing below the RTF layer); the control library; the store; the
# program's shared pieces; the windows; the command-line modes; the main window, which installs
# them all.
set(failures "")

set(platform_all platform/text platform/sqlite platform/postgres platform/print platform/rtf platform/desktop platform/objects)

set(allowed_platform/text "")
set(allowed_platform/sqlite platform/text)
set(allowed_platform/postgres "")
set(allowed_platform/print "")
set(allowed_platform/rtf platform/text platform/print)
set(allowed_platform/desktop platform/text)
set(allowed_platform/objects platform/text platform/desktop)
set(allowed_controls controls ${platform_all})
set(allowed_app/icons "")
set(allowed_app/store platform/text platform/sqlite platform/postgres platform/desktop)
set(allowed_app/exchange app/store ${platform_all})
set(allowed_app/common app/store app/exchange app/icons controls ${platform_all})
set(allowed_app/viewers app/common app/store app/icons controls ${platform_all})
set(allowed_app/search app/common app/store app/icons ${platform_all})
set(allowed_app/entry app/common app/store app/icons controls ${platform_all})
set(allowed_app/admin app/common app/store app/exchange app/icons controls ${platform_all})
set(allowed_app/cli app/common app/store app/exchange ${platform_all})
set(allowed_app/main app/cli app/common app/store app/exchange app/icons app/viewers app/search app/entry app/admin
    controls ${platform_all})
set(allowed_manual platform/text platform/desktop)

# The folder a path names: the control library and the help installer are one folder each,
# the program and the platform layers are folders of two parts.
function(included_folder include out)
    if(include MATCHES "^(controls|manual)/")
        set(${out} ${CMAKE_MATCH_1} PARENT_SCOPE)
    else()
        string(REGEX MATCH "^[a-z]+/[a-z]+" folder "${include}")
        set(${out} "${folder}" PARENT_SCOPE)
    endif()
endfunction()

function(check_folder folder)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](app|platform|controls)/")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]*)[>\"].*" "\\1" include "${line}")
            included_folder("${include}" target)
            if(NOT target STREQUAL folder AND NOT target IN_LIST allowed_${folder})
                list(APPEND failures "${source}: ${folder} may not include ${target}: ${line}")
            endif()
        endforeach()
    endforeach()
    set(failures "${failures}" PARENT_SCOPE)
endfunction()

function(forbid folder regex why)
    file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source IN LISTS sources)
        file(STRINGS ${source} hits REGEX "${regex}")
        if(hits)
            list(APPEND failures "${source}: ${why}: ${hits}")
        endif()
    endforeach()
    set(failures "${failures}" PARENT_SCOPE)
endfunction()

# Every folder with sources must have a rule, so a new folder cannot slip past the check.
file(GLOB_RECURSE all_sources RELATIVE ${SOURCE_DIR}
     ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/controls/*.cpp ${SOURCE_DIR}/manual/*.cpp)
foreach(source IN LISTS all_sources)
    included_folder("${source}" folder)
    if(NOT DEFINED allowed_${folder})
        list(APPEND failures "${source}: the folder ${folder} has no layering rule")
    endif()
endforeach()

foreach(folder platform/text platform/sqlite platform/postgres platform/print platform/rtf platform/desktop platform/objects controls
               app/icons app/store app/exchange app/common app/cli app/viewers app/search app/entry app/admin app/main manual)
    check_folder(${folder})
endforeach()

forbid(app/store "#include <Q(Widget|Dialog|MainWindow|Label|LineEdit|ComboBox|MessageBox|Application)>" "the store includes widgets")
forbid(app/store "#include <QtWidgets" "the store includes widgets")
forbid(app/exchange "#include <Q(Widget|Dialog|MainWindow|Label|LineEdit|ComboBox|MessageBox|Application)>" "the exchange code includes widgets")
forbid(app/exchange "#include <QtWidgets" "the exchange code includes widgets")

if(failures)
    string(REPLACE ";" "\n" report "${failures}")
    message(FATAL_ERROR "${report}")
endif()
message(STATUS "layering ok")
