# The audio device layer's sources, for the deliverables to compile into themselves:
# the functions (one private copy per deliverable) and the engine handles (the song library only).
set(TUNEWRIGHT_AUDIO_LAYER_SOURCES "${CMAKE_CURRENT_LIST_DIR}/AudioDevice.cpp")
set(TUNEWRIGHT_AUDIO_HANDLE_SOURCES "${CMAKE_CURRENT_LIST_DIR}/AudioHandles.cpp")
