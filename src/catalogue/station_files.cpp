#include "catalogue/station_files.h"

#include "config/translations.h"
#include "core/failure_report.h"
#include "core/fs.h"
#include "core/strings.h"
#include "core/text_file.h"
#include "playback/current_station.h"

#include <array>
#include <cerrno>
#include <vector>

namespace hvn {

StationMapType StationMap;
ZipReader StationZip;
unsigned char DbRating = 0;
unsigned char DbFavourite = 0;

std::shared_ptr<trecord> trecord::Add(const std::string &name, const std::string &filename,
                                      unsigned char genre, unsigned char rating,
                                      unsigned char fav) {
    if (filename.empty())
        return nullptr;
    auto record = std::make_shared<trecord>();
    record->name = name;
    record->filename = filename;
    record->genre = genre;
    record->rating = rating;
    record->fav = fav;
    auto [it, inserted] = StationMap.emplace(Upper(filename), record);
    return inserted ? it->second : nullptr;
}

void trecord::Clear() {
    StationMap.clear();
}

namespace {

unsigned char LowByte(std::string_view text) {
    return static_cast<unsigned char>(StrToLong(text) & 0xFF);
}

// Adds the station of one "stations/" entry; a file that is no archive, has no
// readable description or a description too short to hold a genre is left out.
void AddStationFile(const std::string &entry) {
    if (!StationZip.Open("stations/" + entry))
        return;
    const int64_t fileTime = StationZip.FileTime();
    std::optional<std::string> raw = StationZip.ExtractFile("station_id.txt");
    StationZip.Close();
    if (!raw)
        return;
    std::vector<std::string> lines = Split(DecodeText(*raw), "\r\n");
    if (lines.size() < 3)
        return;
    if (auto record = trecord::Add(lines[0], entry, LowByte(lines[2]), 0, 0))
        record->fileTime = fileTime;
}

// Applies one "db/" entry to its station, or deletes it when the station is gone.
void ApplyRatingFile(const std::string &entry) {
    const std::string path = "db/" + entry;
    unsigned char rating = 0;
    unsigned char fav = 0;
    {
        std::unique_ptr<TextFile> file = TextFile::Open(path, TextFile::Mode::ReadWrite);
        if (!file)
            return;
        rating = LowByte(file->ReadLine());
        fav = LowByte(file->ReadLine());
    }
    auto it = StationMap.find(Upper(Replace(entry, ".db", ".hvn")));
    if (it == StationMap.end()) {
        DeleteFile(path);
        return;
    }
    it->second->rating = rating;
    it->second->fav = fav;
}

std::vector<std::string> DirectoryEntries(const std::string &path) {
    return ReadDirectory(path).value_or(std::vector<std::string>{});
}

} // namespace

void LoadStationCatalogue() {
    const std::vector<std::string> stations = DirectoryEntries("stations");
    trecord::Clear();
    for (const std::string &entry : stations) {
        if (ExtractExt(entry) == "hvn")
            AddStationFile(entry);
    }
    for (const std::string &entry : DirectoryEntries("db")) {
        if (ExtractExt(entry) == "db")
            ApplyRatingFile(entry);
    }
}

std::string GenreName(int genre) {
    static const std::array<const char *, 24> names = {
        "60s & 70s",   "80s & 90s",   "Alternative",  "Ambient & Chill",
        "Anime",       "Black & Rap", "Blues & Love", "Classical",
        "Club",        "Children",    "Country",      "Dance & Pop",
        "Electronic",  "Folk",        "Gothic",       "Hits",
        "Jazz & Soul", "Reggae",      "Retro",        "Rock & Metal",
        "Talk",        "Schlager",    "Soundtrack",   "Season"};
    if (genre < 1 || genre > 24)
        return "Unknown";
    return names[genre - 1];
}

std::string RatingLabel(int rating) {
    return Tr(LABELS_POPMENU2, rating >= 1 && rating <= 5 ? rating : 0);
}

void LoadStationDb(const std::string &path) {
    DbRating = 0;
    DbFavourite = 0;
    std::unique_ptr<TextFile> file = TextFile::Open(path, TextFile::Mode::ReadWrite);
    if (!file)
        return;
    DbRating = LowByte(file->ReadLine());
    DbFavourite = LowByte(file->ReadLine());
}

void SaveStationDb(const std::string &path, unsigned char rating, unsigned char fav) {
    if (rating == 0 && fav == 0) {
        DeleteFile(path);
        return;
    }
    if (!SaveBytesAtomic(path, std::to_string(rating) + "\r\n" + std::to_string(fav) + "\r\n"))
        ReportErrno("cannot save " + path, errno);
}

void LoadCurrentStationDb(int load) {
    if (load == 0)
        return;
    const std::string &file = CurrentStationFile;
    const std::string stem = file.size() > 4 ? file.substr(0, file.size() - 4) : "";
    LoadStationDb("db/" + stem + ".db");
}

std::string RatingFilePath(const std::string &stationFile) {
    return "db/" + Replace(stationFile, ".hvn", ".db");
}

} // namespace hvn
