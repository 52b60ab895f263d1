// The reference for the start-up benchmark: the least SDL2 program that opens an 800x600 OpenGL
// window like the installer's, clears it, swaps once, says so on standard output and ends.
#include <SDL.h>
#include <cstdio>
#include <SDL_opengl.h>

int main(int, char**) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_Window* w = SDL_CreateWindow("reference", 0, 40, 800, 600, SDL_WINDOW_OPENGL);
    if (!w) return 1;
    SDL_GLContext c = SDL_GL_CreateContext(w);
    if (!c) return 1;
    auto clear_color = reinterpret_cast<void (*)(float, float, float, float)>(SDL_GL_GetProcAddress("glClearColor"));
    auto clear = reinterpret_cast<void (*)(unsigned)>(SDL_GL_GetProcAddress("glClear"));
    clear_color(0.2f, 0.2f, 0.25f, 1.0f);
    clear(GL_COLOR_BUFFER_BIT);
    SDL_GL_SwapWindow(w);
    std::puts("frame");
    std::fflush(stdout);
    SDL_GL_DeleteContext(c);
    SDL_DestroyWindow(w);
    SDL_Quit();
    return 0;
}
