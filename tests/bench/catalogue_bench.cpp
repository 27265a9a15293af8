// LoadStationCatalogue over a large generated catalogue: 10,000 station files (real ZIP
// archives) and 2,000 rating files. Goal: under 0.25 s per rebuild.
#include "catalogue/station_files.h"

#include "core/fs.h"
#include "core/text_file.h"
#include "core/zip.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int StationCount = 10000;
constexpr int RatingCount = 2000;
constexpr int Runs = 5;

bool MakeCatalogue() {
    if (!hvn::CreateDir("stations") || !hvn::CreateDir("db"))
        return false;
    for (int i = 0; i < StationCount; ++i) {
        const std::string file = "station_" + std::to_string(i) + ".hvn";
        const std::string description = "Station number " + std::to_string(i) +
                                        "\r\nhttp://station" + std::to_string(i) + ".example\r\n" +
                                        std::to_string(i % 25) +
                                        "\r\n2\r\nhttp://127.0.0.1:8000/a.mp3\r\n"
                                        "http://127.0.0.1:8000/b.mp3";
        if (!hvn::WriteZip("stations/" + file, {{"station_id.txt", description, 0}}))
            return false;
    }
    for (int i = 0; i < RatingCount; ++i) {
        // Every fifth station rated; the rating files all have their station.
        const std::string file = "db/station_" + std::to_string(i * 5) + ".db";
        if (!hvn::SaveBytes(file, std::to_string(i % 6) + "\r\n" + std::to_string(i % 2) + "\r\n"))
            return false;
    }
    return true;
}

} // namespace

// catalogue_bench [DIR]: with DIR, loads the catalogue already in DIR (for profiling)
// instead of writing one.
int main(int argc, char **argv) {
    const std::string old = hvn::CurrentDir();
    char pattern[] = "/tmp/hvn-catalogue-bench-XXXXXX";
    const bool given = argc > 1;
    if (given ? !hvn::ChangeDir(argv[1]) : (!mkdtemp(pattern) || !hvn::ChangeDir(pattern)))
        return 1;
    const bool made = given || MakeCatalogue();
    std::vector<double> seconds;
    for (int run = 0; made && run < Runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        hvn::LoadStationCatalogue();
        const auto end = std::chrono::steady_clock::now();
        seconds.push_back(std::chrono::duration<double>(end - start).count());
    }
    const size_t stations = hvn::StationMap.size();
    size_t rated = 0;
    for (const auto &[key, record] : hvn::StationMap)
        rated += record->rating != 0 || record->fav != 0;
    hvn::ChangeDir(old);
    if (!given)
        hvn::DeleteDir(pattern, true);
    if (!made || stations != StationCount) {
        std::fprintf(stderr, "catalogue not built (%zu stations)\n", stations);
        return 1;
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("LoadStationCatalogue: %d stations, %d rating files (%zu rated)\n", StationCount,
                RatingCount, rated);
    const double median = seconds[seconds.size() / 2];
    std::printf("  best %.3f s, median %.3f s, worst %.3f s over %d runs (goal < 0.25 s, "
                "median %.2f x the goal)\n",
                seconds.front(), median, seconds.back(), Runs, median / 0.25);
    return median < 0.25 ? 0 : 2;
}
