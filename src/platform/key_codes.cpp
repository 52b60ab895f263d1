#include "platform/key_codes.h"

#include <SDL_scancode.h>

namespace platform {

namespace {
struct code_pair {
    SDL_Scancode scancode;
    int code;
};

// The physical layout of the classic desktop keyboard, by position.
constexpr code_pair kCodes[] = {
    {SDL_SCANCODE_A, 0},           {SDL_SCANCODE_S, 1},          {SDL_SCANCODE_D, 2},
    {SDL_SCANCODE_F, 3},           {SDL_SCANCODE_H, 4},          {SDL_SCANCODE_G, 5},
    {SDL_SCANCODE_Z, 6},           {SDL_SCANCODE_X, 7},          {SDL_SCANCODE_C, 8},
    {SDL_SCANCODE_V, 9},           {SDL_SCANCODE_NONUSBACKSLASH, 10}, {SDL_SCANCODE_B, 11},
    {SDL_SCANCODE_Q, 12},          {SDL_SCANCODE_W, 13},         {SDL_SCANCODE_E, 14},
    {SDL_SCANCODE_R, 15},          {SDL_SCANCODE_Y, 16},         {SDL_SCANCODE_T, 17},
    {SDL_SCANCODE_1, 18},          {SDL_SCANCODE_2, 19},         {SDL_SCANCODE_3, 20},
    {SDL_SCANCODE_4, 21},          {SDL_SCANCODE_6, 22},         {SDL_SCANCODE_5, 23},
    {SDL_SCANCODE_EQUALS, 24},     {SDL_SCANCODE_9, 25},         {SDL_SCANCODE_7, 26},
    {SDL_SCANCODE_MINUS, 27},      {SDL_SCANCODE_8, 28},         {SDL_SCANCODE_0, 29},
    {SDL_SCANCODE_RIGHTBRACKET, 30}, {SDL_SCANCODE_O, 31},       {SDL_SCANCODE_U, 32},
    {SDL_SCANCODE_LEFTBRACKET, 33}, {SDL_SCANCODE_I, 34},        {SDL_SCANCODE_P, 35},
    {SDL_SCANCODE_RETURN, 36},     {SDL_SCANCODE_L, 37},         {SDL_SCANCODE_J, 38},
    {SDL_SCANCODE_APOSTROPHE, 39}, {SDL_SCANCODE_K, 40},         {SDL_SCANCODE_SEMICOLON, 41},
    {SDL_SCANCODE_BACKSLASH, 42},  {SDL_SCANCODE_COMMA, 43},     {SDL_SCANCODE_SLASH, 44},
    {SDL_SCANCODE_N, 45},          {SDL_SCANCODE_M, 46},         {SDL_SCANCODE_PERIOD, 47},
    {SDL_SCANCODE_TAB, 48},        {SDL_SCANCODE_SPACE, 49},     {SDL_SCANCODE_GRAVE, 50},
    {SDL_SCANCODE_BACKSPACE, 51},  {SDL_SCANCODE_ESCAPE, 53},    {SDL_SCANCODE_F17, 64},
    {SDL_SCANCODE_KP_PERIOD, 65},  {SDL_SCANCODE_KP_MULTIPLY, 67}, {SDL_SCANCODE_KP_PLUS, 69},
    {SDL_SCANCODE_NUMLOCKCLEAR, 71}, {SDL_SCANCODE_KP_DIVIDE, 75}, {SDL_SCANCODE_KP_ENTER, 76},
    {SDL_SCANCODE_KP_MINUS, 78},   {SDL_SCANCODE_F18, 79},       {SDL_SCANCODE_F19, 80},
    {SDL_SCANCODE_KP_EQUALS, 81},  {SDL_SCANCODE_KP_0, 82},      {SDL_SCANCODE_KP_1, 83},
    {SDL_SCANCODE_KP_2, 84},       {SDL_SCANCODE_KP_3, 85},      {SDL_SCANCODE_KP_4, 86},
    {SDL_SCANCODE_KP_5, 87},       {SDL_SCANCODE_KP_6, 88},      {SDL_SCANCODE_KP_7, 89},
    {SDL_SCANCODE_F20, 90},        {SDL_SCANCODE_KP_8, 91},      {SDL_SCANCODE_KP_9, 92},
    {SDL_SCANCODE_INTERNATIONAL3, 93}, {SDL_SCANCODE_F5, 96},    {SDL_SCANCODE_F6, 97},
    {SDL_SCANCODE_F7, 98},         {SDL_SCANCODE_F3, 99},        {SDL_SCANCODE_F8, 100},
    {SDL_SCANCODE_F9, 101},        {SDL_SCANCODE_F11, 103},      {SDL_SCANCODE_F13, 105},
    {SDL_SCANCODE_F16, 106},       {SDL_SCANCODE_F14, 107},      {SDL_SCANCODE_F10, 109},
    {SDL_SCANCODE_F12, 111},       {SDL_SCANCODE_F15, 113},      {SDL_SCANCODE_INSERT, 114},
    {SDL_SCANCODE_HOME, 115},      {SDL_SCANCODE_PAGEUP, 116},   {SDL_SCANCODE_DELETE, 117},
    {SDL_SCANCODE_F4, 118},        {SDL_SCANCODE_END, 119},      {SDL_SCANCODE_F2, 120},
    {SDL_SCANCODE_PAGEDOWN, 121},  {SDL_SCANCODE_F1, 122},       {SDL_SCANCODE_LEFT, 123},
    {SDL_SCANCODE_RIGHT, 124},     {SDL_SCANCODE_DOWN, 125},     {SDL_SCANCODE_UP, 126},
};
}  // namespace

int mac_key_code(int sdl_scancode) {
    for (const code_pair& p : kCodes)
        if (p.scancode == sdl_scancode) return p.code;
    return -1;
}

int physical_key_code(int sdl_scancode) {
    const int code = mac_key_code(sdl_scancode);
    return code >= 0 ? code : 128 + sdl_scancode;
}

uint32_t us_shifted(uint32_t lower) {
    if (lower >= 'a' && lower <= 'z') return lower - 'a' + 'A';
    static const char plain[] = "`1234567890-=[]\\;',./";
    static const char shifted[] = "~!@#$%^&*()_+{}|:\"<>?";
    for (int i = 0; plain[i]; ++i)
        if (static_cast<uint32_t>(plain[i]) == lower) return static_cast<uint32_t>(shifted[i]);
    return lower;
}

}  // namespace platform
