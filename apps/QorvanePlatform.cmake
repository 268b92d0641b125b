add_executable(QorvanePlatform ${CMAKE_CURRENT_LIST_DIR}/QorvanePlatform.cpp)
target_link_libraries(QorvanePlatform PRIVATE qv_shell)
add_dependencies(QorvanePlatform skins)
