# Relay server load generator: plain POSIX sockets and epoll, no graphics.
add_executable(loadgen ${CMAKE_CURRENT_LIST_DIR}/loadgen.cpp)
target_link_libraries(loadgen PRIVATE protocol)
