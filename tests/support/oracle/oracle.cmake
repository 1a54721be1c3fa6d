# Erlang/OTP's ASN.1 compiler as a test oracle for the aligned-PER coder.
#
# mobrel_erlang_asn1(<target> OUTPUT_DIR <dir> [RULE per|ber] SOURCES <Module.asn>...)
# compiles each ASN.1 module with `erlc -b<RULE> +maps` (default per; and the
# oracle driver asn1_oracle.erl) into <dir> during the build; <target> builds
# them all.
# A test then runs ErlangOracle (erlang_oracle.h) with that directory.
#
# mobrel_erlang_asn1_ordered(<target> OUTPUT_DIR <dir> FROM <dir> DEPENDS <file>...)
# does the same for modules written during the build: FROM holds the .asn
# files and order.txt (one module a line, each after those it imports).

find_program(MOBREL_ERLC erlc)
find_program(MOBREL_ERL erl)
if(NOT MOBREL_ERLC OR NOT MOBREL_ERL)
  message(FATAL_ERROR "erlc/erl not found: the ASN.1 cross-check needs Erlang/OTP "
                      "(Debian packages erlang-base and erlang-asn1)")
endif()
set(MOBREL_ASN1_ORACLE_DRIVER ${CMAKE_CURRENT_LIST_DIR}/asn1_oracle.erl CACHE INTERNAL "")
set(MOBREL_ASN1_ORACLE_ORDERED ${CMAKE_CURRENT_LIST_DIR}/erlc_ordered.cmake CACHE INTERNAL "")

function(mobrel_erlang_asn1 target)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR;RULE" "SOURCES" ${ARGN})
  if(NOT ARG_RULE)
    set(ARG_RULE per)
  endif()
  set(outputs ${ARG_OUTPUT_DIR}/asn1_oracle.beam)
  add_custom_command(
    OUTPUT ${ARG_OUTPUT_DIR}/asn1_oracle.beam
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_OUTPUT_DIR}
    COMMAND ${MOBREL_ERLC} -o ${ARG_OUTPUT_DIR} ${MOBREL_ASN1_ORACLE_DRIVER}
    DEPENDS ${MOBREL_ASN1_ORACLE_DRIVER}
    VERBATIM)
  foreach(src IN LISTS ARG_SOURCES)
    get_filename_component(name ${src} NAME_WE)
    get_filename_component(abs ${src} ABSOLUTE)
    add_custom_command(
      OUTPUT ${ARG_OUTPUT_DIR}/${name}.beam
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_OUTPUT_DIR}
      COMMAND ${MOBREL_ERLC} -o ${ARG_OUTPUT_DIR} -b${ARG_RULE} +maps ${abs}
      DEPENDS ${abs}
      WORKING_DIRECTORY ${ARG_OUTPUT_DIR}
      VERBATIM)
    list(APPEND outputs ${ARG_OUTPUT_DIR}/${name}.beam)
  endforeach()
  add_custom_target(${target} ALL DEPENDS ${outputs})
endfunction()

function(mobrel_erlang_asn1_ordered target)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR;FROM" "DEPENDS" ${ARGN})
  add_custom_command(
    OUTPUT ${ARG_OUTPUT_DIR}/compiled.stamp
    COMMAND ${CMAKE_COMMAND} -DERLC=${MOBREL_ERLC} -DFROM=${ARG_FROM} -DDIR=${ARG_OUTPUT_DIR}
            -DDRIVER=${MOBREL_ASN1_ORACLE_DRIVER} -P ${MOBREL_ASN1_ORACLE_ORDERED}
    DEPENDS ${ARG_DEPENDS} ${MOBREL_ASN1_ORACLE_DRIVER} ${MOBREL_ASN1_ORACLE_ORDERED}
    COMMENT "Compiling ${ARG_FROM} and the oracle driver for Erlang/OTP"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${ARG_OUTPUT_DIR}/compiled.stamp)
endfunction()
