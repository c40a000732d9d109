// Films through FFmpeg. See film.h.
#include "platform/film.h"

#include "platform/audio.h"
#include "platform/files.h"
#include "platform/host.h"

#include "platform/ffmpeg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

// Films larger than this are refused: nothing the game shows comes near it,
// and a hostile header cannot make the decoder allocate without bound.
constexpr int kMaxFilmSide = 4096;
constexpr size_t kMaxFilmBytes = size_t{1} << 30;
constexpr int kIoBufferBytes = 32768;
constexpr double kStreamSeconds = 2.0; // audio queued ahead at most

FilmClock gClock = nullptr;

double Now()
{
    if (gClock)
        return gClock();
    return static_cast<double>(PerformanceCounter()) / static_cast<double>(PerformanceFrequency());
}

// FFmpeg's table; only called once Ffmpeg() has loaded it (every film was
// opened through FilmOpenBytes, which checks).
const FfmpegLibrary& Av()
{
    return *Ffmpeg();
}

void QuietLog()
{
    static bool done = false;
    if (!done) {
        Av().av_log_set_level(AV_LOG_QUIET);
        done = true;
    }
}

} // namespace

struct Film {
    std::vector<uint8_t> bytes;
    bool cutShort = false; // its frames run past the end of its bytes
    size_t position = 0;
    FilmSound sound = FilmSound::Off;

    AVIOContext* io = nullptr;
    AVFormatContext* format = nullptr;
    AVCodecContext* video = nullptr;
    AVCodecContext* audio = nullptr;
    int videoIndex = -1;
    int audioIndex = -1;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr; // the current video frame
    AVFrame* audioFrame = nullptr;
    bool flushed = false; // the decoder was told the input ended
    bool muted = false;   // decoding forward to a frame: no sound

    int width = 0, height = 0, frameCount = 1, current = -1;
    double frameSeconds = 0.1;
    PaletteColour palette[256]{};
    bool paletteChanged = false;
    uint8_t remap[256]{};
    bool remapping = false;

    AudioBuffer stream = 0;
    bool streamPlaying = false;
    double dueAt = 0.0;
    int timedFrame = -1;

    SwsContext* scaler = nullptr;
};

namespace {

int ReadBytes(void* opaque, uint8_t* buffer, int size)
{
    Film& f = *static_cast<Film*>(opaque);
    const size_t left = f.bytes.size() - f.position;
    const size_t n = std::min(left, static_cast<size_t>(size));
    if (n == 0)
        return AVERROR_EOF;
    std::memcpy(buffer, f.bytes.data() + f.position, n);
    f.position += n;
    return static_cast<int>(n);
}

int64_t SeekBytes(void* opaque, int64_t offset, int whence)
{
    Film& f = *static_cast<Film*>(opaque);
    const int64_t size = static_cast<int64_t>(f.bytes.size());
    int64_t target;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: target = offset; break;
    case SEEK_CUR: target = static_cast<int64_t>(f.position) + offset; break;
    case SEEK_END: target = size + offset; break;
    default: return -1;
    }
    if (target < 0 || target > size)
        return -1;
    f.position = static_cast<size_t>(target);
    return target;
}

// A Smacker film holds its 104-byte header, then a size (u32) and a type
// (u8) for every frame, one more with the ring frame (flags bit 0). A
// header whose frame table the bytes cannot hold is damage: turned away
// here, before the demuxer indexes millions of frames that are not there.
bool SmackerFrameTableFits(const std::vector<uint8_t>& b)
{
    constexpr size_t kHeaderBytes = 104, kFrameTableBytes = 5;
    if (b.size() < kHeaderBytes)
        return false;
    const uint64_t frames = (uint64_t{b[12]} | uint64_t{b[13]} << 8 | uint64_t{b[14]} << 16 | uint64_t{b[15]} << 24) +
                            (b[20] & 1);
    return frames <= (b.size() - kHeaderBytes) / kFrameTableBytes;
}

// Only the two containers the game plays are probed for, by their
// signatures: no other demuxer ever sees a film's bytes.
const AVInputFormat* ContainerOf(const std::vector<uint8_t>& b)
{
    if (b.size() >= 4 && b[0] == 'S' && b[1] == 'M' && b[2] == 'K' && (b[3] == '2' || b[3] == '4'))
        return SmackerFrameTableFits(b) ? Av().av_find_input_format("smk") : nullptr;
    if (b.size() >= 12 && std::memcmp(b.data(), "RIFF", 4) == 0 && std::memcmp(b.data() + 8, "AVI ", 4) == 0)
        return Av().av_find_input_format("avi");
    return nullptr;
}

void CloseDecoding(Film& f)
{
    Av().avcodec_free_context(&f.video);
    Av().avcodec_free_context(&f.audio);
    Av().avformat_close_input(&f.format);
    if (f.io) {
        Av().av_freep(&f.io->buffer);
        Av().avio_context_free(&f.io);
    }
    Av().av_packet_free(&f.packet);
    Av().av_frame_free(&f.frame);
    Av().av_frame_free(&f.audioFrame);
    f.flushed = false;
}

AVCodecContext* OpenDecoder(const AVStream* stream)
{
    const AVCodec* codec = Av().avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        return nullptr;
    AVCodecContext* context = Av().avcodec_alloc_context3(codec);
    if (!context || Av().avcodec_parameters_to_context(context, stream->codecpar) < 0 ||
        Av().avcodec_open2(context, codec, nullptr) < 0) {
        Av().avcodec_free_context(&context);
        return nullptr;
    }
    return context;
}

// Opens the container and its decoders at the start of the bytes.
bool OpenDecoding(Film& f)
{
    const AVInputFormat* container = ContainerOf(f.bytes);
    if (!container)
        return false;
    f.position = 0;
    auto* buffer = static_cast<uint8_t*>(Av().av_malloc(kIoBufferBytes));
    f.io = buffer ? Av().avio_alloc_context(buffer, kIoBufferBytes, 0, &f, ReadBytes, nullptr, SeekBytes) : nullptr;
    if (!f.io) {
        Av().av_free(buffer);
        return false;
    }
    f.format = Av().avformat_alloc_context();
    if (!f.format)
        return false;
    f.format->pb = f.io;
    if (Av().avformat_open_input(&f.format, nullptr, container, nullptr) < 0)
        return false; // the context is freed by the failed open
    f.videoIndex = Av().av_find_best_stream(f.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (f.videoIndex < 0)
        return false;
    const AVStream* vs = f.format->streams[f.videoIndex];
    if (vs->codecpar->width <= 0 || vs->codecpar->height <= 0 || vs->codecpar->width > kMaxFilmSide ||
        vs->codecpar->height > kMaxFilmSide)
        return false;
    f.video = OpenDecoder(vs);
    if (!f.video)
        return false;
    f.audioIndex = Av().av_find_best_stream(f.format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (f.audioIndex >= 0 && f.sound == FilmSound::On)
        f.audio = OpenDecoder(f.format->streams[f.audioIndex]);
    for (unsigned i = 0; i < f.format->nb_streams; ++i)
        if (static_cast<int>(i) != f.videoIndex && !(f.audio && static_cast<int>(i) == f.audioIndex))
            f.format->streams[i]->discard = AVDISCARD_ALL;
    f.packet = Av().av_packet_alloc();
    f.frame = Av().av_frame_alloc();
    f.audioFrame = Av().av_frame_alloc();
    if (!f.packet || !f.frame || !f.audioFrame)
        return false;
    f.width = vs->codecpar->width;
    f.height = vs->codecpar->height;
    const int64_t frames = vs->nb_frames > 0 ? vs->nb_frames : vs->duration;
    f.frameCount = static_cast<int>(std::clamp<int64_t>(frames, 1, 0xFFFFFF));
    double seconds = 0.0;
    if (vs->avg_frame_rate.num > 0 && vs->avg_frame_rate.den > 0)
        seconds = 1.0 / av_q2d(vs->avg_frame_rate);
    else if (vs->time_base.num > 0 && vs->time_base.den > 0)
        seconds = av_q2d(vs->time_base);
    f.frameSeconds = std::clamp(seconds > 0.0 ? seconds : 0.1, 0.001, 1.0);
    f.current = -1;
    return true;
}

int16_t Sample16(const AVFrame* a, int channel, int index)
{
    const bool planar = Av().av_sample_fmt_is_planar(static_cast<AVSampleFormat>(a->format));
    const int channels = a->ch_layout.nb_channels;
    const int at = planar ? index : index * channels + channel;
    const uint8_t* plane = a->extended_data[planar ? channel : 0];
    switch (Av().av_get_packed_sample_fmt(static_cast<AVSampleFormat>(a->format))) {
    case AV_SAMPLE_FMT_U8: return static_cast<int16_t>((plane[at] - 128) * 256);
    case AV_SAMPLE_FMT_S16: {
        int16_t s;
        std::memcpy(&s, plane + 2 * at, 2);
        return s;
    }
    default: return 0;
    }
}

// Queues a decoded audio frame on the film's stream voice.
void QueueAudio(Film& f, const AVFrame* a)
{
    const int channels = a->ch_layout.nb_channels;
    if (f.muted || channels < 1 || a->sample_rate <= 0)
        return;
    if (!f.stream) {
        if (!AudioIsOpen())
            return;
        const AudioFormat format{static_cast<uint32_t>(a->sample_rate), static_cast<uint16_t>(channels > 1 ? 2 : 1),
                                 16};
        const auto capacity = static_cast<uint32_t>(kStreamSeconds * a->sample_rate * format.channels * 2);
        f.stream = AudioCreateStream(format, capacity);
        if (!f.stream)
            return;
    }
    std::vector<uint8_t> bytes;
    const int out = channels > 1 ? 2 : 1;
    bytes.reserve(static_cast<size_t>(a->nb_samples) * static_cast<size_t>(out) * 2);
    for (int i = 0; i < a->nb_samples; ++i)
        for (int c = 0; c < out; ++c) {
            const int16_t s = Sample16(a, c, i);
            bytes.push_back(static_cast<uint8_t>(s & 0xFF));
            bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
    AudioStreamWrite(f.stream, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void DecodeAudioPacket(Film& f)
{
    if (Av().avcodec_send_packet(f.audio, f.packet) < 0)
        return; // a bad audio packet costs its sound only
    while (Av().avcodec_receive_frame(f.audio, f.audioFrame) == 0) {
        QueueAudio(f, f.audioFrame);
        Av().av_frame_unref(f.audioFrame);
    }
}

// Takes the palette and its change flag from a freshly decoded frame.
void TakePalette(Film& f)
{
    f.paletteChanged = f.current == 0;
    if (f.frame->format != AV_PIX_FMT_PAL8 || !f.frame->data[1])
        return;
    const uint8_t* entries = f.frame->data[1];
    for (int i = 0; i < 256; ++i) {
        uint32_t argb;
        std::memcpy(&argb, entries + 4 * i, 4);
        const PaletteColour c{static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 8),
                              static_cast<uint8_t>(argb), 0};
        if (std::memcmp(&c, &f.palette[i], sizeof c) != 0)
            f.paletteChanged = true;
        f.palette[i] = c;
    }
}

// Decodes packets until the next video frame; false at the end or on an
// error (the film is then at its end).
bool DecodeNextVideo(Film& f)
{
    if (!f.format)
        return false;
    AVFrame* next = Av().av_frame_alloc();
    if (!next)
        return false;
    bool got = false;
    for (;;) {
        const int r = Av().avcodec_receive_frame(f.video, next);
        if (r == 0) {
            got = true;
            break;
        }
        if (r != AVERROR(EAGAIN))
            break;
        if (Av().av_read_frame(f.format, f.packet) < 0) {
            if (f.flushed)
                break;
            Av().avcodec_send_packet(f.video, nullptr);
            f.flushed = true;
            continue;
        }
        bool failed = false;
        if (f.packet->stream_index == f.videoIndex)
            failed = Av().avcodec_send_packet(f.video, f.packet) < 0;
        else if (f.audio && f.packet->stream_index == f.audioIndex)
            DecodeAudioPacket(f);
        Av().av_packet_unref(f.packet);
        if (failed)
            break;
    }
    if (got && (next->width != f.width || next->height != f.height))
        got = false; // a frame that is not the film's size is damage
    if (got) {
        Av().av_frame_unref(f.frame);
        Av().av_frame_move_ref(f.frame, next);
        ++f.current;
        TakePalette(f);
    }
    Av().av_frame_free(&next);
    return got;
}

void BuildRemap(Film& f, const PaletteColour* palette, int first, int last)
{
    for (int i = 0; i < 256; ++i) {
        int best = first, bestDistance = INT32_MAX;
        for (int j = first; j <= last; ++j) {
            const int dr = f.palette[i].red - palette[j].red;
            const int dg = f.palette[i].green - palette[j].green;
            const int db = f.palette[i].blue - palette[j].blue;
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = j;
            }
        }
        f.remap[i] = static_cast<uint8_t>(best);
    }
}

} // namespace

void PrepareFilmsInBackground()
{
    LoadFfmpegInBackground();
}

Film* FilmOpenBytes(std::vector<uint8_t> bytes, FilmSound sound)
{
    if (!Ffmpeg())
        return nullptr;
    QuietLog();
    auto* f = new Film;
    f->bytes = std::move(bytes);
    f->sound = sound;
    if (!OpenDecoding(*f) || !DecodeNextVideo(*f)) {
        FilmClose(f);
        return nullptr;
    }
    return f;
}

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, std::size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Whether a Smacker film holds all its frames: its header gives the frame
// count, the size of its trees and each frame's size, and a film cut short
// ends inside them (the decoder plays it up to the cut). Other files are
// left to the decoder.
bool SmackerFramesFit(const std::vector<uint8_t>& b)
{
    constexpr std::size_t kHeaderSize = 104;
    if (b.size() < 4 || b[0] != 'S' || b[1] != 'M' || b[2] != 'K' || (b[3] != '2' && b[3] != '4'))
        return true;
    if (b.size() < kHeaderSize)
        return false;
    const uint64_t frames = uint64_t(Le32(b, 12)) + (Le32(b, 20) & 1); // a ring frame follows the last
    uint64_t needed = kHeaderSize + frames * 5 + Le32(b, 52);
    if (needed > b.size())
        return false;
    for (uint64_t i = 0; i < frames; ++i)
        needed += Le32(b, kHeaderSize + i * 4) & ~3u; // the low bits are flags
    return needed <= b.size();
}

} // namespace

Film* FilmOpen(const char* path, FilmSound sound)
{
    std::vector<uint8_t> bytes;
    if (!path || !ReadWholeFile(path, bytes, kMaxFilmBytes))
        return nullptr;
    const bool cutShort = !SmackerFramesFit(bytes);
    Film* film = FilmOpenBytes(std::move(bytes), sound);
    if (film)
        film->cutShort = cutShort;
    return film;
}

void FilmClose(Film* film)
{
    if (!film)
        return;
    if (film->stream)
        AudioRelease(film->stream);
    CloseDecoding(*film);
    Av().sws_freeContext(film->scaler);
    delete film;
}

int FilmWidth(const Film* film) { return film->width; }
int FilmHeight(const Film* film) { return film->height; }
int FilmFrameCount(const Film* film) { return film->frameCount; }
bool FilmCutShort(const Film* film) { return film->cutShort; }
int FilmCurrentFrame(const Film* film) { return film->current; }
double FilmFrameSeconds(const Film* film) { return film->frameSeconds; }
const PaletteColour* FilmPalette(const Film* film) { return film->palette; }
bool FilmPaletteChanged(const Film* film) { return film->paletteChanged; }

bool FilmCopyFrame(Film* f, uint8_t* dest, int destWidth, int destHeight, int pitch, int x, int y, bool skipZero)
{
    if (f->current < 0 || f->frame->format != AV_PIX_FMT_PAL8)
        return false;
    if (f->timedFrame != f->current) {
        // This frame is shown now: the next one is due a frame's time after
        // this one was (or after now, when the player fell behind).
        const double now = Now();
        f->dueAt = (f->timedFrame >= 0 && f->dueAt + f->frameSeconds > now) ? f->dueAt + f->frameSeconds
                                                                            : now + f->frameSeconds;
        f->timedFrame = f->current;
        if (f->stream && !f->streamPlaying)
            f->streamPlaying = AudioPlay(f->stream, false);
    }
    const int x0 = std::max(0, -x), y0 = std::max(0, -y);
    const int x1 = std::min(f->width, destWidth - x), y1 = std::min(f->height, destHeight - y);
    for (int row = y0; row < y1; ++row) {
        const uint8_t* from = f->frame->data[0] + static_cast<ptrdiff_t>(row) * f->frame->linesize[0];
        uint8_t* to = dest + static_cast<ptrdiff_t>(row + y) * pitch + x;
        for (int col = x0; col < x1; ++col) {
            const uint8_t p = from[col];
            if (skipZero && p == 0)
                continue;
            to[col] = f->remapping ? f->remap[p] : p;
        }
    }
    return true;
}

bool FilmCopyFrame565(Film* f, uint16_t* dest, int width, int height, int pitch)
{
    if (f->current < 0 || width <= 0 || height <= 0)
        return false;
    f->scaler = Av().sws_getCachedContext(f->scaler, f->width, f->height, static_cast<AVPixelFormat>(f->frame->format),
                                          width, height, AV_PIX_FMT_RGB565LE, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!f->scaler)
        return false;
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(dest), nullptr, nullptr, nullptr};
    const int pitches[4] = {pitch, 0, 0, 0};
    if (f->timedFrame != f->current) {
        f->dueAt = Now() + f->frameSeconds;
        f->timedFrame = f->current;
    }
    return Av().sws_scale(f->scaler, f->frame->data, f->frame->linesize, 0, f->height, planes, pitches) == height;
}

bool FilmNext(Film* film)
{
    if (film->current + 1 >= film->frameCount)
        return false;
    return DecodeNextVideo(*film);
}

bool FilmWaiting(const Film* film)
{
    return film->timedFrame >= 0 && Now() < film->dueAt;
}

bool FilmGoTo(Film* f, int frame)
{
    if (frame < 0 || frame >= f->frameCount)
        return false;
    if (frame == f->current)
        return true;
    if (frame < f->current) {
        CloseDecoding(*f);
        if (!OpenDecoding(*f))
            return false;
    }
    f->muted = true;
    bool ok = true;
    while (ok && f->current < frame)
        ok = DecodeNextVideo(*f);
    f->muted = false;
    f->paletteChanged = true; // the palette may differ from the one last shown
    return ok;
}

void FilmSetRemap(Film* film, const PaletteColour* palette, int first, int last)
{
    film->remapping = palette != nullptr && first >= 0 && last <= 255 && first <= last;
    if (film->remapping)
        BuildRemap(*film, palette, first, last);
}

void SetFilmClock(FilmClock clock)
{
    gClock = clock;
}

bool WriteAviFile(const char* path, int width, int height, int framesPerSecond,
                  const std::vector<std::vector<uint8_t>>& frames)
{
    if (!Ffmpeg())
        return false;
    std::string target;
    platform::ResolveDataPath(path, target);
    const std::string temporary = target + ".part";
    AVFormatContext* out = nullptr;
    AVCodecContext* encoder = nullptr;
    AVFrame* frame = Av().av_frame_alloc();
    AVPacket* packet = Av().av_packet_alloc();
    bool ok = frame && packet && Av().avformat_alloc_output_context2(&out, nullptr, "avi", temporary.c_str()) >= 0;
    const AVCodec* codec = Av().avcodec_find_encoder(AV_CODEC_ID_RAWVIDEO);
    AVStream* stream = ok && codec ? Av().avformat_new_stream(out, nullptr) : nullptr;
    ok = ok && stream && (encoder = Av().avcodec_alloc_context3(codec)) != nullptr;
    if (ok) {
        encoder->width = width;
        encoder->height = height;
        encoder->pix_fmt = AV_PIX_FMT_BGR24;
        encoder->time_base = AVRational{1, framesPerSecond};
        stream->time_base = encoder->time_base;
        ok = Av().avcodec_open2(encoder, codec, nullptr) >= 0 &&
             Av().avcodec_parameters_from_context(stream->codecpar, encoder) >= 0 &&
             Av().avio_open(&out->pb, temporary.c_str(), AVIO_FLAG_WRITE) >= 0 && Av().avformat_write_header(out, nullptr) >= 0;
    }
    frame->format = AV_PIX_FMT_BGR24;
    frame->width = width;
    frame->height = height;
    ok = ok && Av().av_frame_get_buffer(frame, 0) >= 0;
    auto drain = [&] {
        while (ok && Av().avcodec_receive_packet(encoder, packet) == 0) {
            Av().av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            ok = Av().av_interleaved_write_frame(out, packet) >= 0;
        }
    };
    for (size_t n = 0; ok && n < frames.size(); ++n) {
        if (frames[n].size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3 ||
            Av().av_frame_make_writable(frame) < 0) {
            ok = false;
            break;
        }
        for (int yy = 0; yy < height; ++yy)
            for (int xx = 0; xx < width; ++xx) {
                const uint8_t* rgb = &frames[n][(static_cast<size_t>(yy) * width + xx) * 3];
                uint8_t* bgr = frame->data[0] + yy * frame->linesize[0] + xx * 3;
                bgr[0] = rgb[2];
                bgr[1] = rgb[1];
                bgr[2] = rgb[0];
            }
        frame->pts = static_cast<int64_t>(n);
        ok = Av().avcodec_send_frame(encoder, frame) >= 0;
        drain();
    }
    if (ok) {
        Av().avcodec_send_frame(encoder, nullptr);
        drain();
        ok = Av().av_write_trailer(out) >= 0;
    }
    if (out && out->pb)
        Av().avio_closep(&out->pb);
    Av().avformat_free_context(out);
    Av().avcodec_free_context(&encoder);
    Av().av_frame_free(&frame);
    Av().av_packet_free(&packet);
    if (ok)
        ok = std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        std::remove(temporary.c_str());
    return ok;
}

} // namespace platform
