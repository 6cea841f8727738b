# Build helpers: one static library per source folder, one test program per library.

set(LQ_WARNING_FLAGS -Wall -Wextra)
if(LQ_WERROR)
  list(APPEND LQ_WARNING_FLAGS -Werror)
endif()

if(LQ_SANITIZE)
  add_compile_options(-fsanitize=${LQ_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${LQ_SANITIZE})
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # The instrumentation makes gcc see uninitialised reads that cannot happen.
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
endif()

# lq_add_library(<name> DIR <folder under src> DEPS <libraries>)
function(lq_add_library name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${ARG_DIR}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${ARG_DIR}/*.h)
  if(NOT sources)
    # Headers only, so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${name} STATIC ${sources} ${headers})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  target_compile_options(${name} PRIVATE ${LQ_WARNING_FLAGS})
endfunction()

# lq_add_test(<name> DIR <folder under tests> DEPS <libraries>)
function(lq_add_test name)
  cmake_parse_arguments(ARG "" "DIR" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/tests/${ARG_DIR}/*.cpp
    ${PROJECT_SOURCE_DIR}/tests/${ARG_DIR}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE lq_test_support ${ARG_DEPS})
  target_compile_options(${name} PRIVATE ${LQ_WARNING_FLAGS})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300)
endfunction()
