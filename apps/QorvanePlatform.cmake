add_executable(QorvanePlatform ${CMAKE_CURRENT_LIST_DIR}/QorvanePlatform.cpp)
target_link_libraries(QorvanePlatform PRIVATE qv_shell)
# The web engine module sits beside the program, loaded at the first page.
add_dependencies(QorvanePlatform skins qorvane_webengine)
