# Copies PROGRAM alone into a fresh directory and runs the copy from yet another working directory.
string(RANDOM LENGTH 8 suffix)
set(dir "$ENV{TMPDIR}")
if(NOT dir)
    set(dir "/tmp")
endif()
set(dir "${dir}/zelwan-copy-${suffix}")
file(MAKE_DIRECTORY "${dir}/alone" "${dir}/elsewhere")
file(COPY "${PROGRAM}" DESTINATION "${dir}/alone")
get_filename_component(name "${PROGRAM}" NAME)
execute_process(COMMAND "${dir}/alone/${name}" --version
    WORKING_DIRECTORY "${dir}/elsewhere"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(REMOVE_RECURSE "${dir}")
message("${out}")
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the copy failed (${rc}): ${err}")
endif()
