# Renders a preview of every model file of the show folder SHOW into OUT,
# with the headless runner CAPTURE. Files without faces (camera paths) are
# named and skipped.
file(MAKE_DIRECTORY ${OUT})
file(GLOB _models ${SHOW}/000000*.dat)
foreach(_model ${_models})
  get_filename_component(_name ${_model} NAME_WE)
  set(_tmp ${OUT}/${_name}.tmp)
  execute_process(
    COMMAND ${CAPTURE} --show ${SHOW} --model ${_model} --ticks 16 --png-at 15 --out ${_tmp}
    RESULT_VARIABLE _status ERROR_VARIABLE _err OUTPUT_QUIET)
  if(_status EQUAL 0)
    file(RENAME ${_tmp}/frame_000015.png ${OUT}/${_name}.png)
    message(STATUS "preview: ${OUT}/${_name}.png")
  else()
    string(STRIP "${_err}" _err)
    message(STATUS "no preview of ${_name}: ${_err}")
  endif()
  file(REMOVE_RECURSE ${_tmp})
endforeach()
