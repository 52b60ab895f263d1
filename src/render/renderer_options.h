#pragma once
// Renderer options. For now the three ints the screen-mode preferences keep.

class reno_class {
public:
    int use_vsync1 = 0;   // synchronise with every retrace
    int use_vsync2 = 0;   // synchronise with every second retrace
    int alias_req = 0;    // requested anti-aliasing: 0 none, 1 two samples ... 4 sixteen
};

extern reno_class reno;
