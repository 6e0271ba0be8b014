# The sources of the libraries that fuzz/ compiles again with clang and
# libFuzzer, kept here once for both builds. Set TELVANE_ROOT to the source
# root before including it.
set(TELVANE_MODEM_SOURCES
    ${TELVANE_ROOT}/modem/tx/wav_writer.cpp
    ${TELVANE_ROOT}/modem/tx/frame_reduction.cpp
    ${TELVANE_ROOT}/modem/rx/picture_view.cpp
    ${TELVANE_ROOT}/modem/rx/rate_finder.cpp
    ${TELVANE_ROOT}/modem/rx/robust/channel_model.cpp
    ${TELVANE_ROOT}/modem/rx/robust/design.cpp
    ${TELVANE_ROOT}/modem/rx/robust/echo_canceller.cpp
    ${TELVANE_ROOT}/modem/rx/robust/error_gradient.cpp
    ${TELVANE_ROOT}/modem/rx/robust/matched_filter.cpp
    ${TELVANE_ROOT}/modem/rx/robust/pulse.cpp
    ${TELVANE_ROOT}/modem/rx/robust/squelch.cpp
    ${TELVANE_ROOT}/modem/rx/robust/timing_detector.cpp
    ${TELVANE_ROOT}/modem/rx/robust/timing_loop.cpp)
set(TELVANE_CLI_IO_SOURCES
    ${TELVANE_ROOT}/tools/sample_input.cpp
    ${TELVANE_ROOT}/tools/picture_output.cpp)
# Reading recordings of every other kind takes libsndfile: apart, so that
# the tool loads it only for those.
set(TELVANE_CLI_RECORDING_SOURCES
    ${TELVANE_ROOT}/tools/recording_input.cpp)
# Reading images takes Qt: apart, so that the tool loads it only to encode.
set(TELVANE_CLI_IMAGE_SOURCES
    ${TELVANE_ROOT}/tools/image_input.cpp)
