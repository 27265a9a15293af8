#pragma once
// The window's gadgets: long-lived globals, created once by BuildMainWindow and never
// destroyed. Null until then.
#include "gui/gui.h"

#include <array>

namespace hvn {

extern Gadget *MainWindow;
extern Gadget *TrayPanel;
extern Gadget *BusyLabel;

extern Gadget *StationListPage;
extern Gadget *StationListBox;
extern Gadget *CategoryComboBox;
extern Gadget *NowPlayingButton;
extern Gadget *FavouritesToggleButton;
extern Gadget *OptionsButton;
extern Gadget *AboutButton;

extern Gadget *ConnectingPage;
extern Gadget *ConnectingLogoPanel;
extern Gadget *ConnectingTitleLabel;
extern Gadget *ConnectingStatusLabel;
extern Gadget *ConnectingInfoLabel;
extern Gadget *ConnectLamp1;
extern Gadget *ConnectLamp2;
extern Gadget *ConnectLamp3;
extern Gadget *ConnectLamp4;
extern Gadget *ConnectingBackButton;
extern Gadget *ConnectingStopButton;
extern Gadget *NextUrlButton;

extern Gadget *PlayerPage;
extern Gadget *StationTitleLabel;
extern Gadget *StationStatusLabel;
extern Gadget *SpectrumCanvas;
extern Gadget *HistoryToggleButton;
extern Gadget *StreamUrlListBox;
extern Gadget *SongHistoryListBox;
extern Gadget *LeftLevelCanvas;
extern Gadget *RightLevelCanvas;
extern Gadget *VolumeTrackPanel;
extern Gadget *VolumeKnob;
extern Gadget *PlayerBackButton;
extern Gadget *NextStationButton;
extern Gadget *StopButton;
extern Gadget *MuteButton;
extern Gadget *PreviousStationButton;

extern Gadget *AboutPage;
extern Gadget *AboutHeaderPanel;
extern Gadget *AboutNameLabel;
extern Gadget *AboutMakerLabel;
extern Gadget *AboutBuildLabel;
extern Gadget *AboutVersionLabel;
extern Gadget *AboutNoticeLabel1;
extern Gadget *AboutNoticeLabel2;
extern Gadget *AboutLogoPanel;
extern Gadget *AboutBackButton;
extern Gadget *UpdateNowButton;
extern Gadget *CreatorButton;

extern Gadget *OptionsPage;
extern Gadget *OptionsScrollPanel;
extern Gadget *OptionsClient;
extern Gadget *LanguageComboBox;
extern Gadget *SkinComboBox;
extern Gadget *BufferSizeComboBox;
extern Gadget *LanguageCaption;
extern Gadget *SkinCaption;
extern Gadget *BufferSizeCaption;
extern Gadget *SaveWindowPositionCheckBox;
extern Gadget *SaveStationCheckBox;
extern Gadget *CustomColorCheckBox;
extern Gadget *BackgroundColorSwatch;
extern Gadget *LabelColorSwatch;
extern Gadget *AutoUpdateCheckBox;
extern Gadget *UpdateServerField;
extern Gadget *ShowErrorsCheckBox;
extern Gadget *ShowSpectrumCheckBox;
extern Gadget *StartMinimizedCheckBox;
extern Gadget *ForceOpenGLCheckBox;
extern Gadget *OptionsCloseButton;

extern Gadget *CreditsPage;
extern Gadget *CreditsScrollPanel;
extern Gadget *CreditsClient;
extern Gadget *CreditsBackButton;
extern Gadget *CreditsArtworkPanel;
extern Gadget *CreditsDedicationPanel;

extern Gadget *CreatorPage;
extern Gadget *CreatorScrollPanel;
extern Gadget *CreatorClient;
extern Gadget *CreatorNameField;
extern Gadget *CreatorHomepageField;
extern Gadget *CreatorFileNameField;
extern Gadget *CreatorUrlComboBox;
extern Gadget *CreatorRemoveUrlLabel;
extern Gadget *CreatorUrlField;
extern Gadget *CreatorAddUrlLabel;
extern Gadget *CreatorGenreComboBox;
extern Gadget *CreatorLogoComboBox;
extern Gadget *CreatorLogoPreview;
extern Gadget *CreatorChooseLogoLabel;
extern Gadget *CreatorSaveButton;
extern Gadget *CreatorCancelButton;

extern Gadget *UpdatePage;
extern Gadget *UpdateStatusLabel;
extern Gadget *UpdatePercentLabel;
extern Gadget *UpdateProgressBar;
extern Gadget *UpdateTreeView;
extern Gadget *UpdateBuildLabel;
extern Gadget *UpdateMiddleLabel;
extern Gadget *UpdateRightLabel;
extern Gadget *UpdateBackButton;

extern Gadget *TrayMenu;
extern Gadget *MuteMenuItem;
extern Gadget *AboutMenuItem;
extern Gadget *OptionsMenuItem;
extern Gadget *StationListMenuItem;
extern Gadget *CreditsMenuItem;
extern Gadget *ExitMenuItem;

extern Gadget *RatingMenu;
extern Gadget *Rating0MenuItem;
extern Gadget *Rating1MenuItem;
extern Gadget *Rating2MenuItem;
extern Gadget *Rating3MenuItem;
extern Gadget *Rating4MenuItem;
extern Gadget *Rating5MenuItem;
extern Gadget *FavouriteMenuItem;
extern Gadget *DeleteStationMenuItem;
extern Gadget *EditStationMenuItem;

extern std::array<Gadget *, 2> PlayerListPanels; // 0 stream URLs, 1 song history
extern std::array<Gadget *, 50> CreditsLabels;

} // namespace hvn
