#pragma once
// Embedded files: bytes built into the program, opened under "Incbin::./data/NAME".
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace hvn {

// Registers `data` under `name` (e.g. "./data/hvn16.png"); a name already registered
// keeps its first registration. The bytes must live as long as the program.
void RegisterEmbeddedFile(const std::string &name, const void *data, size_t size);
// The bytes of a registered file, by "Incbin::./data/NAME" or "./data/NAME".
std::optional<std::string> EmbeddedFile(const std::string &name);
bool IsEmbeddedName(const std::string &name); // starts with "Incbin::"

// Bytes from a path or an embedded name.
std::optional<std::string> ReadStream(const std::string &url);

// The files of resources/data compiled into the program at build time.
struct EmbeddedBlob {
    const char *name; // file name, e.g. "hvn16.png"
    const unsigned char *data;
    size_t size;
};
const std::vector<EmbeddedBlob> &BuiltInResources();
// The built-in resource of that file name; nullptr when there is none.
const EmbeddedBlob *FindBuiltInResource(const std::string &fileName);

} // namespace hvn
