// FFmpeg's libraries, loaded when the first film is opened or written.
//
// Linked to the program they would cost every start-up about a fifth of a
// second of processor time (FFmpeg's codecs bring in some hundred and fifty
// libraries to map, relocate and initialise) before the first frame, for
// films that come later, if at all. So the film module calls FFmpeg through
// this table, filled by dlopen and dlsym the first time it is asked for. Only the
// functions the films use are listed; FFmpeg's inline helpers (av_q2d)
// are used directly from its headers.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace platform {

// X(library, function) for every FFmpeg function the films call.
#define KV_FFMPEG_FUNCTIONS(X) \
    X(avutil, av_log_set_level) \
    X(avutil, av_malloc) \
    X(avutil, av_free) \
    X(avutil, av_freep) \
    X(avutil, av_frame_alloc) \
    X(avutil, av_frame_free) \
    X(avutil, av_frame_unref) \
    X(avutil, av_frame_move_ref) \
    X(avutil, av_frame_get_buffer) \
    X(avutil, av_frame_make_writable) \
    X(avutil, av_sample_fmt_is_planar) \
    X(avutil, av_get_packed_sample_fmt) \
    X(swscale, sws_getCachedContext) \
    X(swscale, sws_scale) \
    X(swscale, sws_freeContext) \
    X(avcodec, avcodec_find_decoder) \
    X(avcodec, avcodec_find_encoder) \
    X(avcodec, avcodec_alloc_context3) \
    X(avcodec, avcodec_free_context) \
    X(avcodec, avcodec_parameters_to_context) \
    X(avcodec, avcodec_parameters_from_context) \
    X(avcodec, avcodec_open2) \
    X(avcodec, avcodec_send_packet) \
    X(avcodec, avcodec_receive_frame) \
    X(avcodec, avcodec_send_frame) \
    X(avcodec, avcodec_receive_packet) \
    X(avcodec, av_packet_alloc) \
    X(avcodec, av_packet_free) \
    X(avcodec, av_packet_unref) \
    X(avcodec, av_packet_rescale_ts) \
    X(avformat, av_find_input_format) \
    X(avformat, avio_alloc_context) \
    X(avformat, avio_context_free) \
    X(avformat, avio_open) \
    X(avformat, avio_closep) \
    X(avformat, avformat_alloc_context) \
    X(avformat, avformat_open_input) \
    X(avformat, avformat_close_input) \
    X(avformat, av_find_best_stream) \
    X(avformat, av_read_frame) \
    X(avformat, avformat_alloc_output_context2) \
    X(avformat, avformat_new_stream) \
    X(avformat, avformat_write_header) \
    X(avformat, av_interleaved_write_frame) \
    X(avformat, av_write_trailer) \
    X(avformat, avformat_free_context)

struct FfmpegLibrary {
#define KV_FFMPEG_MEMBER(library, function) decltype(&::function) function = nullptr;
    KV_FFMPEG_FUNCTIONS(KV_FFMPEG_MEMBER)
#undef KV_FFMPEG_MEMBER
};

// The table, loaded on the first call (the same major versions as the
// headers the game was built with), from any thread: a call while another
// thread loads it waits for that load. Null when a library or a function
// is missing: said once on standard error, and every film then fails to
// open.
const FfmpegLibrary* Ffmpeg();

// Starts loading the table on a thread of its own; the process waits for
// that thread before it ends.
void LoadFfmpegInBackground();

} // namespace platform
