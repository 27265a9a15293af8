#include "app/gadgets.h"

namespace hvn {

Gadget *MainWindow = nullptr;
Gadget *TrayPanel = nullptr;
Gadget *BusyLabel = nullptr;

Gadget *StationListPage = nullptr;
Gadget *StationListBox = nullptr;
Gadget *CategoryComboBox = nullptr;
Gadget *NowPlayingButton = nullptr;
Gadget *FavouritesToggleButton = nullptr;
Gadget *OptionsButton = nullptr;
Gadget *AboutButton = nullptr;

Gadget *ConnectingPage = nullptr;
Gadget *ConnectingLogoPanel = nullptr;
Gadget *ConnectingTitleLabel = nullptr;
Gadget *ConnectingStatusLabel = nullptr;
Gadget *ConnectingInfoLabel = nullptr;
Gadget *ConnectLamp1 = nullptr;
Gadget *ConnectLamp2 = nullptr;
Gadget *ConnectLamp3 = nullptr;
Gadget *ConnectLamp4 = nullptr;
Gadget *ConnectingBackButton = nullptr;
Gadget *ConnectingStopButton = nullptr;
Gadget *NextUrlButton = nullptr;

Gadget *PlayerPage = nullptr;
Gadget *StationTitleLabel = nullptr;
Gadget *StationStatusLabel = nullptr;
Gadget *SpectrumCanvas = nullptr;
Gadget *HistoryToggleButton = nullptr;
Gadget *StreamUrlListBox = nullptr;
Gadget *SongHistoryListBox = nullptr;
Gadget *LeftLevelCanvas = nullptr;
Gadget *RightLevelCanvas = nullptr;
Gadget *VolumeTrackPanel = nullptr;
Gadget *VolumeKnob = nullptr;
Gadget *PlayerBackButton = nullptr;
Gadget *NextStationButton = nullptr;
Gadget *StopButton = nullptr;
Gadget *MuteButton = nullptr;
Gadget *PreviousStationButton = nullptr;

Gadget *AboutPage = nullptr;
Gadget *AboutHeaderPanel = nullptr;
Gadget *AboutNameLabel = nullptr;
Gadget *AboutMakerLabel = nullptr;
Gadget *AboutBuildLabel = nullptr;
Gadget *AboutVersionLabel = nullptr;
Gadget *AboutNoticeLabel1 = nullptr;
Gadget *AboutNoticeLabel2 = nullptr;
Gadget *AboutLogoPanel = nullptr;
Gadget *AboutBackButton = nullptr;
Gadget *UpdateNowButton = nullptr;
Gadget *CreatorButton = nullptr;

Gadget *OptionsPage = nullptr;
Gadget *OptionsScrollPanel = nullptr;
Gadget *OptionsClient = nullptr;
Gadget *LanguageComboBox = nullptr;
Gadget *SkinComboBox = nullptr;
Gadget *BufferSizeComboBox = nullptr;
Gadget *LanguageCaption = nullptr;
Gadget *SkinCaption = nullptr;
Gadget *BufferSizeCaption = nullptr;
Gadget *SaveWindowPositionCheckBox = nullptr;
Gadget *SaveStationCheckBox = nullptr;
Gadget *CustomColorCheckBox = nullptr;
Gadget *BackgroundColorSwatch = nullptr;
Gadget *LabelColorSwatch = nullptr;
Gadget *AutoUpdateCheckBox = nullptr;
Gadget *UpdateServerField = nullptr;
Gadget *ShowErrorsCheckBox = nullptr;
Gadget *ShowSpectrumCheckBox = nullptr;
Gadget *StartMinimizedCheckBox = nullptr;
Gadget *ForceOpenGLCheckBox = nullptr;
Gadget *OptionsCloseButton = nullptr;

Gadget *CreditsPage = nullptr;
Gadget *CreditsScrollPanel = nullptr;
Gadget *CreditsClient = nullptr;
Gadget *CreditsBackButton = nullptr;
Gadget *CreditsArtworkPanel = nullptr;
Gadget *CreditsDedicationPanel = nullptr;

Gadget *CreatorPage = nullptr;
Gadget *CreatorScrollPanel = nullptr;
Gadget *CreatorClient = nullptr;
Gadget *CreatorNameField = nullptr;
Gadget *CreatorHomepageField = nullptr;
Gadget *CreatorFileNameField = nullptr;
Gadget *CreatorUrlComboBox = nullptr;
Gadget *CreatorRemoveUrlLabel = nullptr;
Gadget *CreatorUrlField = nullptr;
Gadget *CreatorAddUrlLabel = nullptr;
Gadget *CreatorGenreComboBox = nullptr;
Gadget *CreatorLogoComboBox = nullptr;
Gadget *CreatorLogoPreview = nullptr;
Gadget *CreatorChooseLogoLabel = nullptr;
Gadget *CreatorSaveButton = nullptr;
Gadget *CreatorCancelButton = nullptr;

Gadget *UpdatePage = nullptr;
Gadget *UpdateStatusLabel = nullptr;
Gadget *UpdatePercentLabel = nullptr;
Gadget *UpdateProgressBar = nullptr;
Gadget *UpdateTreeView = nullptr;
Gadget *UpdateBuildLabel = nullptr;
Gadget *UpdateMiddleLabel = nullptr;
Gadget *UpdateRightLabel = nullptr;
Gadget *UpdateBackButton = nullptr;

Gadget *TrayMenu = nullptr;
Gadget *MuteMenuItem = nullptr;
Gadget *AboutMenuItem = nullptr;
Gadget *OptionsMenuItem = nullptr;
Gadget *StationListMenuItem = nullptr;
Gadget *CreditsMenuItem = nullptr;
Gadget *ExitMenuItem = nullptr;

Gadget *RatingMenu = nullptr;
Gadget *Rating0MenuItem = nullptr;
Gadget *Rating1MenuItem = nullptr;
Gadget *Rating2MenuItem = nullptr;
Gadget *Rating3MenuItem = nullptr;
Gadget *Rating4MenuItem = nullptr;
Gadget *Rating5MenuItem = nullptr;
Gadget *FavouriteMenuItem = nullptr;
Gadget *DeleteStationMenuItem = nullptr;
Gadget *EditStationMenuItem = nullptr;

std::array<Gadget *, 2> PlayerListPanels{};
std::array<Gadget *, 50> CreditsLabels{};

} // namespace hvn
