# Copies PROGRAM alone into a fresh directory and runs the copy from yet another working directory:
# with --version, or with QUIT_WHEN_SHOWN until its dialog has been drawn.
string(RANDOM LENGTH 8 suffix)
set(dir "$ENV{TMPDIR}")
if(NOT dir)
    set(dir "/tmp")
endif()
set(dir "${dir}/zelwan-copy-${suffix}")
file(MAKE_DIRECTORY "${dir}/alone" "${dir}/elsewhere")
file(COPY "${PROGRAM}" DESTINATION "${dir}/alone")
get_filename_component(name "${PROGRAM}" NAME)
if(QUIT_WHEN_SHOWN)
    # The dialog on the offscreen platform, with a configuration directory of its own.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ZELWAN_QUIT_WHEN_SHOWN=1
            XDG_CONFIG_HOME=${dir}/config ZELWAN_REGISTRY_USER=${dir}/user.reg
            ZELWAN_REGISTRY_MACHINE=${dir}/machine.reg "${dir}/alone/${name}"
        WORKING_DIRECTORY "${dir}/elsewhere" TIMEOUT 60
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
else()
    execute_process(COMMAND "${dir}/alone/${name}" --version
        WORKING_DIRECTORY "${dir}/elsewhere"
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
endif()
file(REMOVE_RECURSE "${dir}")
message("${out}")
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the copy failed (${rc}): ${err}")
endif()
