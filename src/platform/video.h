#pragma once
// The SDL video subsystem that windows, display modes, events and the mouse stand on.
//   [x] started once, on first use, on the main thread
//   [x] runs under any SDL video driver: x11 (a desktop or Xvfb) or offscreen (no X server)
//   [ ] no display at all: every query below answers "nothing", the caller decides what that means
namespace platform {

// True once SDL's video subsystem runs; the first call starts it.
bool video_start();
// True when it has been started (never starts it).
bool video_running();
// Ends the video subsystem (the windows must be gone).
void video_stop();

}  // namespace platform
