# The console recorder: records or plays one file per run for the process
# that starts it.
add_executable(QorvaneRecorder ${CMAKE_CURRENT_LIST_DIR}/QorvaneRecorder.cpp)
target_link_libraries(QorvaneRecorder PRIVATE qv_recorder)
