// The current language's texts and the label colour on the built window.
#include "app/texts.h"

#include "app/gadgets.h"
#include "config/settings.h"
#include "config/translations.h"
#include "playback/current_station.h"
#include "playback/now_playing.h"

#include <utility>

namespace hvn {

namespace {

void SetText(Gadget *g, const std::string &text) {
    if (g) {
        SetGadgetText(g, text);
    }
}

void SetTip(Gadget *g, const std::string &tip) {
    if (g) {
        SetGadgetToolTip(g, tip);
    }
}

void SetMenu(Gadget *menu, const std::string &text) {
    if (menu) {
        SetMenuText(menu, text);
    }
}

void ApplyCaptions() {
    SetText(LanguageCaption, Tr(LABELS_OPT, 1));
    SetText(BufferSizeCaption, Tr(LABELS_OPT, 2));
    SetText(SkinCaption, Tr(LABELS_OPT, 6));
    SetText(SaveWindowPositionCheckBox, Tr(LABELS_OPT, 3));
    SetText(SaveStationCheckBox, Tr(LABELS_OPT, 4));
    SetText(StartMinimizedCheckBox, Tr(LABELS_OPT, 5));
    SetText(ForceOpenGLCheckBox, "OpenGL " + Tr(LABELS_OPT, 0));
    SetText(ShowErrorsCheckBox, Tr(LABELS_OPT, 8));
    SetText(ShowSpectrumCheckBox, Tr(LABELS_OPT, 9));
    SetText(AutoUpdateCheckBox, Tr(LABELS_POPMENU, 4));
    SetText(ConnectingStatusLabel, Tr(LABELS_LOAD, 0));
    SetText(ConnectingTitleLabel, "");
    SetText(ConnectingInfoLabel, "");
    SetText(AboutNoticeLabel1, Tr(LABELS_ABOUT, 0));
    SetText(AboutNoticeLabel2, Tr(LABELS_ABOUT, 1));
    SetMenu(AboutMenuItem, Tr(LABELS_POPMENU, 0));
    SetMenu(OptionsMenuItem, Tr(LABELS_POPMENU, 1));
    SetMenu(StationListMenuItem, Tr(LABELS_POPMENU, 2));
    SetMenu(ExitMenuItem, Tr(LABELS_POPMENU, 5));
    SetMenu(CreditsMenuItem, Tr(LABELS_POPMENU, 7));
    SetMenu(MuteMenuItem, Tr(LABELS_POPMENU, 8));
    SetMenu(FavouriteMenuItem, Tr(LABELS_POPMENU, 6));
    SetMenu(DeleteStationMenuItem, Tr(LABELS_POPMENU, 3));
    SetMenu(EditStationMenuItem, Tr(TOOLTIP, 21));
    Gadget *ratings[] = {Rating0MenuItem, Rating1MenuItem, Rating2MenuItem,
                         Rating3MenuItem, Rating4MenuItem, Rating5MenuItem};
    for (int i = 0; i < 6; ++i) {
        SetMenu(ratings[i], Tr(LABELS_POPMENU2, i));
    }
    SetText(BusyLabel, Tr(LABELS_LOAD, 1) + "...");
}

void ApplyTooltips() {
    const std::string back = Tr(TOOLTIP, 0);
    const std::string website = Tr(TOOLTIP, 3) + ": " + StationHomepageHost;
    const std::pair<Gadget *, std::string> tips[] = {
        {PlayerBackButton, back},
        {NextStationButton, Tr(TOOLTIP, 15)},
        {StopButton, Tr(TOOLTIP, 13)},
        {ConnectingStopButton, Tr(TOOLTIP, 13)},
        {MuteButton, Tr(TOOLTIP, Muted == 1 ? 2 : 1)},
        {PreviousStationButton, Tr(TOOLTIP, 16)},
        {HistoryToggleButton,
         Tr(TOOLTIP, HistoryToggleButton && ButtonState(HistoryToggleButton) ? 22 : 27)},
        {AboutMakerLabel, Tr(LABELS_POPMENU, 7)},
        {AboutLogoPanel, Tr(TOOLTIP, 3) + ": Halvane"},
        {FavouritesToggleButton, Tr(TOOLTIP, ListFavouritesOnly == 0 ? 6 : 7)},
        {OptionsButton, Tr(LABELS_POPMENU, 1)},
        {AboutButton, Tr(LABELS_POPMENU, 0)},
        {OptionsCloseButton, back},
        {UpdateServerField, Tr(TOOLTIP, 26)},
        {AboutBackButton, back},
        {UpdateNowButton, Tr(LABELS_POPMENU, 4)},
        {CreatorButton, Tr(TOOLTIP, 21)},
        {ConnectingBackButton, back},
        {CreditsBackButton, back},
        {SpectrumCanvas, website},
        {ConnectingLogoPanel, website},
        {CreatorSaveButton, Tr(TOOLTIP, 14)},
        {CreatorCancelButton, back},
        {CreatorNameField, Tr(TOOLTIP, 17)},
        {CreatorHomepageField, Tr(TOOLTIP, 18)},
        {CreatorLogoPreview, Tr(TOOLTIP, 19)},
        {CreatorFileNameField, Tr(TOOLTIP, 20)},
        {CreatorUrlField, Tr(TOOLTIP, 22)},
        {CreatorAddUrlLabel, Tr(TOOLTIP, 23)},
        {CreatorRemoveUrlLabel, Tr(TOOLTIP, 24)},
        {CreatorChooseLogoLabel, Tr(TOOLTIP, 25)},
    };
    for (const auto &[gadget, tip] : tips) {
        SetTip(gadget, tip);
    }
}

// The choosers' fixed first items keep their places; genre items stay as built.
void ApplyComboItems() {
    if (CreatorGenreComboBox && CountGadgetItems(CreatorGenreComboBox) > 0) {
        ModifyGadgetItem(CreatorGenreComboBox, 0, Tr(COMBOBOX, 2), 0, -1, "0");
    }
    const int entries[] = {1, 3, 4, 5};
    for (int i = 0; i < 4 && CategoryComboBox; ++i) {
        if (i < CountGadgetItems(CategoryComboBox)) {
            ModifyGadgetItem(CategoryComboBox, i, Tr(COMBOBOX, entries[i]), 0, -1, "");
        }
    }
}

} // namespace

int ApplyLanguageTexts(int language) {
    ApplyCaptions();
    ApplyTooltips();
    ApplyComboItems();
    VolumeToFMOD(Volume); // only for the knob's tooltip in the new language
    SetTip(UpdateBackButton, Tr(TOOLTIP, 0));
    return 0;
}

int SetLabelColors(int red, int green, int blue) {
    if (red == -1) {
        const Rgb text = LookupGuiColor(2);
        red = text.r;
        green = text.g;
        blue = text.b;
    }
    if (LabelColorSwatch) {
        SetGadgetColor(LabelColorSwatch, red, green, blue);
    }
    Gadget *labels[] = {
        ConnectingStatusLabel, ConnectingTitleLabel,
        ConnectingInfoLabel,   BusyLabel,
        StationTitleLabel,     StationStatusLabel,
        AboutNoticeLabel1,     AboutNoticeLabel2,
        LanguageCaption,       BufferSizeCaption,
        SkinCaption,           SaveWindowPositionCheckBox,
        SaveStationCheckBox,   StartMinimizedCheckBox,
        ForceOpenGLCheckBox,   ShowErrorsCheckBox,
        ShowSpectrumCheckBox,  AutoUpdateCheckBox,
        UpdateStatusLabel,     UpdateBuildLabel,
        UpdatePercentLabel,    UpdateMiddleLabel,
        UpdateRightLabel,      CreatorChooseLogoLabel,
        CreatorAddUrlLabel,    CreatorRemoveUrlLabel,
    };
    for (Gadget *g : labels) {
        if (g) {
            SetGadgetTextColor(g, red, green, blue);
        }
    }
    return 0;
}

} // namespace hvn
