#include "app/options.h"

#include "app/gadgets.h"
#include "app/texts.h"
#include "config/settings.h"
#include "config/skins.h"
#include "config/translations.h"
#include "playback/current_station.h"

namespace hvn {

namespace {

void FocusOptions() {
    ActivateGadget(OptionsScrollPanel);
}

void OnLanguage() {
    const int n = SelectedGadgetItem(LanguageComboBox);
    if (n == LanguageIndex)
        return;
    LanguageIndex = static_cast<unsigned char>(n);
    ResetTranslations();
    LoadTranslations(LanguageIndex);
    ApplyLanguageTexts(LanguageIndex);
    FocusOptions();
}

void OnSkin() {
    ApplySelectedSkin();
    FocusOptions();
}

void OnBufferSize() {
    BufferSizeIndex = SelectedGadgetItem(BufferSizeComboBox);
    FocusOptions();
}

// The check boxes that only store their state in a setting.
int *CheckBoxSetting(const Gadget *source) {
    if (source == SaveWindowPositionCheckBox)
        return &SaveWindowPosition;
    if (source == SaveStationCheckBox)
        return &SaveStation;
    if (source == StartMinimizedCheckBox)
        return &StartMinimized;
    if (source == ForceOpenGLCheckBox)
        return &ForceOpenGLDriver;
    if (source == ShowErrorsCheckBox)
        return &ShowErrors;
    if (source == ShowSpectrumCheckBox)
        return &ShowSpectrumAnalyser;
    if (source == AutoUpdateCheckBox)
        return &AutoUpdate;
    return nullptr;
}

void OnUpdateServer() {
    const std::string text = GadgetText(UpdateServerField);
    if (!text.empty())
        UpdateServer = text;
}

void OnCustomColor() {
    CustomWindowColor = ButtonState(CustomColorCheckBox) ? 1 : 0;
    if (CustomWindowColor == 1) {
        if (BackgroundRed != -1)
            SetGadgetColor(MainWindow, BackgroundRed, BackgroundGreen, BackgroundBlue);
        if (LabelRed != -1)
            SetLabelColors(LabelRed, LabelGreen, LabelBlue);
        return;
    }
    // Clearing the box forgets both custom colours.
    const Rgb toolkit = LookupGuiColor(0);
    SetGadgetColor(MainWindow, toolkit.r, toolkit.g, toolkit.b);
    SetGadgetColor(BackgroundColorSwatch, toolkit.r, toolkit.g, toolkit.b);
    BackgroundRed = toolkit.r;
    BackgroundGreen = toolkit.g;
    BackgroundBlue = toolkit.b;
    LabelRed = LabelGreen = LabelBlue = -1;
    SetLabelColors(-1, -1, -1);
}

void OnBackgroundSwatch() {
    Rgb picked;
    if (!RequestColor(BackgroundRed, BackgroundGreen, BackgroundBlue, picked))
        return;
    BackgroundRed = picked.r;
    BackgroundGreen = picked.g;
    BackgroundBlue = picked.b;
    SetGadgetColor(BackgroundColorSwatch, picked.r, picked.g, picked.b);
    if (CustomWindowColor == 1)
        SetGadgetColor(MainWindow, picked.r, picked.g, picked.b);
}

void OnLabelSwatch() {
    Rgb picked;
    if (!RequestColor(LabelRed, LabelGreen, LabelBlue, picked))
        return;
    LabelRed = picked.r;
    LabelGreen = picked.g;
    LabelBlue = picked.b;
    SetGadgetColor(LabelColorSwatch, picked.r, picked.g, picked.b);
    if (CustomWindowColor == 1)
        SetLabelColors(LabelRed, LabelGreen, LabelBlue);
}

void OnClose() {
    HideGadget(OptionsPage);
    RedrawGadget(StationListBox);
    ShowGadget(StationListPage);
    ActivateGadget(StationListBox);
    if (!CurrentStationName.empty()) {
        HideGadget(StationListPage);
        ShowGadget(PlayerPage);
    } else {
        HideGadget(PlayerPage);
        ShowGadget(StationListPage);
        ActivateGadget(StationListBox);
    }
    RedrawGadget(MainWindow);
}

bool OnChooser(const Event &event, const Gadget *source) {
    const bool action = event.id == GadgetAction;
    if (source == LanguageComboBox) {
        if (action)
            OnLanguage();
    } else if (source == SkinComboBox) {
        OnSkin();
    } else if (source == BufferSizeComboBox) {
        if (action)
            OnBufferSize();
    } else {
        return false;
    }
    return true;
}

} // namespace

bool HandleOptionsEvent(const Event &event, Gadget *source) {
    if (OnChooser(event, source))
        return true;
    const bool action = event.id == GadgetAction, press = event.id == MouseDown;
    if (int *setting = CheckBoxSetting(source)) {
        if (action)
            *setting = ButtonState(source) ? 1 : 0;
    } else if (source == UpdateServerField) {
        if (action)
            OnUpdateServer();
    } else if (source == CustomColorCheckBox) {
        if (action)
            OnCustomColor();
    } else if (source == BackgroundColorSwatch) {
        if (press)
            OnBackgroundSwatch();
    } else if (source == LabelColorSwatch) {
        if (press)
            OnLabelSwatch();
    } else if (source == OptionsCloseButton) {
        if (press)
            OnClose();
    } else {
        return false;
    }
    return true;
}

} // namespace hvn
