# The registration of the repository's factories with the demo (Windows: it calls the demo object).
if(BRIVET_WINDOWS)
  target_sources(brivet_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/RegisterRepository.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegisterRepository.h
  )
endif()
