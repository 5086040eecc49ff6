# The demo object (Windows) and the portable steps of reading its description.
target_sources(brivet_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/DemoDescription.cpp
  ${CMAKE_CURRENT_LIST_DIR}/DemoDescription.h
  ${CMAKE_CURRENT_LIST_DIR}/RenderContext.h
)

if(BRIVET_WINDOWS)
  target_sources(brivet_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Demo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Demo.h
  )
endif()
