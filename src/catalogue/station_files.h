#pragma once
// Station files ("stations/*.hvn", ZIP archives) and rating files ("db/*.db"), the
// station record and the catalogue map built from them. Main thread only.
#include "core/zip.h"

#include <map>
#include <memory>
#include <string>

namespace hvn {

// One station file of the catalogue. Created only through Add.
class trecord {
public:
    std::string name;     // line 0 of "station_id.txt"; may be empty
    std::string filename; // name inside "stations/", letter case kept; never empty
    unsigned char genre = 0;
    unsigned char rating = 0; // 0..5 as written; a rating file's value is kept unchecked
    unsigned char fav = 0;
    // Modification time of the station file when the catalogue was loaded (seconds);
    // -1 for a record added otherwise, whose file is then asked.
    long long fileTime = -1;

    // Inserts a record under Upper(filename) and returns it; nullptr (nothing changed)
    // when filename is empty or the key is already taken.
    static std::shared_ptr<trecord> Add(const std::string &name, const std::string &filename,
                                        unsigned char genre, unsigned char rating,
                                        unsigned char fav);
    // Empties StationMap.
    static void Clear();
};

// Keys are upper-cased station file names. std::string compares unsigned bytes, so the
// order is code unit by code unit with a prefix first, as every enumeration expects.
using StationMapType = std::map<std::string, std::shared_ptr<trecord>>;
extern StationMapType StationMap;

// The one archive reader shared by everything that opens a station file, one archive
// at a time.
extern ZipReader StationZip;

// Rating and favourite of the station the rating menu was last opened on, as read by
// LoadStationDb.
extern unsigned char DbRating;
extern unsigned char DbFavourite;

// Rebuilds StationMap from "stations/" and "db/" (relative to the working directory).
// Unreadable station files are left out; rating files without a station are deleted.
void LoadStationCatalogue();

// English genre name for 1..24, "Unknown" for every other number.
std::string GenreName(int genre);
// The rating label in the current language ("LABELS_POPMENU2" entry 1..5, else entry 0).
std::string RatingLabel(int rating);

// Reads the rating file at path into DbRating and DbFavourite; both 0 when the file
// cannot be opened for reading and writing.
void LoadStationDb(const std::string &path);
// Writes rating and fav as two CR LF lines, or deletes the file when both are 0. The
// write goes through a temporary file and a rename, so a failure keeps the old file.
// Failures are not reported.
void SaveStationDb(const std::string &path, unsigned char rating, unsigned char fav);
// With load non-zero, LoadStationDb on the rating file of CurrentStationFile.
void LoadCurrentStationDb(int load);

// "db/" + the station file name with every ".hvn" replaced by ".db".
std::string RatingFilePath(const std::string &stationFile);

} // namespace hvn
