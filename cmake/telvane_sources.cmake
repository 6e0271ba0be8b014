# The sources of the libraries that fuzz/ compiles again with clang and
# libFuzzer, kept here once for both builds. Set TELVANE_ROOT to the source
# root before including it.
set(TELVANE_MODEM_SOURCES
    ${TELVANE_ROOT}/tx/wav_writer.cpp
    ${TELVANE_ROOT}/rx/picture_view.cpp
    ${TELVANE_ROOT}/rx/rate_finder.cpp
    ${TELVANE_ROOT}/capture/frame_reduction.cpp)
set(TELVANE_CLI_IO_SOURCES
    ${TELVANE_ROOT}/tools/image_input.cpp
    ${TELVANE_ROOT}/tools/recording_input.cpp
    ${TELVANE_ROOT}/tools/picture_output.cpp)
