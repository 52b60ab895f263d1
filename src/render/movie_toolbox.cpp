#include "render/movie_toolbox.h"

#include <sys/stat.h>

#include <cerrno>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr AVRational kTimeScale = {1, 600};
// Normal JPEG quality: a quantiser scale of 3 (1 best, 31 worst).
constexpr int kQuality = 3;

class ffmpeg_toolbox final : public movie_toolbox {
public:
    ~ffmpeg_toolbox() override {
        end_compression();
        close_file();
    }

    int enter() override { return 0; }
    void leave() override {}

    int check_path(const std::string& path) override {
        const std::size_t slash = path.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        struct stat st {};
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return -120;   // no such folder
        return ::stat(path.c_str(), &st) == 0 ? 0 : -43;
    }

    int create_file(const std::string& path) override {
        close_file();
        int err = avformat_alloc_output_context2(&fmt_, nullptr, "mov", path.c_str());
        if (err < 0) return err;
        err = avio_open(&fmt_->pb, path.c_str(), AVIO_FLAG_WRITE);
        if (err < 0) {
            avformat_free_context(fmt_);
            fmt_ = nullptr;
        }
        return err < 0 ? err : 0;
    }

    int begin_edits(int width, int height) override {
        if (!fmt_) return AVERROR(EINVAL);
        stream_ = avformat_new_stream(fmt_, nullptr);
        if (!stream_) return AVERROR(ENOMEM);
        stream_->time_base = kTimeScale;
        width_ = width;
        height_ = height;
        next_time_ = 0;
        return 0;
    }

    int begin_compression(int width, int height) override {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
        if (!codec || !stream_) return AVERROR_ENCODER_NOT_FOUND;
        enc_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!enc_ || !frame_ || !packet_) return AVERROR(ENOMEM);
        enc_->width = width;
        enc_->height = height;
        enc_->pix_fmt = AV_PIX_FMT_YUVJ420P;
        enc_->time_base = kTimeScale;
        enc_->flags |= AV_CODEC_FLAG_QSCALE;
        enc_->global_quality = FF_QP2LAMBDA * kQuality;
        // Slices of a frame on every core: the compressor thread must keep up with the frame rate.
        enc_->thread_count = 0;
        enc_->thread_type = FF_THREAD_SLICE;
        int err = avcodec_open2(enc_, codec, nullptr);
        if (err < 0) return err;
        frame_->format = enc_->pix_fmt;
        frame_->width = width;
        frame_->height = height;
        frame_->quality = enc_->global_quality;
        if ((err = av_frame_get_buffer(frame_, 0)) < 0) return err;
        // Full-range 4:2:0 as JPEG wants it, converted on every core as well.
        sws_ = sws_alloc_context();
        if (!sws_) return AVERROR(ENOMEM);
        av_opt_set_int(sws_, "srcw", width, 0);
        av_opt_set_int(sws_, "srch", height, 0);
        av_opt_set_int(sws_, "src_format", AV_PIX_FMT_BGRA, 0);
        av_opt_set_int(sws_, "dstw", width, 0);
        av_opt_set_int(sws_, "dsth", height, 0);
        av_opt_set_int(sws_, "dst_format", AV_PIX_FMT_YUV420P, 0);
        av_opt_set_int(sws_, "dst_range", 1, 0);
        av_opt_set_int(sws_, "sws_flags", SWS_POINT, 0);
        av_opt_set_int(sws_, "threads", 0, 0);
        if ((err = sws_init_context(sws_, nullptr, nullptr)) < 0) return err;
        if ((err = avcodec_parameters_from_context(stream_->codecpar, enc_)) < 0) return err;
        AVDictionary* options = nullptr;
        av_dict_set(&options, "video_track_timescale", "600", 0);
        err = avformat_write_header(fmt_, &options);
        av_dict_free(&options);
        return err < 0 ? err : 0;
    }

    int max_compressed_size(long* bytes) override {
        // A JPEG frame stays well below its raw size.
        *bytes = static_cast<long>(width_) * height_ * 4 + 1024;
        return enc_ ? 0 : AVERROR(EINVAL);
    }

    int compress(const unsigned char* pixels, long* bytes) override {
        int err = av_frame_make_writable(frame_);
        if (err < 0) return err;
        const uint8_t* src[1] = {pixels};
        const int stride[1] = {width_ * 4};
        sws_scale(sws_, src, stride, 0, height_, frame_->data, frame_->linesize);
        frame_->pts = next_time_;
        av_packet_unref(packet_);
        if ((err = avcodec_send_frame(enc_, frame_)) < 0) return err;
        if ((err = avcodec_receive_packet(enc_, packet_)) < 0) return err;
        *bytes = packet_->size;
        return 0;
    }

    int add_sample(long, int duration) override {
        packet_->stream_index = stream_->index;
        packet_->pts = packet_->dts = next_time_;
        packet_->duration = duration;
        packet_->flags |= AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(packet_, kTimeScale, stream_->time_base);
        next_time_ += duration;
        const int err = av_write_frame(fmt_, packet_);
        return err < 0 ? err : 0;
    }

    void end_compression() override {
        sws_freeContext(sws_);
        sws_ = nullptr;
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&enc_);
    }

    int end_edits() override { return 0; }
    int insert_media() override { return 0; }

    int add_resource() override {
        if (!fmt_) return AVERROR(EINVAL);
        const int err = av_write_trailer(fmt_);
        return err < 0 ? err : 0;
    }

    void close_file() override {
        if (!fmt_) return;
        avio_closep(&fmt_->pb);
        avformat_free_context(fmt_);
        fmt_ = nullptr;
        stream_ = nullptr;
    }

private:
    AVFormatContext* fmt_ = nullptr;
    AVStream* stream_ = nullptr;
    AVCodecContext* enc_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* sws_ = nullptr;
    int width_ = 0, height_ = 0;
    int64_t next_time_ = 0;
};

}  // namespace

movie_toolbox& movie_toolbox_ffmpeg() {
    static ffmpeg_toolbox toolbox;
    return toolbox;
}
