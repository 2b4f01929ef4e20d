// The PLplot set-up the bench's pictures share (see plot_setup.h).
#include "host/record/plot_setup.h"

#include <plplot.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "host/record/timeline.h"

namespace host {

bool has_plot_device(const char* device)
{
    const char* menu_texts[128] = {};
    const char* device_names[128] = {};
    const char** menus = menu_texts;
    const char** names = device_names;
    int count = 128;
    plgDevs(&menus, &names, &count);
    for (int i = 0; i < count; ++i)
        if (names[i] && std::strcmp(names[i], device) == 0) return true;
    return false;
}

bool begin_plot_page(const std::string& path, const char* device, int width, int height,
                     std::initializer_list<PlotPen> pens, std::string* error)
{
    if (!has_plot_device(device)) {
        *error = std::string("PLplot has no \"") + device + "\" driver (Debian package plplot-driver-cairo)";
        return false;
    }
    if (std::FILE* probe = std::fopen(path.c_str(), "wb")) {
        std::fclose(probe);
    } else {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    plsdev(device);
    plsfnam(path.c_str());
    plspage(0.0, 0.0, width, height, 0, 0);
    for (const PlotPen& pen : pens) plscol0(pen.index, pen.r, pen.g, pen.b);
    plinit();
    pladv(0);
    return true;
}

std::string plot_text(const std::string& text, size_t max_chars)
{
    std::string out;
    size_t chars = 0;
    for (char c : valid_utf8(text)) {
        const bool continuation = (static_cast<unsigned char>(c) & 0xC0) == 0x80;
        if (!continuation && ++chars > max_chars) {
            out += "...";
            break;
        }
        if (c == '#') out += '#';
        out += c;
    }
    return out;
}

}  // namespace host
