# Common build settings for every Quillmere target.

add_library(qm_config INTERFACE)
add_library(Quillmere::Config ALIAS qm_config)
target_compile_features(qm_config INTERFACE cxx_std_20)
target_compile_definitions(qm_config INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_USE_QSTRINGBUILDER)
target_compile_options(qm_config INTERFACE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(QM_WERROR)
    target_compile_options(qm_config INTERFACE -Werror)
endif()

# Optimised builds (the package is one) are hardened as Debian builds its own: checked buffer
# functions, stack protection, read-only relocations resolved at start and position-independent
# executables. A Debug build has no optimisation, which the checked functions need.
set(qm_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
target_compile_options(qm_config INTERFACE
    $<${qm_optimised}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2;-fstack-protector-strong>)
target_link_options(qm_config INTERFACE $<${qm_optimised}:LINKER:-z,relro,-z,now>)
include(CheckPIESupported)
check_pie_supported()

# Where an install puts things (FHS). The control library and the help installer are the
# program's own, so they go into a private folder under the architecture's library folder (never
# one the dynamic linker's cache lists) and the program finds the library through a runpath
# relative to itself.
include(GNUInstallDirs)
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(QM_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/quillmere)
else()
    set(QM_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/quillmere)
endif()
set(QM_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/quillmere)
# Every runpath is relative to the binary ($ORIGIN), never an absolute build folder: a copied
# program loads the library copied beside it, an installed one the library of its own prefix.
set(CMAKE_BUILD_RPATH_USE_ORIGIN ON)
file(RELATIVE_PATH qm_bin_to_lib /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${QM_INSTALL_LIBDIR})
set(CMAKE_INSTALL_RPATH "$ORIGIN;$ORIGIN/${qm_bin_to_lib}")

set(QM_EXCLUDE_DIRS "" CACHE STRING "Folders (relative to the source tree) to leave out of the build")

# add_subdirectory() for each listed folder that has a CMakeLists.txt.
function(quillmere_add_subdirectories)
    file(RELATIVE_PATH here ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    foreach(dir IN LISTS ARGN)
        if(here)
            set(full ${here}/${dir})
        else()
            set(full ${dir})
        endif()
        if(full IN_LIST QM_EXCLUDE_DIRS)
            continue()
        endif()
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()

# quillmere_add_test(<name> SOURCES <files...> LIBS <targets...> [ENVIRONMENT <k=v...>] [TIMEOUT s])
# A Qt Test executable run offscreen, with its own settings and data folders so that no test
# reads or writes the user's real ones.
function(quillmere_add_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENVIRONMENT" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Quillmere::Config Qt6::Test ${ARG_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    add_test(NAME ${name} COMMAND ${name})
    set(home ${CMAKE_BINARY_DIR}/test-home/${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOME=${home};XDG_CONFIG_HOME=${home}/config;XDG_DATA_HOME=${home}/data;XDG_CACHE_HOME=${home}/cache;XDG_RUNTIME_DIR=${home}/runtime;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu;LC_ALL=C.UTF-8;${ARG_ENVIRONMENT}")
    file(MAKE_DIRECTORY ${home}/runtime)
    file(CHMOD ${home}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endfunction()
