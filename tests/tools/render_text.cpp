// Draws one text in a font of the program's gadgets, black on white, and writes the
// picture (binary PPM) for the end-to-end scripts to hold against a screenshot.
// Usage: render_text OUT.ppm FONT SIZE BOLD TEXT   (FONT: "clean" or "fixed"; BOLD: 0 or 1)
#include "gui/gadget_view.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char **argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: render_text OUT.ppm FONT SIZE BOLD TEXT\n");
        return 2;
    }
    fl_open_display();
    Fl::visual(FL_RGB);
    const int size = std::atoi(argv[3]);
    const Fl_Font face = hvn::ToFlFont(hvn::GuiFont{argv[2], double(size), argv[4][0] == '1'});
    const char *text = argv[5];
    fl_font(face, size);
    int w = 0, h = 0;
    fl_measure(text, w, h, 0);
    const int W = w + 20, H = h + 8;
    Fl_Offscreen off = fl_create_offscreen(W, H);
    fl_begin_offscreen(off);
    fl_color(FL_WHITE);
    fl_rectf(0, 0, W, H);
    fl_color(FL_BLACK);
    fl_font(face, size);
    fl_draw(text, 10, 4 + fl_height() - fl_descent());
    std::unique_ptr<uchar[]> rgb(fl_read_image(nullptr, 0, 0, W, H));
    fl_end_offscreen();
    fl_delete_offscreen(off);
    FILE *out = std::fopen(argv[1], "wb");
    if (!out || !rgb)
        return 1;
    std::fprintf(out, "P6\n%d %d\n255\n", W, H);
    std::fwrite(rgb.get(), 3, static_cast<size_t>(W) * H, out);
    return std::fclose(out) == 0 ? 0 : 1;
}
