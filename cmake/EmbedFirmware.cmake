# Turns a binary firmware image into a C++ array at build time and refuses a
# file whose size is not the size the protocol expects.
function(brisko_embed_firmware out_var)
  set(generated_sources)
  foreach(spec IN LISTS ARGN)
    string(REPLACE ":" ";" parts "${spec}")
    list(GET parts 0 symbol)
    list(GET parts 1 file)
    list(GET parts 2 size)
    set(input ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    set(output ${CMAKE_CURRENT_BINARY_DIR}/${symbol}.cpp)
    add_custom_command(
      OUTPUT ${output}
      COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DSYMBOL=${symbol} -DSIZE=${size}
              -P ${PROJECT_SOURCE_DIR}/cmake/GenerateFirmwareSource.cmake
      DEPENDS ${input} ${PROJECT_SOURCE_DIR}/cmake/GenerateFirmwareSource.cmake
      COMMENT "Embedding ${file}")
    list(APPEND generated_sources ${output})
  endforeach()
  set(${out_var} ${generated_sources} PARENT_SCOPE)
endfunction()
