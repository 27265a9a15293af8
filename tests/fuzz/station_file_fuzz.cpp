// A station file's "station_id.txt", as the catalogue load and the creator's import read it.
#include "catalogue/station_files.h"
#include "core/zip.h"
#include "fuzz_support.h"
#include "stationcreator/playlist_import.h"
#include <sys/stat.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::EnterScratchDir();
    mkdir("stations", 0755);
    const std::string text = fuzz::Bytes(data, size);
    if (!hvn::WriteZip("stations/fuzz.hvn", {{"station_id.txt", text, 0}}))
        return 0;
    hvn::LoadStationCatalogue();
    hvn::CreatorImport import;
    hvn::ImportStationDescription(text, import);
    hvn::ImportStationFile("stations/fuzz.hvn", import);
    return 0;
}
