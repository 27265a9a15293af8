// Skins: the chooser's items and the loading of the chosen skin onto the gadgets.
#include "config/skins.h"

#include "app/gadgets.h"
#include "catalogue/station_files.h"
#include "config/settings.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "playback/spectrum.h"

#include <array>
#include <optional>

namespace hvn {

IconStripPtr MuteIconStrip;
PixmapPtr ListAllPixmap;
PixmapPtr FavouritesPixmap;
PixmapPtr LoadBgPixmap;
PixmapPtr LoadPointPixmap;
PixmapPtr LoadRetryPixmap;
IconStripPtr SpectrumLeftStrip;
IconStripPtr SpectrumRightStrip;

namespace {

const char *const kBuiltInSkin = "hvn_default";
constexpr std::array<int, 6> kDefaultColors = {70, 70, 70, 90, 90, 90};

// The images a skin gives the gadgets directly (a skin that fails to open gives none).
struct ButtonImages {
    PixmapPtr backw, stop, forw, back, about, creator, station, updates, options, server, save,
        volumeSlider, volumeTrack;
};

// Loads one member, from the open archive or from the embedded files.
class SkinSource {
public:
    explicit SkinSource(bool builtIn) : builtIn_(builtIn) {}

    std::optional<std::string> Bytes(const std::string &member, size_t limit = kZipTextLimit) {
        if (builtIn_) {
            return std::nullopt;
        }
        return StationZip.ExtractFile(member, false, limit);
    }
    PixmapPtr Image(const std::string &member) {
        if (builtIn_) {
            return LoadPixmap("Incbin::./data/" + member);
        }
        std::optional<std::string> bytes = Bytes(member, kZipImageLimit);
        return bytes ? LoadPixmapFromMemory(*bytes) : nullptr;
    }
    IconStripPtr Strip(const std::string &member) {
        if (builtIn_) {
            return LoadIconStrip("Incbin::./data/" + member);
        }
        std::optional<std::string> bytes = Bytes(member, kZipImageLimit);
        return bytes ? LoadIconStripFromMemory(*bytes) : nullptr;
    }

private:
    bool builtIn_;
};

ButtonImages LoadSkinImages(SkinSource &source) {
    ButtonImages images;
    images.backw = source.Image("hvn_backw.png");
    images.stop = source.Image("hvn_stop.png");
    MuteIconStrip = source.Strip("hvn_mute.png");
    images.forw = source.Image("hvn_forw.png");
    images.back = source.Image("hvn_back.png");
    images.about = source.Image("hvn_about.png");
    images.creator = source.Image("hvn_creator.png");
    images.station = source.Image("hvn_station.png");
    images.updates = source.Image("hvn_updates.png");
    images.options = source.Image("hvn_options.png");
    ListAllPixmap = source.Image("hvn_list.png");
    FavouritesPixmap = source.Image("hvn_fav.png");
    images.server = source.Image("hvn_server.png");
    images.save = source.Image("hvn_save.png");
    LoadBgPixmap = source.Image("hvn_loadbg.png");
    LoadPointPixmap = source.Image("hvn_loadpoint.png");
    LoadRetryPixmap = source.Image("hvn_loadretry.png");
    SpectrumLeftStrip = source.Strip("hvn_spec_left.png");
    SpectrumRightStrip = source.Strip("hvn_spec_right.png");
    images.volumeSlider = source.Image("hvn_volumeslider.png");
    images.volumeTrack = source.Image("hvn_volumeslider_bg.png");
    return images;
}

bool ReadPalette(SkinSource &source) {
    std::optional<std::string> bytes = source.Bytes("hvn_spec.txt");
    return bytes && ReadSpectrumPalette(*bytes);
}

void SetButtonImage(Gadget *g, const PixmapPtr &pixmap, int flags) {
    if (g) {
        SetGadgetPixmap(g, pixmap, flags);
    }
}

void PutImagesOnGadgets(const ButtonImages &images) {
    SetButtonImage(PreviousStationButton, images.backw, 26);
    SetButtonImage(StopButton, images.stop, 26);
    SetButtonImage(ConnectingStopButton, images.stop, 26);
    SetButtonImage(MuteButton, IconStripIcon(MuteIconStrip, 0), 26);
    SetButtonImage(NextStationButton, images.forw, 26);
    for (Gadget *g : {PlayerBackButton, OptionsCloseButton, AboutBackButton, ConnectingBackButton,
                      CreditsBackButton, CreatorCancelButton, UpdateBackButton}) {
        SetButtonImage(g, images.back, 26);
    }
    // The update picture opens the about page, the about picture starts the update.
    SetButtonImage(UpdateNowButton, images.about, 26);
    SetButtonImage(CreatorButton, images.creator, 26);
    SetButtonImage(NowPlayingButton, images.station, 26);
    SetButtonImage(AboutButton, images.updates, 26);
    SetButtonImage(OptionsButton, images.options, 26);
    SetButtonImage(NextUrlButton, images.server, 26);
    SetButtonImage(CreatorSaveButton, images.save, 26);
    SetButtonImage(FavouritesToggleButton, ListFavouritesOnly ? ListAllPixmap : FavouritesPixmap,
                   26);
    SetButtonImage(VolumeKnob, images.volumeSlider, 8);
    SetButtonImage(VolumeTrackPanel, images.volumeTrack, 8);
}

ButtonImages LoadArchiveSkin(const std::string &name) {
    ButtonImages images;
    if (StationZip.Open("skins/" + name + ".skn")) {
        SkinSource source(false);
        images = LoadSkinImages(source);
        // A missing palette only leaves the default colours (a debug trace, not shown).
        ReadPalette(source);
    }
    StationZip.Close();
    return images;
}

} // namespace

// "r,g,b,r,g,b": as many colours as the palette has numbers, further ones ignored.
bool ReadSpectrumPalette(const std::string &bytes) {
    const std::string text = DecodeText(bytes);
    if (text.empty()) {
        return false;
    }
    std::vector<std::string> pieces = Split(text, ",");
    for (size_t i = 0; i < pieces.size() && i < 6; ++i) {
        SpectrumColors[i] = StrToInt(pieces[i]);
    }
    return true;
}

void FillSkinList() {
    std::optional<std::vector<std::string>> entries = ReadDirectory("skins");
    AddGadgetItem(SkinComboBox, kBuiltInSkin);
    SelectGadgetItem(SkinComboBox, CountGadgetItems(SkinComboBox) - 1);
    if (!entries) {
        return;
    }
    for (const std::string &entry : *entries) {
        const size_t at = entry.find(".skn");
        if (at == std::string::npos || at == 0) {
            continue;
        }
        AddGadgetItem(SkinComboBox, entry.substr(0, at));
        if (entry == SkinName) {
            SelectGadgetItem(SkinComboBox, CountGadgetItems(SkinComboBox) - 1);
        }
    }
}

void ApplySelectedSkin() {
    const int selected = SelectedGadgetItem(SkinComboBox);
    const std::string name = selected >= 0 ? GadgetItemText(SkinComboBox, selected) : "";
    std::copy(kDefaultColors.begin(), kDefaultColors.end(), SpectrumColors);
    ButtonImages images;
    if (name == kBuiltInSkin) {
        SkinSource source(true);
        images = LoadSkinImages(source);
    } else {
        images = LoadArchiveSkin(name);
    }
    PutImagesOnGadgets(images);
    if (OptionsPage) {
        RedrawGadget(OptionsPage);
    }
    SkinName = name + ".skn";
}

} // namespace hvn
