# cmake -DFILE=... -DLIMIT=... -P check_size.cmake: fails, removing FILE, when FILE has
# more than LIMIT bytes.
file(SIZE "${FILE}" size)
if(size GREATER LIMIT)
  file(REMOVE "${FILE}")
  message(FATAL_ERROR "${FILE} has ${size} bytes, more than the ${LIMIT} an e-book leaves for it")
endif()
message(STATUS "${FILE}: ${size} bytes (at most ${LIMIT})")
