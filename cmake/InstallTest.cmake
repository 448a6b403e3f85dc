# Installs a built tree into a scratch prefix and checks what a user of the
# installed tree meets: the files are there, examples/ builds with
# find_package(tavrin) and with pkg-config, the example host decodes a
# stream, and the installed tool runs.
#
# With the GStreamer element built, also that GStreamer finds the installed
# plugin in <prefix>/<libdir>/gstreamer-1.0 and that it decodes.
#
#   cmake -DBUILD_DIR=... -DSOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=...
#         -DC_COMPILER=... [-DSANITIZE=ON] [-DGST_INSPECT=... -DGST_LAUNCH=...]
#         -P InstallTest.cmake

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}${err}" PARENT_SCOPE)
endfunction()

function(expect_contains text what)
  string(FIND "${text}" "${what}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected '${what}' in:\n${text}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# What is installed.
file(GLOB_RECURSE libraries ${prefix}/*/libtavrin.so)
file(GLOB_RECURSE package_configs ${prefix}/*/tavrinConfig.cmake)
file(GLOB_RECURSE pkg_configs ${prefix}/*/tavrin.pc)
foreach(found libraries package_configs pkg_configs)
  if(NOT ${found})
    message(FATAL_ERROR "nothing installed for ${found} under ${prefix}")
  endif()
endforeach()
foreach(path include/tavrin.h bin/tavrin)
  if(NOT EXISTS ${prefix}/${path})
    message(FATAL_ERROR "${path} is not installed under ${prefix}")
  endif()
endforeach()
list(GET libraries 0 library)
get_filename_component(libdir ${library} DIRECTORY)
list(GET pkg_configs 0 pc_file)
get_filename_component(pc_dir ${pc_file} DIRECTORY)

set(stream ${SOURCE_DIR}/tests/data/mpeg4_ipb.m4v)
set(sanitize_flags)
if(SANITIZE)
  set(sanitize_flags -fsanitize=address,undefined)
endif()

# examples/ through the CMake package configuration.
string(REPLACE ";" " " flags "${sanitize_flags}")
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples -B ${WORK_DIR}/examples -G ${GENERATOR}
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix}
    "-DCMAKE_C_FLAGS=${flags}" "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/examples)
run(${WORK_DIR}/examples/example_host ${stream} 176 144)
expect_contains("${RUN_OUTPUT}" "20 pictures handed over, 20 calls returned a picture")

# The same host through pkg-config.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${pc_dir})
  run(${PKG_CONFIG} --cflags tavrin)
  string(STRIP "${RUN_OUTPUT}" cflags)
  run(${PKG_CONFIG} --libs tavrin)
  string(STRIP "${RUN_OUTPUT}" libs)
  separate_arguments(cflags UNIX_COMMAND "${cflags}")
  separate_arguments(libs UNIX_COMMAND "${libs}")
  run(${C_COMPILER} ${sanitize_flags} ${cflags} ${SOURCE_DIR}/examples/example_host.c -o ${WORK_DIR}/host_pc
      ${libs} -Wl,-rpath,${libdir})
  run(${WORK_DIR}/host_pc ${stream} 176 144)
  expect_contains("${RUN_OUTPUT}" "calls returned a picture")
else()
  message(STATUS "pkg-config not found: the pkg-config build is not tried")
endif()

# The installed tool finds the installed library.
run(${prefix}/bin/tavrin info ${SOURCE_DIR}/tests/data/xvid_packed.avi)
expect_contains("${RUN_OUTPUT}" "176x144")
execute_process(COMMAND ${prefix}/bin/tavrin decode ${WORK_DIR}/no-such-file.avi -o ${WORK_DIR}/out.y4m
                RESULT_VARIABLE status ERROR_VARIABLE err OUTPUT_QUIET)
if(status EQUAL 0)
  message(FATAL_ERROR "decoding a missing file succeeded")
endif()
expect_contains("${err}" "no-such-file.avi")
# The GStreamer plugin, where GStreamer looks for the plugins of a prefix.
if(GST_INSPECT AND GST_LAUNCH)
  set(plugin_dir ${libdir}/gstreamer-1.0)
  if(NOT EXISTS ${plugin_dir}/libgsttavrin.so)
    message(FATAL_ERROR "the GStreamer plugin is not installed in ${plugin_dir}")
  endif()
  set(ENV{GST_PLUGIN_PATH} ${plugin_dir})
  set(ENV{GST_REGISTRY} ${WORK_DIR}/gst-registry.bin)
  run(${GST_INSPECT} tavrindec)
  expect_contains("${RUN_OUTPUT}" "${plugin_dir}/libgsttavrin.so")
  expect_contains("${RUN_OUTPUT}" "post-filter")
  run(${GST_LAUNCH} -q filesrc location=${SOURCE_DIR}/tests/data/xvid_packed.avi ! avidemux ! tavrindec
      ! filesink location=${WORK_DIR}/packed.yuv)
  file(SIZE ${WORK_DIR}/packed.yuv size)
  # 18 pictures of 176x144.
  if(NOT size EQUAL 684288)
    message(FATAL_ERROR "the installed plugin wrote ${size} bytes, not 18 pictures")
  endif()
  message(STATUS "GStreamer finds the installed plugin in ${plugin_dir}")
endif()
message(STATUS "installed tree at ${prefix} works")
