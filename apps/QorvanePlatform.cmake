# The client's composition root: start-up, the channel's method table and the
# windows wired together. A library of its own so tests can check the wiring.
add_library(qv_client_app STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ClientApp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ClientRequestActions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ClientStartup.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ClientApp.h
    ${CMAKE_CURRENT_LIST_DIR}/ClientRequestActions.h
    ${CMAKE_CURRENT_LIST_DIR}/ClientStartup.h)
target_link_libraries(qv_client_app PUBLIC qv_shell qv_channel_methods qv_platform_desktop)
add_executable(QorvanePlatform ${CMAKE_CURRENT_LIST_DIR}/QorvanePlatform.cpp)
target_link_libraries(QorvanePlatform PRIVATE qv_client_app)
# The web engine module sits beside the program, loaded at the first page.
add_dependencies(QorvanePlatform skins qorvane_webengine)
