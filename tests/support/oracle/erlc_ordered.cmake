# Copies the modules of FROM (in the order of FROM/order.txt) into DIR,
# compiles each with `erlc -bper +maps`, compiles the oracle DRIVER there
# too, then touches DIR/compiled.stamp.
file(MAKE_DIRECTORY ${DIR})
file(STRINGS ${FROM}/order.txt modules)
foreach(m IN LISTS modules)
  file(COPY ${FROM}/${m}.asn DESTINATION ${DIR})
  execute_process(COMMAND ${ERLC} -bper +maps ${m}.asn WORKING_DIRECTORY ${DIR}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "erlc failed on ${DIR}/${m}.asn")
  endif()
endforeach()
execute_process(COMMAND ${ERLC} -o ${DIR} ${DRIVER} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "erlc failed on ${DRIVER}")
endif()
file(TOUCH ${DIR}/compiled.stamp)
