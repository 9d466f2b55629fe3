// Collects what a piece of code prints to standard output (the library's
// diagnostics go there through printf).
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>

inline std::string captureStdout(const std::function<void()> &run)
{
    std::fflush(stdout);
    FILE *sink = std::tmpfile();
    const int saved = dup(fileno(stdout));
    dup2(fileno(sink), fileno(stdout));
    run();
    std::fflush(stdout);
    dup2(saved, fileno(stdout));
    close(saved);
    std::string out(4096, '\0');
    std::rewind(sink);
    out.resize(std::fread(&out[0], 1, out.size(), sink));
    std::fclose(sink);
    return out;
}
