#include "core/embedded.h"

#include "core/posix_io.h"
#include "core/strings.h"

#include <fcntl.h>
#include <map>
#include <mutex>
#include <string_view>

namespace hvn {

namespace {

constexpr std::string_view kEmbeddedPrefix = "Incbin::";

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::string_view, std::less<>> files;
};

Registry &TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

void RegisterEmbeddedFile(const std::string &name, const void *data, size_t size) {
    Registry &registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    // emplace keeps an existing entry: the first registration of a name stays.
    registry.files.emplace(name, std::string_view(static_cast<const char *>(data), size));
}

bool IsEmbeddedName(const std::string &name) {
    return name.starts_with(kEmbeddedPrefix);
}

std::optional<std::string> EmbeddedFile(const std::string &name) {
    std::string_view key = name;
    if (key.starts_with(kEmbeddedPrefix)) {
        key.remove_prefix(kEmbeddedPrefix.size());
    }
    Registry &registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.files.find(key);
    if (it == registry.files.end()) {
        return std::nullopt;
    }
    return std::string(it->second);
}

std::optional<std::string> ReadStream(const std::string &url) {
    if (IsEmbeddedName(url)) {
        return EmbeddedFile(url);
    }
    UniqueFd fd(::open(url.c_str(), O_RDONLY | O_CLOEXEC));
    std::string bytes;
    if (!fd || !ReadAll(fd.get(), bytes)) {
        return std::nullopt;
    }
    return bytes;
}

const EmbeddedBlob *FindBuiltInResource(const std::string &fileName) {
    for (const EmbeddedBlob &blob : BuiltInResources()) {
        if (fileName == blob.name) {
            return &blob;
        }
    }
    return nullptr;
}

} // namespace hvn
