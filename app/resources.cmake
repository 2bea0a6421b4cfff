# Compiling the program's resources for the Windows build, which links them.
#
# wrc, not windres: windres writes control classes as upper-case names
# ("BUTTON", "MSCTLS_PROGRESS32"), while wrc writes the system classes as
# their atoms and keeps "msctls_progress32" as written.

set(DORVENAL_APP_DIR ${CMAKE_CURRENT_LIST_DIR})

find_program(DORVENAL_WRC wrc)
# The system's python3 first: the generator needs nothing beyond it.
find_program(DORVENAL_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
find_program(DORVENAL_PYTHON NAMES python3)

# Makes ${output_dir}/dorvenal.ico from the text-art drawings and compiles
# app/dorvenal.rc into ${output_dir}/dorvenal.res.
function(dorvenal_compile_resources output_dir)
  if(NOT DORVENAL_WRC OR NOT DORVENAL_PYTHON)
    message(FATAL_ERROR "Compiling the resources needs wrc (Debian: wine64-tools) and python3")
  endif()
  add_custom_command(
    OUTPUT ${output_dir}/dorvenal.ico
    COMMAND ${DORVENAL_PYTHON} ${DORVENAL_APP_DIR}/icon/make_icon.py ${output_dir}/dorvenal.ico
    DEPENDS ${DORVENAL_APP_DIR}/icon/make_icon.py ${DORVENAL_APP_DIR}/icon/48.txt
            ${DORVENAL_APP_DIR}/icon/32.txt ${DORVENAL_APP_DIR}/icon/16.txt
    COMMENT "Drawing the icon"
    VERBATIM)
  add_custom_command(
    OUTPUT ${output_dir}/dorvenal.res
    COMMAND ${DORVENAL_WRC} --nostdinc -I${DORVENAL_APP_DIR} -I${output_dir}
            -o ${output_dir}/dorvenal.res ${DORVENAL_APP_DIR}/dorvenal.rc
    DEPENDS ${DORVENAL_APP_DIR}/dorvenal.rc ${DORVENAL_APP_DIR}/app_texts.h ${DORVENAL_APP_DIR}/resource_ids.h
            ${DORVENAL_APP_DIR}/string_table.h ${DORVENAL_APP_DIR}/string_table.rc ${output_dir}/dorvenal.ico
    COMMENT "Compiling the resources"
    VERBATIM)
endfunction()
