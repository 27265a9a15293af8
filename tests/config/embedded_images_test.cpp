// Every picture the program carries decodes with its own loader at the size its
// users lay out for.
#include "config/embedded_files.h"
#include "core/embedded.h"
#include "gui/pixmap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Picture {
    const char *name;
    int width;
    int height;
};

const Picture kPictures[] = {
    {"hvn16.png", 16, 16},
    {"hvn40.png", 40, 40},
    {"corvell_start.png", 274, 87},
    {"lirra_credits.png", 96, 73},
    {"hvn_kro80.png", 59, 80},
    {"lang_flags.png", 272, 16},
    {"hvn_favstation_listbox.png", 240, 20},
    {"hvn_noico.png", 274, 87},
    {"hvn_backw.png", 30, 30},
    {"hvn_stop.png", 30, 30},
    {"hvn_mute.png", 60, 30},
    {"hvn_forw.png", 30, 30},
    {"hvn_back.png", 30, 30},
    {"hvn_about.png", 30, 30},
    {"hvn_creator.png", 30, 30},
    {"hvn_station.png", 30, 30},
    {"hvn_updates.png", 30, 30},
    {"hvn_options.png", 30, 30},
    {"hvn_list.png", 30, 30},
    {"hvn_fav.png", 30, 30},
    {"hvn_server.png", 30, 30},
    {"hvn_save.png", 30, 30},
    {"hvn_loadbg.png", 16, 16},
    {"hvn_loadpoint.png", 16, 16},
    {"hvn_loadretry.png", 16, 16},
    {"hvn_spec_left.png", 225, 15},
    {"hvn_spec_right.png", 225, 15},
    {"hvn_volumeslider.png", 5, 22},
    {"hvn_volumeslider_bg.png", 55, 30},
};

TEST(EmbeddedImages, EveryPictureDecodesAtItsSize) {
    hvn::RegisterEmbeddedFiles();
    for (const Picture &p : kPictures) {
        SCOPED_TRACE(p.name);
        auto bytes = hvn::EmbeddedFile(std::string("Incbin::./data/") + p.name);
        ASSERT_TRUE(bytes.has_value());
        hvn::PixmapPtr pixmap = hvn::LoadPixmapFromMemory(*bytes);
        ASSERT_NE(pixmap, nullptr);
        EXPECT_EQ(pixmap->width, p.width);
        EXPECT_EQ(pixmap->height, p.height);
        // A picture that is fully transparent would show nothing on its button.
        bool visible = false;
        for (uint32_t px : pixmap->pixels)
            visible = visible || (px >> 24) > 0;
        EXPECT_TRUE(visible);
    }
}

TEST(EmbeddedImages, StripsCutIntoTheirIcons) {
    hvn::RegisterEmbeddedFiles();
    struct Strip {
        const char *name;
        int count, size;
    } strips[] = {{"lang_flags.png", 17, 16},
                  {"hvn_favstation_listbox.png", 12, 20},
                  {"hvn_mute.png", 2, 30},
                  {"hvn_spec_left.png", 15, 15},
                  {"hvn_spec_right.png", 15, 15}};
    for (const Strip &s : strips) {
        SCOPED_TRACE(s.name);
        hvn::IconStripPtr strip = hvn::LoadIconStrip(std::string("Incbin::./data/") + s.name);
        ASSERT_NE(strip, nullptr);
        EXPECT_EQ(strip->count, s.count);
        EXPECT_EQ(strip->size, s.size);
    }
}

} // namespace
