// ZIP archives as every reader of station files, skins and the station list opens them.
#include "core/zip.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::EnterScratchDir();
    fuzz::WriteFile("fuzz.zip", data, size);
    static hvn::ZipReader reader;
    if (!reader.Open("fuzz.zip"))
        return 0;
    (void)reader.Count();
    for (const std::string &name : reader.Names()) {
        (void)reader.ExtractFile(name, true, hvn::kZipImageLimit);
        (void)reader.HasFile(name);
    }
    (void)reader.ExtractFile("station_id.txt");
    (void)reader.ExtractFile("hvn_stationlist.txt", false, hvn::kZipListLimit);
    (void)reader.HasFile("custom", true);
    reader.Close();
    return 0;
}
