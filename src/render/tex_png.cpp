#include "render/tex_png.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/log.h"
#include "core/memory.h"
#include "files/paths.h"
#include "files/xmap.h"
#include "render/palette.h"
#include "render/tex_scratch.h"

// libpng reports errors by a long jump back to the setjmp of the call that started it. The jump
// skips only libpng's own frames and our callbacks, so nothing with a destructor may be alive in
// those callbacks or in the functions that hold the setjmp: they work on the plain records below.

namespace {

const char* const kAlertFile = "QFutils/TEX/TEX_png";

// Everything a read or a write shares with the callbacks and its error path.
struct png_job {
    const char* path = nullptr;          // the image file, for messages
    xmap_class* file = nullptr;          // read source: its cursor advances as libpng reads
    unsigned char* buffer = nullptr;
    int owns_buffer = 0;                 // allocated here, freed here on failure
    png_bytep* rows = nullptr;
    FILE* out = nullptr;
};

// Builds and shows the "PNG error!" warning; returns before the jump, so its strings are gone.
__attribute__((noinline)) void report_png_error(const png_job* job, const char* message) {
    __MACIBM_alert(0, "PNG error!", message ? message : "", job && job->path ? job->path : "", "", t_warn,
                   kAlertFile, 17);
}

void my_error(png_structp png, png_const_charp message) {
    report_png_error(static_cast<const png_job*>(png_get_error_ptr(png)), message);
    png_longjmp(png, 1);
}

void my_warning(png_structp png, png_const_charp message) {
    const auto* job = static_cast<const png_job*>(png_get_error_ptr(png));
    xer << "PNG warning! " << (message ? message : "") << ", " << (job && job->path ? job->path : "") << "\n";
}

png_voidp my_malloc(png_structp, png_alloc_size_t size) { return xmalloc(size); }
void my_free(png_structp, png_voidp mem) { xfree(mem); }

void my_readbuf(png_structp png, png_bytep dest, png_size_t length) {
    xmap_class* file = static_cast<png_job*>(png_get_io_ptr(png))->file;
    if (length > static_cast<png_size_t>(file->mem_end - file->mem_cur))
        png_error(png, "PNG Read Error, overran end of buffer!");
    std::memcpy(dest, file->mem_cur, length);
    file->mem_cur += length;
}

int bytes_per_pixel(unsigned long format) {
    switch (format) {
    case GL_RGB: return 3;
    case GL_RGBA: return 4;
    case GL_ALPHA: return 1;
    default: return 0;
    }
}

struct decode_request {
    unsigned long format;
    int row_pixels;
    int pow2;
    png_alpha_mode mode;
    int gamma;
    TEX_image_desc* desc;
};

// The whole decode after the signature. 1 decoded, 0 when libpng (or a check of ours) gave up.
int decode_png(png_structp png, png_infop info, png_job* job, const decode_request* req) {
    if (setjmp(png_jmpbuf(png))) return 0;

    png_set_user_limits(png, TEX_max_image_side, TEX_max_image_side);
    png_set_read_fn(png, job, my_readbuf);
    png_set_sig_bytes(png, 8);
    job->file->mem_cur += 8;
    png_read_info(png, info);
    png_set_interlace_handling(png);

    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, color_type = 0;
    png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, nullptr, nullptr, nullptr);

    TEX_image_desc& desc = *req->desc;
    desc.format = static_cast<uint32_t>(req->format);
    desc.width = static_cast<int32_t>(width);
    desc.height = static_cast<int32_t>(height);
    desc.has_mipmaps = 0;

    if (req->gamma) {
        double file_gamma = 0.0;
        if (!png_get_gAMA(png, info, &file_gamma)) file_gamma = 1.0 / colr.art_gamma;
        png_set_gamma(png, colr.display_gamma, file_gamma);
    }

    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if ((color_type == PNG_COLOR_TYPE_PALETTE && bit_depth <= 8) ||
        (color_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) || has_trns)
        png_set_expand(png);
    if (bit_depth == 16) png_set_strip_16(png);
    if (bit_depth < 8) png_set_packing(png);

    const bool has_alpha = (color_type & PNG_COLOR_MASK_ALPHA) != 0 || has_trns;
    const bool is_colour = (color_type & PNG_COLOR_MASK_COLOR) != 0;

    unsigned long layout = req->format;
    if (req->mode == png_mode_follow_alpha) {
        if (layout == GL_RGB && has_alpha) layout = GL_RGBA;
        else if (layout == GL_RGBA && !has_alpha) layout = GL_RGB;
    } else if (req->mode == png_mode_own_layout) {
        layout = has_alpha ? GL_RGBA : is_colour ? GL_RGB : GL_ALPHA;
    }
    if (!has_alpha && layout == GL_RGBA) png_set_filler(png, 255, PNG_FILLER_AFTER);
    if (has_alpha && layout != GL_RGBA) png_set_strip_alpha(png);
    if (layout != GL_ALPHA && !is_colour) png_set_gray_to_rgb(png);
    if (layout == GL_ALPHA && is_colour) png_set_rgb_to_gray(png, 1, -1, -1);
    desc.format = static_cast<uint32_t>(layout);

    const int bpp = bytes_per_pixel(layout);
    if (bpp == 0) {
        __MACIBM_alert(0, "Illegal bits per pixel", "", "", "", t_crash, kAlertFile, 147);
        return 0;
    }

    // Sizes in 64 bits: nothing below trusts the header until it has been checked.
    const int64_t w = width, h = height;
    int64_t padding = 0;
    if (req->row_pixels != 0) {
        if (req->row_pixels < w) png_error(png, "Image is wider than the rows of its buffer");
        padding = bpp * (int64_t(req->row_pixels) - w);
    }
    int64_t rows_alloc = h;
    if (req->pow2) {
        padding = bpp * (int64_t(TEX_next_pow2(static_cast<int>(w))) - w);
        rows_alloc = TEX_next_pow2(static_cast<int>(h));
    }
    const int64_t stride = bpp * w + padding;
    const int64_t need = stride * rows_alloc;
    desc.row_padding = static_cast<int32_t>(padding);

    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(bpp * w))
        png_error(png, "Decoded rows are not of the requested layout");

    if (job->buffer == nullptr) {
        job->buffer = static_cast<unsigned char*>(xmalloc(static_cast<unsigned long>(need)));
        if (job->buffer == nullptr) png_error(png, "Out of memory for the image");
        job->owns_buffer = 1;
    } else if (static_cast<uint64_t>(need) > TEX_room_at(job->buffer)) {
        png_error(png, "Image does not fit the staging buffer");
    }
    if (req->pow2 && (padding > 0 || rows_alloc > h)) std::memset(job->buffer, 0, static_cast<size_t>(need));

    job->rows = static_cast<png_bytep*>(xmalloc(static_cast<unsigned long>(h * sizeof(png_bytep))));
    if (job->rows == nullptr) png_error(png, "Out of memory for the row table");
    for (int64_t i = 0; i < h; ++i) job->rows[i] = job->buffer + stride * (h - 1 - i);
    png_read_image(png, job->rows);
    return 1;
}

struct encode_request {
    const TEX_image_desc* desc;
    const unsigned char* pixels;
    int bpp;
};

int encode_png(png_structp png, png_infop info, png_job* job, const encode_request* req) {
    if (setjmp(png_jmpbuf(png))) return 0;

    png_init_io(png, job->out);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 8);
    png_set_compression_strategy(png, 0);
    png_set_compression_window_bits(png, 15);
    png_set_compression_method(png, 8);
    png_set_compression_buffer_size(png, 8192);
    png_set_gAMA(png, info, 1.0 / colr.display_gamma);

    const TEX_image_desc& d = *req->desc;
    const int color_type = req->bpp == 4 ? PNG_COLOR_TYPE_RGB_ALPHA
                           : req->bpp == 3 ? PNG_COLOR_TYPE_RGB
                                           : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png, info, static_cast<png_uint_32>(d.width), static_cast<png_uint_32>(d.height), 8, color_type,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);

    const int64_t stride = int64_t(req->bpp) * d.width + d.row_padding;
    job->rows = static_cast<png_bytep*>(xmalloc(static_cast<unsigned long>(d.height) * sizeof(png_bytep)));
    if (job->rows == nullptr) png_error(png, "Out of memory for the row table");
    for (int64_t j = 0; j < d.height; ++j)
        job->rows[j] = const_cast<png_bytep>(req->pixels + stride * (d.height - 1 - j));

    png_write_info(png, info);
    png_write_image(png, job->rows);
    png_write_end(png, info);
    return 1;
}

}  // namespace

int TEX_load_png(const std::string& path, xmap_class& file, unsigned char*& buffer, unsigned long format,
                 int row_pixels, int pow2, png_alpha_mode mode, int gamma, TEX_image_desc& desc) {
    png_job job;
    job.path = path.c_str();
    job.file = &file;
    job.buffer = buffer;

    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, my_error, my_warning, &job, my_malloc,
                                               my_free);
    if (png == nullptr) {
        __MACIBM_alert(0, "PING-FILE ERROR!", "!png_ptr", path, "", t_crash, kAlertFile, 56);
        return 0;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        __MACIBM_alert(0, "PING-FILE ERROR!", "!info_ptr", path, "", t_crash, kAlertFile, 61);
        return 0;
    }
    if (file.mem_cur == nullptr || file.mem_end - file.mem_cur <= 7) {
        png_destroy_read_struct(&png, &info, nullptr);
        return 0;
    }
    if (png_sig_cmp(reinterpret_cast<png_const_bytep>(file.mem_cur), 0, 8) != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        __MACIBM_alert(0, "PING-FILE ERROR!", "is_png=!png_sig_cmp(png_io_buf,0,8)", path, "", t_crash, kAlertFile,
                       75);
        return 0;
    }

    const decode_request req{format, row_pixels, pow2, mode, gamma, &desc};
    const int ok = decode_png(png, info, &job, &req);

    xfree(job.rows);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        // A damaged picture is a missing one to the caller, who decides what stands in for it.
        if (job.owns_buffer) xfree(job.buffer);
        return 0;
    }
    buffer = job.buffer;
    return 1;
}

int TEX_save_png(const std::string& path, const TEX_image_desc& desc, const unsigned char* pixels) {
    int bpp = bytes_per_pixel(desc.format);
    if (bpp == 0) {
        __MACIBM_alert(0, "Illegal pixel format for png-write.", path, "", "", t_crash, kAlertFile, 192);
        bpp = 1;
    }
    std::string full = path;
    set_path_to_full(full);

    png_job job;
    job.path = path.c_str();
    job.out = std::fopen(full.c_str(), "wb");
    if (job.out == nullptr) return 0;

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, my_error, my_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        if (png) png_destroy_write_struct(&png, nullptr);
        std::fclose(job.out);
        return 0;
    }
    const encode_request req{&desc, pixels, bpp};
    const int ok = encode_png(png, info, &job, &req);
    xfree(job.rows);
    png_destroy_write_struct(&png, &info);
    // A file that cannot be flushed on closing is as unwritten as one libpng gave up on.
    const bool closed = std::fclose(job.out) == 0;
    return ok && closed ? 1 : 0;
}

int write_png_to_disk(const std::string& path, int width, int height, int channels) {
    TEX_image_desc desc;
    desc.format = channels == 4 ? GL_RGBA : GL_RGB;
    desc.width = width;
    desc.height = height;
    if (width < 1 || height < 1 || TEX_bytes_needed_for_image64(desc) > int64_t(scratch_array_bytes)) return 0;
    return TEX_save_png(path, desc, scratch_array);
}
