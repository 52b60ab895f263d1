// Chunked regions packed into memory or a buffer object: the layout with its alignment gaps,
// the calls that upload and map, and the binding caches around mapping and destruction.
#include "render/ogl_chunkybuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "recorded_gl.h"
#include "support/temp_dir.h"

namespace {

using calls = std::vector<std::string>;

// Appends 32-bit words to a region, opening a 1024-byte chunk whenever the last one is full.
void append(subregion_t* r, const std::vector<uint32_t>& words) {
    for (const uint32_t w : words) {
        if (r->last->free_bytes < 4) {
            chunk_t* c = chunky_new_chunk(1024);
            r->last->next = c;
            r->last = c;
            r->write_pos = c->data();
        }
        std::memcpy(r->write_pos, &w, 4);
        r->write_pos += 4;
        r->last->free_bytes -= 4;
    }
}

std::vector<uint32_t> count_up(uint32_t from, int n) {
    std::vector<uint32_t> v;
    for (int i = 0; i < n; ++i) v.push_back(from + static_cast<uint32_t>(i));
    return v;
}

class ChunkyBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        glExt = OGL_extensions{};
        glExt.vbo_avail = 1;
        gl_recorder_install(&rec);
        recgl::load_ext_slots();
        OGL_bind_vbo_forget_for_test();
    }
    void TearDown() override {
        gl_recorder_install(nullptr);
        OGL_bind_vbo_forget_for_test();
    }
    gl_recorder rec;
};

TEST_F(ChunkyBuffer, RegionsAreLaidOutAtTheirAlignment) {
    struct region {
        int words, alignment;
        unsigned long offset;
    };
    const struct {
        const char* name;
        std::vector<region> regions;
        int total;
    } cases[] = {
        {"12 then 32", {{9, 12, 0}, {16, 32, 64}}, 128},
        {"unaligned after 36 bytes", {{9, 12, 0}, {3, 0, 36}}, 48},
        {"aligned start already a multiple", {{8, 16, 0}, {2, 32, 32}}, 40},
        {"empty regions take no room", {{0, 8, 0}, {0, 0, 0}, {1, 16, 0}}, 4},
    };
    for (const auto& c : cases) {
        OGL_chunkybuffer buf;
        std::vector<unsigned long> offsets(c.regions.size(), 99), sizes(c.regions.size(), 99);
        std::vector<subregion_t*> rs;
        for (std::size_t i = 0; i < c.regions.size(); ++i)
            rs.push_back(buf.new_subregion(&offsets[i], &sizes[i], c.regions[i].alignment));
        for (std::size_t i = 0; i < c.regions.size(); ++i)
            append(rs[i], count_up(static_cast<uint32_t>(1000 * (i + 1)), c.regions[i].words));
        buf.finalize_mem();
        EXPECT_EQ(buf.total, c.total) << c.name;
        EXPECT_EQ(buf.first, nullptr) << c.name;
        EXPECT_EQ(buf.is_mapped(), 0) << c.name;   // a block, but no buffer object
        for (std::size_t i = 0; i < c.regions.size(); ++i) {
            EXPECT_EQ(offsets[i], c.regions[i].offset) << c.name << " region " << i;
            EXPECT_EQ(sizes[i], 4ul * static_cast<unsigned long>(c.regions[i].words)) << c.name << " region " << i;
            std::vector<uint32_t> got(static_cast<std::size_t>(c.regions[i].words));
            if (!got.empty()) std::memcpy(got.data(), buf.data + offsets[i], got.size() * 4);
            EXPECT_EQ(got, count_up(static_cast<uint32_t>(1000 * (i + 1)), c.regions[i].words)) << c.name;
        }
    }
    EXPECT_EQ(*g_mem_used.value, 0.0f);   // every block given back
}

TEST_F(ChunkyBuffer, ARegionSpanningChunksPacksContiguously) {
    OGL_chunkybuffer buf;
    unsigned long off = 0, size = 0;
    subregion_t* r = buf.new_subregion(&off, &size, 0);
    append(r, count_up(0, 300));   // 1200 bytes: a second chunk
    ASSERT_NE(r->first, r->last);
    buf.finalize_mem();
    EXPECT_EQ(size, 1200u);
    std::vector<uint32_t> got(300);
    std::memcpy(got.data(), buf.data, 1200);
    EXPECT_EQ(got, count_up(0, 300));
}

TEST_F(ChunkyBuffer, ABufferObjectIsFilledChunkByChunkAndTheOldBindingComesBack) {
    rec.integers[GL_ARRAY_BUFFER_BINDING_ARB] = {7};
    rec.next_name = 40;
    {
        OGL_chunkybuffer buf;
        unsigned long off[2], size[2];
        subregion_t* a = buf.new_subregion(&off[0], &size[0], 12);
        subregion_t* b = buf.new_subregion(&off[1], &size[1], 32);
        append(a, count_up(0, 9));
        append(b, count_up(0, 300));
        buf.finalize_vbo(1);
        EXPECT_EQ(buf.vbo, 40u);
        EXPECT_EQ(buf.data, nullptr);
        EXPECT_EQ(*g_mem_used.value, 64.0f + 1200.0f);
        EXPECT_EQ(rec.take(), (calls{"glGenBuffers(1, ptr)",
                                     "glGetIntegerv(GL_ARRAY_BUFFER_BINDING_ARB, ptr)",
                                     "glBindBufferARB(GL_ARRAY_BUFFER_ARB, 40)",
                                     "glBufferDataARB(GL_ARRAY_BUFFER_ARB, 1264, NULL, GL_STATIC_DRAW_ARB)",
                                     "glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, 36, ptr)",
                                     "glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 64, 1024, ptr)",
                                     "glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 1088, 176, ptr)",
                                     "glBindBufferARB(GL_ARRAY_BUFFER_ARB, 7)"}));
    }
    EXPECT_EQ(rec.take(), calls{"glDeleteBuffers(1, ptr)"});   // neither cache named a buffer
    EXPECT_EQ(*g_mem_used.value, 0.0f);

    // Stream usage; and nothing at all in it goes to memory, with no buffer object.
    OGL_chunkybuffer stream;
    unsigned long off = 0, size = 0;
    append(stream.new_subregion(&off, &size, 0), {1});
    stream.finalize_vbo(0);
    EXPECT_EQ(rec.matching({"glBufferData"}),
              calls{"glBufferDataARB(GL_ARRAY_BUFFER_ARB, 4, NULL, GL_STREAM_DRAW_ARB)"});
    OGL_chunkybuffer empty;
    empty.new_subregion(&off, &size, 16);
    rec.take();
    empty.finalize_vbo(1);
    EXPECT_EQ(rec.take(), calls{});
    EXPECT_EQ(empty.vbo, 0u);
    EXPECT_EQ(empty.total, 0);
}

TEST_F(ChunkyBuffer, BindsAreSkippedOnlyWhileTheCacheIsTrue) {
    std::vector<unsigned char> storage(64);
    rec.map_pointer = storage.data();
    rec.next_name = 5;
    auto buf = std::make_unique<OGL_chunkybuffer>();
    unsigned long off = 0, size = 0;
    append(buf->new_subregion(&off, &size, 0), {1, 2, 3});
    buf->finalize_vbo(1);
    rec.take();
    const float binds = OGL_bind_vbo_count();

    OGL_bind_vbo(5);
    OGL_bind_vbo(5);
    EXPECT_EQ(rec.take(), calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 5)"});
    EXPECT_EQ(OGL_bind_vbo_count(), binds + 1);

    // Mapping leaves 0 bound; the next bind of the same name must really bind.
    buf->map();
    EXPECT_EQ(buf->data, storage.data());
    EXPECT_EQ(buf->is_mapped(), 1);
    EXPECT_EQ(rec.take(), (calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 5)",
                                 "glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_WRITE_ARB)",
                                 "glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0)"}));
    OGL_bind_vbo(5);
    EXPECT_EQ(rec.take(), calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 5)"});
    buf->unmap();
    EXPECT_EQ(buf->data, nullptr);
    EXPECT_EQ(rec.take(), (calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 5)", "glUnmapBufferARB(GL_ARRAY_BUFFER_ARB)",
                                 "glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0)"}));
    OGL_bind_vbo(5);
    EXPECT_EQ(rec.take(), calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 5)"});

    // Destroyed while mapped and bound on both targets: unmapped first, both caches let go.
    OGL_bind_vbo_ind(5);
    buf->map();
    rec.take();
    buf.reset();
    EXPECT_EQ(rec.take(), (calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 5)", "glUnmapBufferARB(GL_ARRAY_BUFFER_ARB)",
                                 "glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0)",
                                 "glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0)", "glDeleteBuffers(1, ptr)"}));
    OGL_bind_vbo(5);
    OGL_bind_vbo_ind(5);
    EXPECT_EQ(rec.take(), (calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 5)",
                                 "glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 5)"}));
}

TEST_F(ChunkyBuffer, MemoryBuffersAreNeitherMappedNorBound) {
    OGL_chunkybuffer buf;
    unsigned long off = 0, size = 0;
    append(buf.new_subregion(&off, &size, 0), {1});
    buf.finalize_mem();
    unsigned char* block = buf.data;
    buf.map();
    buf.unmap();
    EXPECT_EQ(buf.data, block);
    EXPECT_EQ(rec.take(), calls{});
}

void map_a_buffer_the_driver_cannot_map(const std::string& folder) {
    if (::chdir(folder.c_str()) != 0) std::abort();   // the crash's stack crawl lands there
    OGL_chunkybuffer buf;
    unsigned long off = 0, size = 0;
    append(buf.new_subregion(&off, &size, 0), {1});
    buf.finalize_vbo(1);
    buf.map();
}

TEST_F(ChunkyBuffer, AFailedMappingIsACrashAlert) {
    // Forked where it stands, so the crash's files land in this test's folder, which goes with it.
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::temp_dir tmp;
    EXPECT_DEATH(map_a_buffer_the_driver_cannot_map(tmp.path()),
                 "Ventaro has run out of video card memory. I was unable to shift the scenery.");
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

}  // namespace
