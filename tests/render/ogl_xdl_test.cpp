// Vertex batches against a recorded GL: the vertex layouts, strips and fans turned into index
// lists, chunks filled across their edges, reservations, the bounding sphere, packing, the draw
// calls with their client arrays, mapping for processing, and the misuse that crashes.
#include "render/ogl_xdl.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <cstdlib>
#include <vector>

#include "recorded_gl.h"
#include "render/ogl_client_state.h"
#include "render/renderer_options.h"
#include "support/temp_dir.h"

namespace {

using calls = std::vector<std::string>;
using ints = std::vector<int>;

std::vector<float> positions(int n, float from = 0) {
    std::vector<float> p;
    for (int i = 0; i < n; ++i) p.insert(p.end(), {from + float(i), float(2 * i), float(-i)});
    return p;
}

class Batches : public ::testing::Test {
protected:
    void SetUp() override {
        glExt = OGL_extensions{};
        reno = reno_class{};
        reno.tex_units = 4;
        gl_recorder_install(&rec);
        recgl::load_ext_slots();
        OGL_bind_vbo_forget_for_test();
        OGL_setclientstate_forget_for_test();
        xdl_texmap(0, 0, 0);
        groups = *num_xdl_group.value;
        batches = *num_xdl.value;
    }
    void TearDown() override {
        EXPECT_EQ(*num_xdl_group.value, groups);
        EXPECT_EQ(*num_xdl.value, batches);
        gl_recorder_install(nullptr);
        OGL_bind_vbo_forget_for_test();
        OGL_setclientstate_forget_for_test();
        xdl_texmap(0, 0, 0);
    }
    // The batch's indices once its group is packed in memory.
    static ints indices_of(xdl* x) {
        const int* idx = nullptr;
        int n = 0;
        xdl_get_data(x, nullptr, nullptr, nullptr, nullptr, nullptr, &idx, nullptr, &n, nullptr);
        return ints(idx, idx + n);
    }
    gl_recorder rec;
    float groups = 0, batches = 0;
};

TEST_F(Batches, FormatsLayVerticesOutInterleaved) {
    EXPECT_EQ(vertex_size_table[0], 12u);
    EXPECT_EQ(normal_offset_table[0], 12u);
    EXPECT_EQ(color_offset_table[0], 12u);
    EXPECT_EQ(tex2_offset_table[0], 12u);
    EXPECT_EQ(vertex_size_table[15], 56u);
    EXPECT_EQ(color_offset_table[15], 24u);
    EXPECT_EQ(tex1_offset_table[15], 40u);
    EXPECT_EQ(tex2_offset_table[15], 48u);
    // Format 7 (normal, colour, first coordinates), recorded and read back attribute by attribute.
    xdl_group* g = xdl_allocate_group(xdl_store_memory);
    xdl* x = xdl_allocate(g, GL_POINTS, 1, 1, 1, 0, 0);
    const float p[6] = {1, 2, 3, 4, 5, 6}, n[6] = {0, 0, 1, 0, 1, 0}, c[8] = {.1f, .2f, .3f, .4f, .5f, .6f, .7f, .8f},
                t[4] = {9, 8, 7, 6};
    xdl_add_command(x, GL_POINTS, 2, p, n, c, t, nullptr);
    xdl_finish(x, nullptr);
    xdl_finalize_group(g);
    const float *pos, *nrm, *col, *t1;
    int count = 0, floats = 0;
    xdl_get_data(x, &pos, &nrm, &col, &t1, nullptr, nullptr, &count, nullptr, &floats);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(floats, 12);
    EXPECT_EQ(std::vector<float>(pos + 12, pos + 15), (std::vector<float>{4, 5, 6}));
    EXPECT_EQ(std::vector<float>(nrm + 12, nrm + 15), (std::vector<float>{0, 1, 0}));
    EXPECT_EQ(std::vector<float>(col + 12, col + 16), (std::vector<float>{.5f, .6f, .7f, .8f}));
    EXPECT_EQ(std::vector<float>(t1 + 12, t1 + 14), (std::vector<float>{7, 6}));
    xdl_destroy(x);
}

TEST_F(Batches, CommandsBecomeIndexListsCountedFromTheBatchStart) {
    const struct {
        const char* name;
        int type, count, vertices_before, no_indices;
        ints want;
        int vertex_count_after;
    } cases[] = {
        {"fan after 10", GL_TRIANGLE_FAN, 5, 10, 0, {10, 11, 12, 10, 12, 13, 10, 13, 14}, 15},
        {"triangle strip", GL_TRIANGLE_STRIP, 5, 0, 0, {0, 1, 2, 1, 3, 2, 2, 3, 4}, 5},
        {"quad strip", GL_QUAD_STRIP, 6, 0, 0, {0, 1, 3, 2, 2, 3, 5, 4}, 6},
        {"line strip", GL_LINE_STRIP, 3, 0, 0, {0, 1, 1, 2}, 3},
        {"list", GL_TRIANGLES, 3, 4, 0, {4, 5, 6}, 7},
        {"list without indices", GL_TRIANGLES, 3, 4, 1, {}, 4},
        {"strip without indices still indexed", GL_TRIANGLE_STRIP, 4, 4, 1, {4, 5, 6, 5, 7, 6}, 8},
    };
    for (const auto& c : cases) {
        xdl_group* g = xdl_allocate_group(xdl_store_memory);
        xdl* x = xdl_allocate(g, GL_TRIANGLES, 0, 0, 0, 0, c.no_indices);
        // The vertices before come from a reservation, which indexes nothing.
        int base = -1;
        float* at = nullptr;
        int* idx = nullptr;
        xdl_reserve_command(x, c.vertices_before, 0, &at, nullptr, nullptr, nullptr, nullptr, &idx, &base, nullptr);
        EXPECT_EQ(base, 0);
        EXPECT_EQ(idx, nullptr);
        const std::vector<float> p = positions(c.count);
        xdl_add_command(x, c.type, c.count, p.data(), nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(x->idx_offset, static_cast<unsigned long>(c.vertex_count_after)) << c.name;
        xdl_finish(x, nullptr);
        xdl_finalize_group(g);
        if (!c.no_indices) {
            EXPECT_EQ(indices_of(x), c.want) << c.name;
        }
        EXPECT_EQ(x->idx_bytes, 4 * c.want.size()) << c.name;
        EXPECT_EQ(x->vert_bytes, 12ul * static_cast<unsigned long>(c.vertices_before + c.count)) << c.name;
        xdl_destroy(x);
    }
}

TEST_F(Batches, IndexedCommandsTakeStridedInterleavedArrays) {
    xdl_group* g = xdl_allocate_group(xdl_store_memory);
    xdl* x = xdl_allocate(g, GL_TRIANGLES, 0, 0, 1, 0, 0);
    const float first[3] = {0, 0, 0}, first_uv[2] = {0, 0};
    xdl_add_command(x, GL_POINTS, 1, first, nullptr, nullptr, first_uv, nullptr);
    // x y z s t per vertex, one buffer.
    const float interleaved[15] = {1, 1, 1, .1f, .2f, 2, 2, 2, .3f, .4f, 3, 3, 3, .5f, .6f};
    const int idx[6] = {0, 1, 2, 2, 1, 0};
    xdl_add_command_indexed(x, GL_TRIANGLES, 3, 6, interleaved, nullptr, nullptr, interleaved + 3, nullptr, idx, 5);
    xdl_finish(x, nullptr);
    xdl_finalize_group(g);
    EXPECT_EQ(indices_of(x), (ints{0, 1, 2, 3, 3, 2, 1}));
    const float *pos, *t1;
    int count = 0;
    xdl_get_data(x, &pos, nullptr, nullptr, &t1, nullptr, nullptr, &count, nullptr, nullptr);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(std::vector<float>(pos + 15, pos + 18), (std::vector<float>{3, 3, 3}));
    EXPECT_EQ(std::vector<float>(t1 + 10, t1 + 12), (std::vector<float>{.3f, .4f}));
    xdl_destroy(x);
}

TEST_F(Batches, ValuesFillChunksAcrossTheirEdgeAndPackContiguously) {
    xdl_group* g = xdl_allocate_group(xdl_store_memory);
    xdl* x = xdl_allocate(g, GL_POINTS, 0, 0, 0, 0, 1);
    subregion_t* r = reinterpret_cast<subregion_t*>(x->vert_offset);
    const std::vector<float> p = positions(86);
    xdl_add_command(x, GL_POINTS, 86, p.data(), nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(r->first->next, nullptr);
    EXPECT_EQ(r->first->free_bytes, 0);
    float last_x_of_first_chunk = 0;
    std::memcpy(&last_x_of_first_chunk, r->first->data() + 1020, 4);
    EXPECT_EQ(last_x_of_first_chunk, 85.0f);   // the 86th vertex's x
    EXPECT_EQ(r->last->capacity, 1024);
    EXPECT_EQ(r->last->capacity - r->last->free_bytes, 8);
    xdl_finish(x, nullptr);
    xdl_finalize_group(g);
    const float* pos = nullptr;
    xdl_get_data(x, &pos, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::vector<float>(pos, pos + 86 * 3), p);
    xdl_destroy(x);
}

TEST_F(Batches, ReservationsNeverStraddleChunks) {
    xdl_group* g = xdl_allocate_group(xdl_store_memory);
    xdl* big = xdl_allocate(g, GL_TRIANGLES, 1, 1, 0, 0, 0);   // 40-byte vertices
    xdl* small = xdl_allocate(g, GL_TRIANGLES, 1, 1, 1, 0, 0);  // 48-byte vertices
    subregion_t* rb = reinterpret_cast<subregion_t*>(big->vert_offset);
    subregion_t* rs = reinterpret_cast<subregion_t*>(small->vert_offset);
    float *pos, *nrm, *col, *t1, *t2;
    int* idx = nullptr;
    int base = -1, floats = 0;
    xdl_reserve_command(small, 10, 3, &pos, &nrm, &col, &t1, &t2, &idx, &base, &floats);
    EXPECT_EQ(rs->first, rs->last);
    EXPECT_EQ(rs->first->capacity - rs->first->free_bytes, 480);
    EXPECT_EQ(floats, 12);
    EXPECT_EQ(base, 0);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(col) - reinterpret_cast<unsigned char*>(pos), 24);
    EXPECT_EQ(reinterpret_cast<unsigned char*>(t2) - reinterpret_cast<unsigned char*>(pos), 48);   // absent: the end
    ASSERT_NE(idx, nullptr);
    idx[0] = 0;
    idx[1] = 9;
    idx[2] = 5;
    for (int v = 0; v < 10; ++v) pos[v * floats] = float(v);

    xdl_reserve_command(big, 300, 0, &pos, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(rb->first, rb->last);
    EXPECT_EQ(rb->last->capacity, 12000);
    EXPECT_EQ(rb->first->capacity - rb->first->free_bytes, 0);   // the first chunk stays empty
    xdl_finish(big, nullptr);
    xdl_finish(small, nullptr);
    xdl_finalize_group(g);
    EXPECT_EQ(big->vert_bytes, 12000u);
    EXPECT_EQ(small->vert_offset, 12000u);   // a multiple of 48 already
    EXPECT_EQ(indices_of(small), (ints{0, 9, 5}));
    const float* packed = nullptr;
    xdl_get_data(small, &packed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(packed[9 * 12], 9.0f);
    xdl_destroy(big);
    xdl_destroy(small);
}

TEST_F(Batches, TheSphereHoldsEveryPosition) {
    const struct {
        const char* name;
        std::vector<float> points;
        float want[4];
    } cases[] = {
        {"no vertices", {}, {0, 0, 0, -1}},
        {"two points", {0, 0, 0, 2, 0, 0}, {1, 0, 0, 1}},
        {"one point", {3, 4, 5}, {3, 4, 5, 0}},
    };
    for (const auto& c : cases) {
        xdl_group* g = xdl_allocate_group(xdl_store_memory);
        xdl* x = xdl_allocate(g, GL_POINTS, 1, 0, 0, 0, 0);   // normals skipped while reading
        const int n = int(c.points.size() / 3);
        std::vector<float> normals(c.points.size(), 7.0f);
        xdl_add_command(x, GL_POINTS, n, c.points.data(), normals.data(), nullptr, nullptr, nullptr);
        float s[4] = {0, 0, 0, 0};
        xdl_finish(x, s);
        EXPECT_EQ(std::vector<float>(s, s + 4), std::vector<float>(c.want, c.want + 4)) << c.name;
        xdl_finalize_group(g);
        xdl_destroy(x);
    }
    // Many scattered points over several chunks: all inside.
    xdl_group* g = xdl_allocate_group(xdl_store_memory);
    xdl* x = xdl_allocate(g, GL_POINTS, 0, 1, 0, 0, 0);
    std::vector<float> p, colours(400 * 4, 1.0f);
    uint32_t seed = 7;
    for (int i = 0; i < 400 * 3; ++i) {
        seed = seed * 1664525u + 1013904223u;
        p.push_back(float(seed >> 8) / float(1 << 24) * 100.0f - 50.0f);
    }
    xdl_add_command(x, GL_POINTS, 400, p.data(), nullptr, colours.data(), nullptr, nullptr);
    float s[4];
    xdl_finish(x, s);
    for (int i = 0; i < 400; ++i) {
        const float d = std::sqrt((p[i * 3] - s[0]) * (p[i * 3] - s[0]) + (p[i * 3 + 1] - s[1]) * (p[i * 3 + 1] - s[1]) +
                                  (p[i * 3 + 2] - s[2]) * (p[i * 3 + 2] - s[2]));
        ASSERT_LE(d, s[3] * 1.0001f) << i;
    }
    xdl_finalize_group(g);
    xdl_destroy(x);
}

TEST_F(Batches, AGroupWithoutFinishedBatchesIsDeletedInsteadOfPacked) {
    xdl_group* g = xdl_allocate_group(xdl_store_static);
    EXPECT_EQ(*num_xdl_group.value, groups + 1);
    EXPECT_EQ(xdl_finalize_group(g), nullptr);
    EXPECT_EQ(*num_xdl_group.value, groups);
}

TEST_F(Batches, DrawingBindsTheGroupPointsTheArraysAndCountsElements) {
    glExt.vbo_avail = 1;
    rec.next_name = 20;
    xdl_group* g = xdl_allocate_group(xdl_store_static);
    xdl* first = xdl_allocate(g, GL_POINTS, 0, 0, 0, 0, 1);
    xdl* x = xdl_allocate(g, GL_TRIANGLES, 1, 1, 1, 1, 0);   // format 15, 56 bytes
    std::vector<float> one = positions(1);
    xdl_add_command(first, GL_POINTS, 1, one.data(), nullptr, nullptr, nullptr, nullptr);
    const std::vector<float> p = positions(9), attr(9 * 4, 0.5f);
    xdl_add_command(x, GL_TRIANGLES, 9, p.data(), attr.data(), attr.data(), attr.data(), attr.data());
    xdl_finish(first, nullptr);
    xdl_finish(x, nullptr);
    EXPECT_EQ(xdl_group_is_finalized(g), 0);
    xdl_finalize_group(g);
    EXPECT_EQ(xdl_group_is_finalized(g), 1);
    EXPECT_EQ(rec.matching({"glBufferData"}), (calls{"glBufferDataARB(GL_ARRAY_BUFFER_ARB, 560, NULL, GL_STATIC_DRAW_ARB)",
                                                     "glBufferDataARB(GL_ARRAY_BUFFER_ARB, 36, NULL, GL_STATIC_DRAW_ARB)"}));
    EXPECT_EQ(x->vert_offset, 56u);
    rec.take();

    xdl_texmap(1, 1 | 4, 0);
    const float draws = *num_xdl_draw.value, elements = *num_xdl_vert.value;
    xdl_draw(x, 0);
    // The second coordinates win unit 0; colours are recorded but not used.
    EXPECT_EQ(rec.take(), (calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 20)",
                                 "glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 21)",
                                 "glEnableClientState(GL_NORMAL_ARRAY)",
                                 "glEnableClientState(GL_TEXTURE_COORD_ARRAY)",
                                 "glClientActiveTexture(GL_TEXTURE2)",
                                 "glEnableClientState(GL_TEXTURE_COORD_ARRAY)",
                                 "glClientActiveTexture(GL_TEXTURE0)",
                                 "glVertexPointer(3, GL_FLOAT, 56, ptr)",
                                 "glNormalPointer(GL_FLOAT, 56, ptr)",
                                 "glTexCoordPointer(2, GL_FLOAT, 56, ptr)",
                                 "glTexCoordPointer(2, GL_FLOAT, 56, ptr)",
                                 "glClientActiveTexture(GL_TEXTURE2)",
                                 "glTexCoordPointer(2, GL_FLOAT, 56, ptr)",
                                 "glClientActiveTexture(GL_TEXTURE0)",
                                 "glDrawElements(GL_TRIANGLES, 9, GL_UNSIGNED_INT, NULL)"}));
    xdl_redraw(x, 0.5f);
    EXPECT_EQ(rec.take(), calls{"glDrawElements(GL_TRIANGLES, 4, GL_UNSIGNED_INT, NULL)"});
    EXPECT_EQ(*num_xdl_draw.value, draws + 2);
    EXPECT_EQ(*num_xdl_vert.value, elements + 18);

    // Colours in use; the first batch shares the bound buffers and draws without indices.
    xdl_texmap(0, 0, 1);
    xdl_draw(first, 0);
    EXPECT_EQ(rec.matching({"glBindBuffer", "glColorPointer", "glDraw"}), calls{"glDrawArrays(0, 0, 1)"});   // GL_POINTS
    xdl_draw(x, 0);
    EXPECT_EQ(rec.matching({"glColorPointer"}), calls{"glColorPointer(4, GL_FLOAT, 56, ptr)"});
    rec.take();

    xdl_destroy(first);
    EXPECT_EQ(rec.take(), calls{});
    xdl_destroy(x);
    EXPECT_EQ(rec.matching({"glDeleteBuffers"}), (calls{"glDeleteBuffers(1, ptr)", "glDeleteBuffers(1, ptr)"}));
}

struct seen {
    std::vector<std::vector<float>> firsts;
    std::vector<int> kinds;
};
void note(float* first, int count, int stride, int kind, void* ref) {
    auto* s = static_cast<seen*>(ref);
    s->firsts.push_back({first[0], first[1], first[2], float(count), float(stride)});
    s->kinds.push_back(kind);
    first[stride] += 100.0f;   // the callback may rewrite the data in place
}

TEST_F(Batches, ProcessingMapsEachGroupOnceAndTheNextDrawBindsAgain) {
    glExt.vbo_avail = 1;
    std::vector<float> mapped(64, 0.0f);
    rec.map_pointer = mapped.data();
    rec.next_name = 30;
    xdl_group* g = xdl_allocate_group(xdl_store_stream);
    xdl* a = xdl_allocate(g, GL_POINTS, 1, 0, 0, 0, 1);
    xdl* b = xdl_allocate(g, GL_POINTS, 0, 0, 0, 0, 1);
    const std::vector<float> p = positions(2), n = {0, 0, 1, 0, 1, 0};
    xdl_add_command(a, GL_POINTS, 2, p.data(), n.data(), nullptr, nullptr, nullptr);
    xdl_add_command(b, GL_POINTS, 1, p.data(), nullptr, nullptr, nullptr, nullptr);
    xdl_finish(a, nullptr);
    xdl_finish(b, nullptr);
    xdl_finalize_group(g);
    xdl_draw(b, 0);   // binds buffer 30
    rec.take();
    // Stand-in for the buffer's contents: a's two vertices (position, normal), then b's.
    const float contents[15] = {0, 0, 0, 0, 0, 1, 1, 2, -1, 0, 1, 0, 0, 0, 0};
    std::memcpy(mapped.data(), contents, sizeof contents);

    seen s;
    const float maps = *num_xdl_group_map.value;
    xdl_process(nullptr, a, &note, &s);
    EXPECT_EQ(*num_xdl_group_map.value, maps + 1);
    xdl_process(a, b, &note, &s);   // same group: no unmapping between
    xdl_process(b, nullptr, &note, &s);
    EXPECT_EQ(*num_xdl_group_map.value, maps);
    EXPECT_EQ(rec.matching({"glMapBuffer", "glUnmapBuffer"}),
              (calls{"glMapBufferARB(GL_ARRAY_BUFFER_ARB, GL_READ_WRITE_ARB)", "glUnmapBufferARB(GL_ARRAY_BUFFER_ARB)"}));
    EXPECT_EQ(s.kinds, (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(s.firsts[0], (std::vector<float>{0, 0, 0, 2, 6}));
    EXPECT_EQ(s.firsts[1], (std::vector<float>{0, 0, 1, 2, 6}));
    EXPECT_EQ(mapped[6], 101.0f);   // a's second position, rewritten
    rec.take();
    xdl_draw(b, 0);
    EXPECT_EQ(rec.matching({"glBindBufferARB(GL_ARRAY"}), calls{"glBindBufferARB(GL_ARRAY_BUFFER_ARB, 30)"});
    xdl_destroy(a);
    xdl_destroy(b);
}

void record_bad_command(const std::string& folder, int type, bool indexed) {
    if (::chdir(folder.c_str()) != 0) std::abort();   // the crash's stack crawl lands there
    xdl_group* g = xdl_allocate_group(xdl_store_memory);
    xdl* x = xdl_allocate(g, GL_TRIANGLES, 0, 0, 0, 0, 0);
    const float p[12] = {};
    const int idx[3] = {0, 1, 2};
    if (indexed) xdl_add_command_indexed(x, type, 3, 3, p, nullptr, nullptr, nullptr, nullptr, idx, 0);
    else xdl_add_command(x, type, 4, p, nullptr, nullptr, nullptr, nullptr);
}

TEST_F(Batches, LoopsPolygonsAndUnknownCommandsAreCrashAlerts) {
    // Forked where it stands, so the crash's files land in this test's folder, which goes with it.
    GTEST_FLAG_SET(death_test_style, "fast");
    testsupport::temp_dir tmp;
    for (const int type : {GL_LINE_LOOP, GL_POLYGON, -1, 10})
        EXPECT_DEATH(record_bad_command(tmp.path(), type, false), "Polygon or unknown command in XDL.") << type;
    for (const int type : {GL_LINE_STRIP, GL_TRIANGLE_STRIP, GL_TRIANGLE_FAN, GL_QUAD_STRIP})
        EXPECT_DEATH(record_bad_command(tmp.path(), type, true),
                     "Polygon or stripped primitive or unknown command in indexed XDL.")
            << type;
    GTEST_FLAG_SET(death_test_style, "threadsafe");
}

}  // namespace
