#pragma once
// The detected OpenGL capabilities. For now only the threaded-OpenGL flag that sizes the
// general thread pool; the rest arrives with capability detection.

class OGL_extensions {
public:
    // Detection never allows worker threads their own contexts, so it clears the flag.
    void init_extensions();
    // A worker context could not be made: warn once and carry on without threaded OpenGL.
    void threaded_ogl_failed();

    int threaded_avail = 1;
};

extern OGL_extensions glExt;
