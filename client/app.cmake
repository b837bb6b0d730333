# The client program, and the library of its parts that the tests link.
add_library(client_app STATIC
  ${CMAKE_CURRENT_LIST_DIR}/ClientState.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Connection.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Dispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/KeyboardInput.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ServerLink.cpp)
target_include_directories(client_app PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(client_app PUBLIC protocol sfml-graphics sfml-window sfml-network sfml-system)

add_executable(client ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(client PRIVATE client_app widgets)
