# Compiles the Erlang copies in DIR in the order of DIR/order.txt (a module
# after the modules it imports) to aligned-PER codecs, then touches the stamp.
file(STRINGS ${DIR}/order.txt modules)
foreach(m IN LISTS modules)
  execute_process(COMMAND ${ERLC} -bper ${m}.asn WORKING_DIRECTORY ${DIR}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "erlc failed on ${DIR}/${m}.asn")
  endif()
endforeach()
file(TOUCH ${DIR}/compiled.stamp)
