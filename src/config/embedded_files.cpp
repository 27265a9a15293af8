#include "config/embedded_files.h"

#include "core/embedded.h"
#include "core/strings.h"

#include <string>

namespace hvn {

namespace {

// In registration order. "hvn16.png" comes twice; the first registration stays.
// Names are the ones skins and the program open; where the file in resources/data is
// named otherwise, the entry says "registered name=resource file".
const char *const EmbeddedNames[] = {
    "hvn_translations.txt",
    "hvn16.png",
    "hvn16.png",
    "hvn40.png",
    "corvell_start.png",
    "lirra_credits.png",
    "hvn_kro80.png",
    "lang_flags.png",
    "hvn_favstation_listbox.png",
    "hvn_noico.png",
    // the built-in skin
    "hvn_about.png",
    "hvn_back.png",
    "hvn_fav.png",
    "hvn_list.png",
    "hvn_loadbg.png",
    "hvn_loadpoint.png",
    "hvn_loadretry.png",
    "hvn_mute.png",
    "hvn_creator.png",
    "hvn_options.png",
    "hvn_server.png",
    "hvn_backw.png",
    "hvn_forw.png",
    "hvn_save.png",
    "hvn_station.png",
    "hvn_stop.png",
    "hvn_updates.png",
    "hvn_spec_left.png=hvn_spectrum_left.png",
    "hvn_spec_right.png=hvn_spectrum_right.png",
    "hvn_volumeslider.png",
    "hvn_volumeslider_bg.png",
};
static_assert(sizeof(EmbeddedNames) / sizeof(EmbeddedNames[0]) == 31);

} // namespace

void RegisterEmbeddedFiles() {
    static bool done = false;
    if (done)
        return;
    done = true;
    for (const char *entry : EmbeddedNames) {
        const std::string name = LineKey(entry).empty() ? entry : LineKey(entry);
        if (const EmbeddedBlob *blob = FindBuiltInResource(LineValue(entry)))
            RegisterEmbeddedFile("./data/" + name, blob->data, blob->size);
    }
}

} // namespace hvn
