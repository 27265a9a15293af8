// A rating file in db/, as the catalogue load and the rating menu read it.
#include "catalogue/station_files.h"
#include "core/zip.h"
#include "fuzz_support.h"
#include <sys/stat.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::EnterScratchDir();
    static bool ready = [] {
        mkdir("stations", 0755);
        mkdir("db", 0755);
        return hvn::WriteZip("stations/fuzz.hvn", {{"station_id.txt", "Fuzz\r\nhttp://x/\r\n3\r\n1\r\nhttp://y/\r\n", 0}});
    }();
    if (!ready)
        std::abort();
    fuzz::WriteFile("db/fuzz.db", data, size);
    hvn::LoadStationDb("db/fuzz.db");
    hvn::LoadStationCatalogue();
    return 0;
}
