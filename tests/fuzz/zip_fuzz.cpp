// ZIP archives as every reader of station files, skins and the station list opens them.
#include "core/zip.h"
#include "fuzz_support.h"
#include "update/zip_member_size.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::EnterScratchDir();
    fuzz::WriteFile("fuzz.zip", data, size);
    (void)hvn::ZipMemberWithin("fuzz.zip", "hvn_stationlist.txt", 1 << 20);
    static hvn::ZipReader reader;
    if (!reader.Open("fuzz.zip"))
        return 0;
    (void)reader.Count();
    for (const std::string &name : reader.Names()) {
        (void)reader.ExtractFile(name, true);
        (void)reader.HasFile(name);
    }
    (void)reader.ExtractFile("station_id.txt");
    (void)reader.HasFile("custom", true);
    reader.Close();
    return 0;
}
