# Project-wide build settings and helpers.

if(MSVC)
  add_compile_options(/W4)
  if(VELKOR_WERROR)
    add_compile_options(/WX)
  endif()
else()
  add_compile_options(-Wall -Wextra)
  if(VELKOR_WERROR)
    add_compile_options(-Werror)
  endif()
endif()

if(VELKOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Every module carries its own copy of the mingw runtime, so no runtime DLL
  # has to be shipped beside the programs; exceptions still cross modules.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# Header-only dependencies. The cross build must not see /usr/include (glibc's
# headers would mix in), so it gets a folder holding only those libraries.
if(CMAKE_CROSSCOMPILING)
  set(VELKOR_HEADER_LIBS_DIR ${CMAKE_BINARY_DIR}/header-libs)
  file(MAKE_DIRECTORY ${VELKOR_HEADER_LIBS_DIR})
  foreach(lib boost nlohmann CLI)
    if(EXISTS /usr/include/${lib} AND NOT EXISTS ${VELKOR_HEADER_LIBS_DIR}/${lib})
      file(CREATE_LINK /usr/include/${lib} ${VELKOR_HEADER_LIBS_DIR}/${lib} SYMBOLIC)
    endif()
  endforeach()
  add_library(velkor_header_libs INTERFACE)
  target_include_directories(velkor_header_libs SYSTEM INTERFACE ${VELKOR_HEADER_LIBS_DIR})
else()
  find_package(Boost 1.74 REQUIRED)
  add_library(velkor_header_libs INTERFACE)
  target_link_libraries(velkor_header_libs INTERFACE Boost::headers)
endif()

# expat and OpenSSL: Debian's packages for Linux; for Windows, static builds
# that scripts/install-deps makes from Debian's source packages (see
# cmake/mingw-w64-x86_64.cmake).
if(CMAKE_CROSSCOMPILING)
  foreach(library expat openssl)
    if(NOT EXISTS ${VELKOR_MINGW_DEPS}/${library}/lib)
      message(FATAL_ERROR "No mingw-w64 build of ${library} in ${VELKOR_MINGW_DEPS}: run scripts/install-deps "
                          "(or set VELKOR_MINGW_DEPS to the folder it built them in).")
    endif()
  endforeach()
  set(OPENSSL_USE_STATIC_LIBS TRUE)
endif()
find_package(EXPAT REQUIRED)
find_package(OpenSSL 3.0 REQUIRED)
if(CMAKE_CROSSCOMPILING)
  # A static expat exports nothing with dllimport. FindOpenSSL already adds
  # ws2_32 and crypt32 to the static libcrypto; it also calls advapi32 (the
  # registry, the event log, random numbers) and user32 (whether it runs as a
  # service), which mingw-w64 links by default.
  set_property(TARGET EXPAT::EXPAT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS XML_STATIC)
  set_property(TARGET OpenSSL::Crypto APPEND PROPERTY INTERFACE_LINK_LIBRARIES advapi32 user32)
endif()

# Tests run natively, or under Wine in a prefix inside the build folder that
# is created once before any test runs.
if(CMAKE_CROSSCOMPILING)
  set(VELKOR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(VELKOR_TEST_ENVIRONMENT "WINEPREFIX=${VELKOR_WINEPREFIX};WINEDEBUG=-all")
else()
  set(VELKOR_TEST_ENVIRONMENT "")
endif()

function(velkor_register_test name)
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wineprefix)
  endif()
  if(VELKOR_TEST_ENVIRONMENT)
    set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT ${VELKOR_TEST_ENVIRONMENT})
  endif()
endfunction()

# velkor_add_gtest(NAME SOURCES ... LIBRARIES ...): one GoogleTest program,
# registered with CTest as one test per program (a Wine start per test case
# would multiply the cross suite's time).
function(velkor_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} velkor_gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  velkor_register_test(${name})
endfunction()

# The fuzz targets' coverage comes from instrumenting all of the project's
# code, not only the fuzz entry points.
if(VELKOR_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# velkor_include_tree(OUT NAME PATHS...): a folder of the build holding only
# the given paths of the source tree (folders or files, at the same relative
# place), so that a target that offers it offers those headers and no others.
function(velkor_include_tree out name)
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  foreach(path ${ARGN})
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    if(NOT EXISTS ${root}/${path})
      file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
    endif()
  endforeach()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# velkor_plugin_layer(NAME FOLDER [EXCLUDE REGEX] DEPENDS ...): one folder of
# the plug-in as an object library. Its headers, included as "FOLDER/....h",
# reach only the targets that link it, and it reaches only the headers of what
# it depends on: an include against the layering fails to build.
function(velkor_plugin_layer name folder)
  cmake_parse_arguments(ARG "" "EXCLUDE" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  if(ARG_EXCLUDE)
    list(FILTER sources EXCLUDE REGEX ${ARG_EXCLUDE})
  endif()
  add_library(${name} OBJECT ${sources})
  velkor_include_tree(tree ${name} ${folder})
  target_include_directories(${name} PUBLIC ${tree})
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
  # A null host handle reaches the host's assertion hook, which throws,
  # instead of aborting the host process.
  target_compile_definitions(${name} PUBLIC BOOST_ENABLE_ASSERT_HANDLER)
  set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
endfunction()
