#pragma once
// Text files, one byte per character. Whole-file reads honour a byte-order mark: UTF-8
// BOM dropped, UTF-16 (either order) converted to UTF-8. Line reads drop CR; writes end
// each line with CR LF.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace hvn {

// The whole file as text (BOM rules above); nullopt when it cannot be read.
std::optional<std::string> LoadText(const std::string &path);
// Bytes in memory with the same BOM rules.
std::string DecodeText(const std::string &bytes);
// Writes the bytes as they are; false on failure.
bool SaveBytes(const std::string &path, const std::string &bytes);
// Writes to a temporary file in the same directory, then renames it over `path`, so a
// failure in the middle leaves the old file whole. False on failure (old file kept).
bool SaveBytesAtomic(const std::string &path, const std::string &bytes);
// For a file the user owns and may have arranged: a write-protected file is left as it
// is (false, errno EACCES), a symbolic link is written through to its target, and when the
// directory refuses the temporary file the file is rewritten in place instead. On failure
// errno says why.
bool SaveUserFile(const std::string &path, const std::string &bytes);

// A text file opened for line reads or writes. Used by one thread at a time; reads and
// writes block on the file system.
class TextFile {
public:
    enum class Mode { Read, ReadWrite, Write };
    // ReadWrite opens an existing file only; Write creates or truncates. nullptr when the
    // file cannot be opened that way.
    static std::unique_ptr<TextFile> Open(const std::string &path, Mode mode);
    ~TextFile();
    TextFile(const TextFile &) = delete;
    TextFile &operator=(const TextFile &) = delete;
    // The next line without its LF and with every CR dropped; "" at the end.
    std::string ReadLine();
    bool Eof() const;
    // The text, then CR LF; false when the write failed or the file is closed.
    bool WriteLine(const std::string &line);
    // Flushes and closes; later reads give "" and writes fail. Also done by the destructor.
    void Close();

private:
    TextFile() = default;
    FILE *file_ = nullptr;
};

// Cuts text into lines at every LF, dropping CR characters (a final line end gives no
// empty last line).
std::vector<std::string> SplitLines(const std::string &text);

} // namespace hvn
