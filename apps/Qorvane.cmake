# The session service: keeps the client running in the console user's
# session and the course downloader beside it. No Qt, no libcurl, no jsoncpp.
add_executable(Qorvane ${CMAKE_CURRENT_LIST_DIR}/Qorvane.cpp)
target_link_libraries(Qorvane PRIVATE qv_service qv_platform_crash)
