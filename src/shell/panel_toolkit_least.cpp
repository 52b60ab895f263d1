// Least form of the panel widgets: rectangles in fixed colours through the GL table, hit-tested
// in panel coordinates. Text is not drawn until the text renderer exists.
#include "core/mouse_record.h"
#include "render/gl_api.h"
#include "shell/panel_toolkit.h"
#include "ui/panel_record.h"

namespace {

bool have_gl() { return gl.glBegin != nullptr; }

void window_view() {
    gl.glViewport(0, 0, wins.win_px_w, wins.win_px_h);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0, wins.win_px_w, 0, wins.win_px_h, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glDisable(GL_TEXTURE_2D);
    gl.glDisable(GL_DEPTH_TEST);
    gl.glDisable(GL_CULL_FACE);
}

// A rectangle in panel units.
void rect(float x, float y, float w, float h, float r, float g, float b) {
    if (!have_gl()) return;
    const float ox = wins.off_x, oy = wins.off_y;
    gl.glColor4f(r, g, b, 1.0f);
    gl.glBegin(GL_QUADS);
    gl.glVertex2f(ox + x, oy + y);
    gl.glVertex2f(ox + x, oy + y + h);
    gl.glVertex2f(ox + x + w, oy + y + h);
    gl.glVertex2f(ox + x + w, oy + y);
    gl.glEnd();
}

bool clicked_in(float x, float y, float w, float h) {
    return mnw.click_hit && mnw.mouse_x >= x && mnw.mouse_x <= x + w && mnw.mouse_y >= y && mnw.mouse_y <= y + h;
}

}  // namespace

void panel_draw_background(bool inner_frame) {
    if (!have_gl()) return;
    window_view();
    gl.glClearColor(0.20f, 0.22f, 0.25f, 1.0f);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    rect(0, 0, wins.panel_w, wins.panel_h, 0.55f, 0.57f, 0.60f);
    if (inner_frame) rect(10, 35, wins.panel_w - 20, wins.panel_h - 28 - 35, 0.40f, 0.42f, 0.45f);
}

void panel_text(int, float, float, const std::string&, float, int) {}

float panel_measure(const std::string& text) { return 7.0f * static_cast<float>(text.size()); }

int panel_button(float x, float y, const std::string& label) {
    const float w = panel_measure(label) + 21.0f, h = 20.0f;
    const float left = x - w / 2, bottom = y - h / 2;
    rect(left, bottom, w, h, 0.75f, 0.77f, 0.80f);
    if (!clicked_in(left, bottom, w, h)) return 0;
    mnw.click_hit = 0;
    return 1;
}

void panel_radio(float x, float y, int* target, int value, const std::string&) {
    const float size = 12.0f;
    const bool on = target && *target == value;
    rect(x, y, size, size, on ? 0.9f : 0.3f, on ? 0.9f : 0.3f, on ? 0.3f : 0.3f);
    if (target && clicked_in(x, y, size, size)) {
        *target = value;
        mnw.click_hit = 0;
    }
}
